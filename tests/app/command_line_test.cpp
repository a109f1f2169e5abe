// Runs the real veltrane.exe with command lines and checks what it left in the
// registry and the Startup folders, whether its dialog opened, and its exit code.
#include "app/command_line.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"

#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const char* const kStore = fixture::kConfigurations;
const char* const kUserRun = fixture::kHkcuRun;

std::string Stored(const std::string& configuration, const char* location, const char* place) {
    return std::string(kStore) + "\\" + configuration + "\\" + location + "\\" + place;
}

std::string UserStartupFolder() { return fixture::StartupFolder(CSIDL_STARTUP); }

using fixture::FileExists;

// No stored configurations, and HKCU Run holding just the given values.
void Reset(const std::vector<std::pair<std::string, std::string>>& userRun) {
    fixture::DeleteTree(HKEY_CURRENT_USER, kStore);
    fixture::DeleteTree(HKEY_CURRENT_USER, kUserRun);
    fixture::CreateKey(HKEY_CURRENT_USER, kUserRun);
    for (const auto& [name, command] : userRun) fixture::SetString(HKEY_CURRENT_USER, kUserRun, name, command);
}

std::vector<std::string> Configurations() { return fixture::SubkeyNames(HKEY_CURRENT_USER, kStore); }

// Runs a command that must be carried out silently.
void ExpectCarriedOut(const std::string& tail) {
    const driver::Outcome outcome = driver::RunCommand(tail);
    CHECK(!outcome.dialogOpened);
    CHECK_EQ(outcome.exitCode, 0u);
}

// Runs a command that must leave the dialog open.
void ExpectDialog(const std::string& tail) {
    const driver::Outcome outcome = driver::RunCommand(tail);
    CHECK(outcome.dialogOpened);
    CHECK_EQ(outcome.exitCode, 0u);
}

}  // namespace

TEST_CASE(SaveAndLoadIgnoreTheCaseOfTheVerb) {
    Reset({{"Tool", "C:\\Tools\\tool.exe"}});
    ExpectCarriedOut("Save Work");
    CHECK_EQ(Configurations(), std::vector<std::string>{"Work"});
    CHECK_EQ(fixture::ReadValue(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run", "Enabled"), "Tool"),
             "C:\\Tools\\tool.exe");

    for (const char* tail : {"LOAD Work", "load Work"}) {
        fixture::DeleteTree(HKEY_CURRENT_USER, kUserRun);
        fixture::SetString(HKEY_CURRENT_USER, kUserRun, "Other", "C:\\other.exe");
        ExpectCarriedOut(tail);
        CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\Tools\\tool.exe"});
    }
}

TEST_CASE(LoadRestoresTheStartupFolder) {
    Reset({});
    fixture::SetString(HKEY_CURRENT_USER, Stored("Folder", "UserStartup", "Enabled"), "Notes",
                       "C:\\windows\\notepad.exe");
    const std::string shortcut = UserStartupFolder() + "Notes.lnk";
    DeleteFileA(shortcut.c_str());
    ExpectCarriedOut("load Folder");
    CHECK(FileExists(shortcut));
    DeleteFileA(shortcut.c_str());
}

TEST_CASE(SaveReplacesAnExistingConfigurationSilently) {
    Reset({{"Old", "C:\\old.exe"}});
    ExpectCarriedOut("save Work");
    Reset({{"New", "C:\\new.exe"}});
    fixture::SetString(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run", "Enabled"), "Old", "C:\\old.exe");
    ExpectCarriedOut("save Work");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run", "Enabled")),
             std::vector<std::string>{"New=C:\\new.exe"});
}

TEST_CASE(TheNameIsTheRestOfTheLineAsTyped) {
    Reset({{"Tool", "C:\\tool.exe"}});
    ExpectCarriedOut("save My Work Setup");
    ExpectCarriedOut("save  Work");
    ExpectCarriedOut("save \"Quoted\"");
    ExpectCarriedOut("save Trail ");
    ExpectCarriedOut("save A load B");
    ExpectCarriedOut("save tab\there");
    CHECK_EQ(Configurations(),
             (std::vector<std::string>{" Work", "\"Quoted\"", "A load B", "My Work Setup", "tab\there", "Trail "}));
}

TEST_CASE(TheTailStartsAfterTheQuotedProgramName) {
    Reset({{"Tool", "C:\\tool.exe"}});
    // The program name ends at its closing quote even with no blank after it.
    const driver::Outcome outcome = driver::RunRawCommand("\"" + driver::VeltranePath() + "\"save Glued");
    CHECK(!outcome.dialogOpened);
    CHECK_EQ(outcome.exitCode, 0u);
    CHECK_EQ(Configurations(), std::vector<std::string>{"Glued"});
}

TEST_CASE(CommandsThatAreNotCommandsOpenTheDialog) {
    Reset({{"Tool", "C:\\tool.exe"}});
    fixture::CreateKey(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run", "Enabled"));
    for (const char* tail : {"", "save\tWork", "list Work", "load", "load ", "save", "save ", "delete ",
                             "   ", "saveWork", "loads Work"}) {
        ExpectDialog(tail);
    }
    CHECK_EQ(Configurations(), std::vector<std::string>{"Work"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\tool.exe"});
}

TEST_CASE(NeverSavedNames) {
    Reset({{"Tool", "C:\\tool.exe"}});
    // Nothing to load: no location is touched and the dialog opens.
    ExpectDialog("load Never");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\tool.exe"});
    fixture::CreateKey(HKEY_CURRENT_USER, Stored("Kept", "HKCU-Run", "Enabled"));
    ExpectCarriedOut("delete Never");
    CHECK_EQ(Configurations(), std::vector<std::string>{"Kept"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\tool.exe"});
    ExpectCarriedOut("DELETE Kept");
    CHECK(Configurations().empty());
}

TEST_CASE(NamesWithABackslashAreRefused) {
    Reset({{"Tool", "C:\\tool.exe"}});
    fixture::SetString(HKEY_CURRENT_USER, Stored("a", "HKCU-Run", "Enabled"), "Kept", "C:\\kept.exe");
    for (const char* tail : {"save a\\b", "save \\", "delete \\", "delete a\\HKCU-Run", "load a\\", "load \\\\"}) {
        ExpectDialog(tail);
    }
    CHECK_EQ(Configurations(), std::vector<std::string>{"a"});
    CHECK_EQ(fixture::SubkeyNames(HKEY_CURRENT_USER, std::string(kStore) + "\\a"),
             std::vector<std::string>{"HKCU-Run"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("a", "HKCU-Run", "Enabled")),
             std::vector<std::string>{"Kept=C:\\kept.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\tool.exe"});
}

TEST_CASE(AStoreFailureOpensTheDialog) {
    // The stored keys of so long a name exceed the registry's path limit, so
    // the live item cannot be stored.
    Reset({{"Tool", "C:\\tool.exe"}});
    ExpectDialog("save " + std::string(240, 'x'));
    CHECK(Configurations().empty());

    // No shortcut file can be named "a|b".
    fixture::SetString(HKEY_CURRENT_USER, Stored("Broken", "UserStartup", "Enabled"), "a|b", "C:\\x.exe");
    ExpectDialog("load Broken");
    CHECK(!FileExists(UserStartupFolder() + "a|b.lnk"));
}

TEST_CASE(EveryRunFirstFinishesAnInterruptedSave) {
    const std::string journal = "Software\\Ostrel\\VeltraneJournal";
    Reset({{"Tool", "C:\\tool.exe"}});
    fixture::SetString(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run", "Enabled"), "Old", "C:\\old.exe");
    // As a save leaves them when it is ended once its journal value is written.
    fixture::SetString(HKEY_CURRENT_USER, journal + "\\Staged\\HKCU-Run\\Enabled", "New", "C:\\new.exe");
    fixture::SetString(HKEY_CURRENT_USER, journal, "Replace", "Work");
    ExpectDialog("load Never");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run", "Enabled")),
             std::vector<std::string>{"New=C:\\new.exe"});
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, journal));
}

TEST_CASE(TheTailFollowsTheProgramNameAndItsBlanks) {
    CHECK_EQ(std::string(CommandLineTail("\"C:\\a b\\v.exe\"  save X")), "save X");
    CHECK_EQ(std::string(CommandLineTail("\"a\"b c")), "b c");
    CHECK_EQ(std::string(CommandLineTail("prog\"x y\" save")), "y\" save");
    CHECK_EQ(std::string(CommandLineTail("v.exe\t\tload A ")), "load A ");
    CHECK_EQ(std::string(CommandLineTail("\"unterminated save A")), "");
    CHECK_EQ(std::string(CommandLineTail("v.exe")), "");
    CHECK_EQ(std::string(CommandLineTail("")), "");
}

TEST_CASE(ALoadThatNeedsAdministratorRightsGoesToAnElevatedCopyOrOpensTheDialog) {
    // The name as the copy must read it back: spaces and quotes are part of it.
    const std::string name = " My  \"Work\" ";
    Reset({{"UserOld", "C:\\user-old.exe"}});
    fixture::SetString(HKEY_CURRENT_USER, Stored(name, "HKCU-Run", "Enabled"), "UserNew", "C:\\user-new.exe");
    fixture::SetString(HKEY_CURRENT_USER, Stored(name, "HKLM-Run", "Enabled"), "MachineNew", "C:\\machine-new.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "MachineOld", "C:\\machine-old.exe");
    fixture::ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, fixture::kHklmRun);
    ExpectDialog("load " + name);
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"UserOld=C:\\user-old.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_LOCAL_MACHINE, fixture::kHklmRun),
             std::vector<std::string>{"MachineOld=C:\\machine-old.exe"});

    // With a limited token the copy does it; its consent prompt is the only question.
    driver::TakeElevatedCopyLog();
    const std::string limited = fixture::ProgramDirectory() + "limited_veltrane.exe";
    const driver::Outcome outcome = driver::RunRawCommand("\"" + limited + "\" load " + name, limited);
    CHECK(!outcome.dialogOpened);
    CHECK_EQ(driver::TakeElevatedCopyLog(), "load " + name + "\n");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"UserNew=C:\\user-new.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_LOCAL_MACHINE, fixture::kHklmRun),
             std::vector<std::string>{"MachineNew=C:\\machine-new.exe"});
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "MachineNew");

    // A refused consent prompt starts no copy, as a copy that cannot start: the dialog opens.
    SetEnvironmentVariableA("VELTRANE_TEST_COPY", "C:\\no such copy.exe");
    fixture::SetKeyDacl(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "D:P(A;;KRWDSD;;;WD)");
    CHECK(driver::RunRawCommand("\"" + limited + "\" load " + name, limited).dialogOpened);
    SetEnvironmentVariableA("VELTRANE_TEST_COPY", nullptr);
    CHECK_EQ(fixture::Snapshot(HKEY_LOCAL_MACHINE, fixture::kHklmRun), std::vector<std::string>{});
}

TEST_CASE(UndoGivesBackWhatTheLastLoadReplaced) {
    Reset({{"Tool", "C:\\tool.exe"}});
    ExpectDialog("undo");  // no load yet, nothing to undo
    ExpectCarriedOut("save A");
    fixture::DeleteValue(HKEY_CURRENT_USER, kUserRun, "Tool");
    fixture::SetString(HKEY_CURRENT_USER, kUserRun, "Changed", "C:\\changed.exe");
    ExpectCarriedOut("load A");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\tool.exe"});
    ExpectCarriedOut("UNDO  ");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Changed=C:\\changed.exe"});
    // The undo kept what it replaced: undoing it again is a redo.
    ExpectCarriedOut("undo");
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, kUserRun), std::vector<std::string>{"Tool=C:\\tool.exe"});
    ExpectDialog("undo A");
    CHECK_EQ(Configurations(), (std::vector<std::string>{"(before last load)", "A"}));
}
