// For the screenshot script: opens the Changes view, kept entries shown, of
// the configuration named on the command line in the open main dialog, and
// makes it wide enough for long commands.
#include "app/resource.h"
#include "harness/dialog_driver.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    HWND dialog = FindWindowA("#32770", driver::kDialogTitle);
    if (dialog == nullptr) return 1;
    driver::Click(dialog, IDC_LOAD);
    const std::vector<std::string> names = driver::ListEntries(dialog, IDC_CONFIGURATIONS);
    const auto found = std::find(names.begin(), names.end(), std::string(commandLine));
    if (found == names.end()) return 1;
    driver::Select(dialog, IDC_CONFIGURATIONS, static_cast<int>(found - names.begin()));
    driver::Push(dialog, IDC_CHANGES);
    const driver::Box view = driver::WaitForBox(dialog);
    if (view.window == nullptr) return 1;
    SetWindowPos(view.window, nullptr, 16, 16, 1400, 430, SWP_NOZORDER | SWP_NOACTIVATE);
    driver::Click(view.window, IDC_SHOW_KEPT);
    SendMessageA(view.window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(view.window, IDC_CHANGE_LIST)), TRUE);
    return 0;
}
