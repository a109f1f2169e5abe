// Stands in for the monitor program: a window whose class and title are both
// "Wardlow". For each message 1338 or 1339 it appends to the log file named on
// its command line the message number and what the live startup locations
// hold at that moment, one block per message. WM_CLOSE ends it.
#include "harness/live_locations.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string logPath;

void Record(UINT message) {
    FILE* log = std::fopen(logPath.c_str(), "ab");
    if (log == nullptr) return;
    std::fprintf(log, "message %u\n", message);
    for (const std::string& line : fixture::LiveState()) std::fprintf(log, "%s\n", line.c_str());
    std::fprintf(log, "end\n");
    std::fclose(log);
}

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 314 || message == WM_USER + 315) {
        Record(message);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    logPath = commandLine;
    fixture::OleSession ole;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MonitorProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "Wardlow";
    if (RegisterClassA(&windowClass) == 0) return 1;
    if (CreateWindowExA(0, "Wardlow", "Wardlow", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, instance,
                        nullptr) == nullptr) {
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
