#include "harness/live_locations.h"

#include "harness/fixtures.h"

#include <shlobj.h>

#include <algorithm>
#include <functional>

namespace fixture {

const char kHkcuRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kHklmRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kHklmRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kHkcuRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kHklmRun32[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kHklmRunOnce32[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// RunServices belongs to systems without registry views, so the program opens
// it in its own view, which for the 32-bit build is the 32-bit one.
#if defined(_WIN64)
const char kHklmRunServices[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
#else
const char kHklmRunServices[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices";
#endif
const char kConfigurations[] = "Software\\Ostrel\\Veltrane";
const char kStartupApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";

namespace {

const char* const kLocationKeyNames[] = {"UserStartup", "CommonStartup", "HKLM-Run",  "HKCU-Run",
                                         "Services",    "RunOnce",       "HKLM-Run32", "RunOnce32",
                                         "HKCU-RunOnce"};

void ClearValues(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    for (const std::wstring& name : ValueNamesW(root, path)) RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

void ClearShortcuts(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const std::string path = folder + entry.cFileName;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void AppendState(std::vector<std::string>& state, const std::string& label, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) state.push_back(label + ": " + entry);
}

}  // namespace

std::string DisabledKey(const std::string& locationKeyName) {
    return "Software\\Ostrel\\Pellory\\Disabled\\" + locationKeyName;
}

std::string StartupFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return std::string();
    std::string folder(path);
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

std::vector<std::string> ShortcutsIn(const std::string& folder) {
    std::vector<std::string> shortcuts;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*.lnk").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return shortcuts;
    do {
        std::string name = entry.cFileName;
        if (name.size() < 4 || _stricmp(name.c_str() + name.size() - 4, ".lnk") != 0) continue;
        const ShortcutContent content = ReadShortcut(folder + name);
        shortcuts.push_back(name.substr(0, name.size() - 4) + "=" + (content.loaded ? content.target : "<unreadable>"));
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(shortcuts.begin(), shortcuts.end());
    return shortcuts;
}

std::vector<std::string> OtherFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    for (const std::string& name : FolderEntries(folder)) {
        const bool shortcut = name.size() >= 4 && _stricmp(name.c_str() + name.size() - 4, ".lnk") == 0;
        if (shortcut || DirectoryExists(folder + name)) continue;
        const std::string bytes = ReadFileBytes(folder + name);
        files.push_back(name + ": " + std::to_string(bytes.size()) + ", " + std::to_string(std::hash<std::string>{}(bytes)));
    }
    std::sort(files.begin(), files.end());
    return files;
}

void ClearLiveLocations() {
    ClearValues(HKEY_CURRENT_USER, kHkcuRun);
    ClearValues(HKEY_LOCAL_MACHINE, kHklmRun);
    ClearValues(HKEY_LOCAL_MACHINE, kHklmRunOnce);
    ClearValues(HKEY_LOCAL_MACHINE, kHklmRun32);
    ClearValues(HKEY_LOCAL_MACHINE, kHklmRunOnce32);
    ClearValues(HKEY_CURRENT_USER, kHkcuRunOnce);
    ClearShortcuts(StartupFolder(CSIDL_STARTUP));
    ClearShortcuts(StartupFolder(CSIDL_COMMON_STARTUP));
    for (const char* name : kLocationKeyNames) DeleteTree(HKEY_CURRENT_USER, DisabledKey(name));
    DeleteTree(HKEY_CURRENT_USER, kStartupApproved);
    DeleteTree(HKEY_LOCAL_MACHINE, kStartupApproved);
}

void ClearConfigurations() { DeleteTree(HKEY_CURRENT_USER, kConfigurations); }

Catalog::Catalog() {
    ClearLiveLocations();
    ClearConfigurations();
    set.BuildCatalog();
}

Catalog::~Catalog() { set.ClearSlots(); }

std::vector<std::string> LiveState() {
    std::vector<std::string> state;
    AppendState(state, "UserStartup", ShortcutsIn(StartupFolder(CSIDL_STARTUP)));
    AppendState(state, "CommonStartup", ShortcutsIn(StartupFolder(CSIDL_COMMON_STARTUP)));
    AppendState(state, "UserStartup file", OtherFilesIn(StartupFolder(CSIDL_STARTUP)));
    AppendState(state, "CommonStartup file", OtherFilesIn(StartupFolder(CSIDL_COMMON_STARTUP)));
    AppendState(state, "HKLM-Run", Snapshot(HKEY_LOCAL_MACHINE, kHklmRun));
    AppendState(state, "HKCU-Run", Snapshot(HKEY_CURRENT_USER, kHkcuRun));
    AppendState(state, "Services", Snapshot(HKEY_LOCAL_MACHINE, kHklmRunServices));
    AppendState(state, "RunOnce", Snapshot(HKEY_LOCAL_MACHINE, kHklmRunOnce));
    AppendState(state, "HKLM-Run32", Snapshot(HKEY_LOCAL_MACHINE, kHklmRun32));
    AppendState(state, "RunOnce32", Snapshot(HKEY_LOCAL_MACHINE, kHklmRunOnce32));
    AppendState(state, "HKCU-RunOnce", Snapshot(HKEY_CURRENT_USER, kHkcuRunOnce));
    for (const char* name : kLocationKeyNames) {
        AppendState(state, std::string("disabled ") + name, Snapshot(HKEY_CURRENT_USER, DisabledKey(name)));
    }
    return state;
}

}  // namespace fixture
