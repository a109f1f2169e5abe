#include "app/elevation.h"

#include "catalog/startup_location_set.h"
#include "platform/handles.h"
#include "store/configuration_layout.h"

#include <shellapi.h>

#include <vector>

namespace {

bool testSeamSet = false;
TOKEN_ELEVATION_TYPE testElevationType = TokenElevationTypeDefault;
std::string testProgram;

TOKEN_ELEVATION_TYPE ElevationType() {
    if (testSeamSet) return testElevationType;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return TokenElevationTypeDefault;
    const UniqueHandle held(token);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    // Before Vista there is no such question, and nothing to elevate.
    if (!GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size)) return TokenElevationTypeDefault;
    return type;
}

// The program's own file, whatever the length of its path.
std::string OwnPath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return std::string(path.data(), length);
        path.resize(path.size() * 2);
    }
}

// Waits for the process to end. A dialog is disabled meanwhile, so that it
// takes no second command, but its messages are still handled, so that it
// keeps painting.
void WaitForProcess(HANDLE process, HWND owner) {
    if (owner == nullptr) {
        WaitForSingleObject(process, INFINITE);
        return;
    }
    EnableWindow(owner, FALSE);
    bool quit = false;
    while (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) quit = true;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    EnableWindow(owner, TRUE);
    if (quit) PostQuitMessage(0);  // for the dialog's own loop
}

}  // namespace

bool CanElevate() { return ElevationType() == TokenElevationTypeLimited; }

ElevatedLoad LoadElevated(const std::string& name, HWND owner) {
    const std::string program = testSeamSet ? testProgram : OwnPath();
    // The command line takes the name as the rest of the line, exactly as
    // written, so it needs no quotes.
    const std::string parameters = "load " + name;
    SHELLEXECUTEINFOA start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.hwnd = owner;
    start.lpVerb = "runas";
    start.lpFile = program.c_str();
    start.lpParameters = parameters.c_str();
    start.nShow = SW_SHOWNORMAL;
    StartupLocationSet& locations = GetStartupLocationSet();
    // Read first: the copy may replace what it loads (an undo keeps the
    // state it replaces under the very name it loads).
    const StoredConfiguration stored = ReadConfiguration(locations, name);
    if (program.empty() || !ShellExecuteExA(&start)) return ElevatedLoad::NotStarted;
    const UniqueHandle copy(start.hProcess);
    // Without a handle there is no knowing when the copy is done.
    if (!copy) return ElevatedLoad::Failed;
    WaitForProcess(copy.get(), owner);
    return locations.HoldsConfiguration(stored) ? ElevatedLoad::Loaded : ElevatedLoad::Failed;
}

void SetElevationForTests(TOKEN_ELEVATION_TYPE type, const std::string& program) {
    testSeamSet = true;
    testElevationType = type;
    testProgram = program;
}
