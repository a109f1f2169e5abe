#include "harness/check.h"
#include "harness/shell_fixtures.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "platform/file_version.h"
#include "platform/program_path.h"

#include <windows.h>

#include <string>

namespace {

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

}  // namespace

TEST_CASE(ACommandsProgramIsFoundAsCreateProcessFindsIt) {
    // The folder's own name holds a space: "...\vt-program path-1-1\".
    fixture::TempFolder folder("program path");
    REQUIRE(fixture::WriteFileText(folder.file("app.exe"), "MZ"));
    REQUIRE(fixture::WriteFileText(folder.file("sub dir.exe"), "MZ"));
    REQUIRE(CreateDirectoryA(folder.file("sub").c_str(), nullptr));
    const std::string app = folder.file("app.exe");

    CHECK(CommandProgramExists("\"" + app + "\" -x"));
    CHECK(CommandProgramExists(app + " -x"));
    CHECK(CommandProgramExists(" " + folder.file("app") + " -x"));  // ".exe" supplied
    // A folder that a shorter prefix names is passed over.
    CHECK(CommandProgramExists(folder.file("sub dir.exe") + " /s"));
    CHECK(CommandProgramExists("notepad.exe /p"));  // on the search path
    CHECK(CommandProgramExists("notepad"));

    CHECK(!CommandProgramExists(folder.file("sub")));
    CHECK(!CommandProgramExists("\"" + app + " -x\""));  // the quotes hold the whole name
    CHECK(!CommandProgramExists("vt-no-such-program.exe") && !CommandProgramExists("  "));
    CHECK(PathExists(folder.file("sub")) && !PathExists(folder.file("gone.exe")));
}

TEST_CASE(EnvironmentStringsAreExpandedAtAnyLength) {
    CHECK_EQ(ExpandEnvironment("%windir%\\notepad.exe"), WindowsFolder() + "\\notepad.exe");
    CHECK_EQ(ExpandEnvironment("%VT_NO_SUCH_VARIABLE%\\x.exe"), "%VT_NO_SUCH_VARIABLE%\\x.exe");
    const std::string longer(3000, 'a');
    CHECK_EQ(ExpandEnvironment(longer + "%windir%"), longer + WindowsFolder());
}

// Meant for the 32-bit build on 64-bit Windows, whose own view of the system
// folder is its 32-bit stand-in.
TEST_CASE(TheSystemFolderIsSeenAsThe64BitShellSeesIt) {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const std::string native = WindowsFolder() + (wow64 ? "\\sysnative\\" : "\\system32\\") + "vt-native.exe";
    REQUIRE(fixture::WriteFileText(native, "MZ"));
    const std::string seen = WindowsFolder() + "\\system32\\vt-native.exe";
    CHECK(CommandProgramExists(seen) && PathExists(seen));
    DeleteFileA(native.c_str());
}

TEST_CASE(AProgramFilesCompanyIsReadFromItsVersionResource) {
    CHECK(FileCompanyName(driver::VeltranePath()) == L"Ostrel");
    CHECK(FileCompanyName(WindowsFolder() + "\\system32\\msiexec.exe") == L"Microsoft Corporation");
    // A program without a version resource, a file that is no program, one
    // cut short (its headers point past its end), and none at all.
    fixture::TempFolder folder("vt-version");
    const std::string program = fixture::ReadFileBytes(driver::VeltranePath());
    REQUIRE(program.size() > 64 * 1024);
    REQUIRE(fixture::WriteFileText(folder.file("cut.exe"), program.substr(0, 4096)));
    REQUIRE(fixture::WriteFileText(folder.file("text.exe"), "MZ but no program"));
    for (const std::string& path : {fixture::ProgramDirectory() + "wardlow_monitor.exe", folder.file("cut.exe"),
                                    folder.file("text.exe"), folder.file("missing.exe")}) {
        CHECK(FileCompanyName(path).empty());
    }
}
