#include "harness/check.h"
#include "harness/fixtures.h"
#include "harness/shell_fixtures.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool EndsInOneBackslash(const std::string& path) {
    return path.size() >= 2 && path.back() == '\\' && path[path.size() - 2] != '\\';
}

}  // namespace

TEST_CASE(StartupFolderPathsEndInOneBackslash) {
    for (int folder : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
        std::string path = "unchanged";
        CHECK(GetSpecialFolderPath(path, folder));
        CHECK(EndsInOneBackslash(path));
        CHECK(fixture::DirectoryExists(path));
    }
}

// No special folder is a drive root by default; the user's Startup folder is
// moved onto one for this case.
TEST_CASE(DriveRootKeepsItsOneBackslash) {
    DWORD type = REG_NONE;
    const std::string previous = fixture::ReadValue(HKEY_CURRENT_USER, kShellFolders, "Startup", &type);
    fixture::SetRaw(HKEY_CURRENT_USER, kShellFolders, "Startup", REG_EXPAND_SZ, "C:\\", 4);
    std::string path;
    const bool found = GetSpecialFolderPath(path, CSIDL_STARTUP);
    if (type == REG_NONE) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "Startup");
            RegCloseKey(key);
        }
    } else {
        fixture::SetRaw(HKEY_CURRENT_USER, kShellFolders, "Startup", type, previous.c_str(),
                        static_cast<DWORD>(previous.size() + 1));
    }
    CHECK(found);
    CHECK_EQ(path, std::string("C:\\"));
}

TEST_CASE(UnknownSpecialFolderLeavesThePathAlone) {
    std::string path = "kept";
    CHECK(!GetSpecialFolderPath(path, 0x7f));
    CHECK_EQ(path, std::string("kept"));
}

TEST_CASE(WindowsNTIsAskedOnce) {
    const bool first = IsWindowsNT();
    CHECK(first);  // Wine reports the NT family unless told otherwise
    CHECK_EQ(IsWindowsNT(), first);
    CHECK_EQ(IsWindowsNT(), first);
    CHECK_EQ(WindowsVersionQueries(), 1);
}

namespace {

const char kProbe[] = "windows_family_probe.exe";
const std::string kProbeDefaults = std::string("Software\\Wine\\AppDefaults\\") + kProbe;

// Runs the probe program with `arguments` and returns its exit code, or -1.
int RunProbe(const std::string& arguments) {
    std::string commandLine = "\"" + fixture::ProgramDirectory() + kProbe + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// Makes the probe program see a system of the Windows 95 family while it lives.
struct Windows98ForProbe {
    Windows98ForProbe() : key(HKEY_CURRENT_USER, kProbeDefaults) {
        fixture::SetString(HKEY_CURRENT_USER, kProbeDefaults, "Version", "win98");
    }
    fixture::ScratchKey key;
};

}  // namespace

TEST_CASE(WindowsNTIsFalseOnTheWindows95Family) {
    CHECK_EQ(RunProbe("nt"), static_cast<int>('N'));
    {
        Windows98ForProbe win98;
        CHECK_EQ(RunProbe("nt"), static_cast<int>('9'));
    }
    CHECK_EQ(RunProbe("nt"), static_cast<int>('N'));
}

TEST_CASE(FolderWatchWorksOnBothFamilies) {
    fixture::TempFolder folder("probe-watch");
    CHECK_EQ(RunProbe("watch " + folder.path()), static_cast<int>('S'));
    Windows98ForProbe win98;
    CHECK_EQ(RunProbe("watch " + folder.path()), static_cast<int>('S'));
    CHECK_EQ(RunProbe("watch " + folder.path() + "Missing\\"), static_cast<int>('I'));
    // Only a trailing backslash is cut for the Windows 95 family.
    std::string bare = folder.path();
    bare.pop_back();
    CHECK_EQ(RunProbe("watch " + bare), static_cast<int>('S'));
}

TEST_CASE(AFileIsReplacedWholeOnBothFamilies) {
    fixture::TempFolder folder("probe-replace");
    const std::string file = folder.file("shortcut.lnk");
    REQUIRE(CreateDirectoryA(folder.file("sub").c_str(), nullptr));
    // Nothing takes a folder's place, and the temporary file does not stay.
    CHECK(!ReplaceWholeFile(folder.file("sub"), "new"));
    for (bool windows98 : {false, true}) {
        REQUIRE(fixture::WriteFileText(file, "old, and longer"));
        std::optional<Windows98ForProbe> family;
        if (windows98) family.emplace();
        CHECK_EQ(RunProbe("replace " + file), static_cast<int>('R'));
        CHECK_EQ(fixture::ReadFileBytes(file), "new");
        CHECK_EQ(fixture::FolderEntries(folder.path()), (std::vector<std::string>{"shortcut.lnk", "sub"}));
    }
}

// The fallbacks for systems before Vista, which Wine itself never needs.
TEST_CASE(ATreeIsCopiedAndDeletedByHandWhole) {
    const fixture::ScratchKey scratch(HKEY_CURRENT_USER, fixture::UniqueTestPath("tree"));
    const std::string from = scratch.sub("From");
    fixture::SetString(HKEY_CURRENT_USER, from, "Text", "text");
    fixture::SetRaw(HKEY_CURRENT_USER, from + "\\A\\B", "Bytes", REG_BINARY, "\0\1\2", 3);
    fixture::SetRaw(HKEY_CURRENT_USER, from + "\\A", "None", REG_BINARY, "", 0);
    fixture::CreateKey(HKEY_CURRENT_USER, from + "\\A\\Empty");
    {
        const RegKey source = OpenRegistryKey(HKEY_CURRENT_USER, from, kRegistryRead);
        const RegKey target = CreateRegistryKey(HKEY_CURRENT_USER, scratch.sub("To"), kRegistryCreate);
        CHECK(registry_detail::CopyTreeByHand(source.get(), target.get()));
    }
    REQUIRE(fixture::Tree(HKEY_CURRENT_USER, from).size() == 7);
    CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, scratch.sub("To")), fixture::Tree(HKEY_CURRENT_USER, from));
    registry_detail::DeleteTreeByHand(HKEY_CURRENT_USER, from);
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, from));
    CHECK(fixture::KeyExists(HKEY_CURRENT_USER, scratch.sub("To")));
}
