// Started by the system tests in a prefix where this program may be told it
// runs on a system of the Windows 95 family. Its exit code answers:
//   "nt"            'N' on the NT family, '9' on the Windows 95 family
//   "watch FOLDER"  'S' when a watch on FOLDER signals a new file,
//                   'I' when it cannot be set up, 'T' when it stays silent
//   "replace FILE"  'R' when FILE now holds "new", 'F' when it could not be replaced
#include "platform/files.h"
#include "platform/system.h"
#include "startup/shortcut_folder_startup_list.h"

#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>

namespace {

int Watch(const std::string& folder) {
    if (FAILED(OleInitialize(nullptr))) return 'O';
    int answer = 'I';
    {
        ShortcutFolderStartupList list(0, folder, HKEY_CURRENT_USER, "Software\\VeltraneTests\\Probe");
        HANDLE watch = list.StartWatch();
        if (watch != INVALID_HANDLE_VALUE) {
            const std::string file = folder + (folder.back() == '\\' ? "" : "\\") + "probe.txt";
            HANDLE created = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (created != INVALID_HANDLE_VALUE) CloseHandle(created);
            answer = WaitForSingleObject(watch, 5000) == WAIT_OBJECT_0 ? 'S' : 'T';
            list.StopWatch(watch);
            DeleteFileA(file.c_str());
        }
    }
    OleUninitialize();
    return answer;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const std::string line = commandLine != nullptr ? commandLine : "";
    if (line == "nt") {
        const bool first = IsWindowsNT();
        // The answer is kept: asking again does not ask the system again.
        if (IsWindowsNT() != first || WindowsVersionQueries() != 1) return 'X';
        return first ? 'N' : '9';
    }
    if (line.compare(0, 6, "watch ") == 0) return Watch(line.substr(6));
    if (line.compare(0, 8, "replace ") == 0) return ReplaceWholeFile(line.substr(8), "new") ? 'R' : 'F';
    return 'U';
}
