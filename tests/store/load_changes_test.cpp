#include "catalog/location_table.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"
#include "harness/package_fixtures.h"
#include "harness/service_fixtures.h"
#include "startup/packaged_task_startup_list.h"
#include "store/load_changes.h"

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Rows of the prefix's own services, which Wine has without Microsoft's
// version resources; they stay as they are.
bool IsWineService(const ChangeRow& row) {
    return std::string(LocationKeyName(row.locationIndex)) == "SystemServices" &&
           row.entry.rfind(fixture::kTestServicePrefix, 0) != 0;
}

int WineServices(const LoadChanges& changes) {
    return static_cast<int>(std::count_if(changes.rows.begin(), changes.rows.end(), IsWineService));
}

// "location|entry|change|now|after|note" for every row but those of Wine's services.
std::vector<std::string> Rows(const LoadChanges& changes) {
    std::vector<std::string> rows;
    for (const ChangeRow& row : changes.rows) {
        if (IsWineService(row)) continue;
        rows.push_back(std::string(LocationKeyName(row.locationIndex)) + "|" + row.entry + "|" +
                       ChangeWord(row.change) + "|" + row.now + "|" + row.after + "|" + row.note);
    }
    return rows;
}

// Task Manager's switch of an entry of the user's Startup folder ("StartupFolder") or HKCU Run ("Run").
void SetSwitch(const std::string& name, char firstByte, const char* place = "StartupFolder") {
    const std::string bytes = std::string(1, firstByte) + std::string(11, '\0');
    fixture::SetRaw(HKEY_CURRENT_USER, std::string(fixture::kStartupApproved) + "\\" + place, name, REG_BINARY,
                    bytes.data(), static_cast<DWORD>(bytes.size()));
}

}  // namespace

TEST_CASE(EveryKindOfChangeIsOneRowInSlotAndNameOrder) {
    fixture::Catalog catalog;
    const std::string run = fixture::kHkcuRun;
    const std::string folder = fixture::StartupFolder(CSIDL_STARTUP);
    const char notepad[] = "C:\\windows\\notepad.exe";
    fixture::MakeShortcut(folder + "Editor.lnk", notepad);
    SetSwitch("Editor.lnk", 3);
    fixture::MakeShortcut(folder + "Launcher.lnk", notepad, "-tray");
    fixture::ShortcutContent placed;
    placed.target = notepad;
    placed.workingFolder = "C:\\windows";
    fixture::MakeShortcut(folder + "Placed.lnk", placed);
    fixture::SetString(HKEY_CURRENT_USER, run, "Typed", notepad);
    fixture::SetString(HKEY_CURRENT_USER, run, "Cased", notepad);
    fixture::SetString(HKEY_CURRENT_USER, run, "Tray", notepad);
    SetSwitch("Tray", 6, "Run");
    const std::string trailed = std::string(notepad, sizeof notepad) + "old";
    fixture::SetRaw(HKEY_CURRENT_USER, run, "Trailed", REG_SZ, trailed.data(), static_cast<DWORD>(trailed.size()));
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine", "C:\\windows\\notepad.exe");
    fixture::SetString(HKEY_CURRENT_USER, run, "Added", "C:\\missing\\gone.exe");
    fixture::SetString(HKEY_CURRENT_USER, run, "Edited", "C:\\windows\\notepad.exe /a");
    const DWORD seven = 7;
    fixture::SetRaw(HKEY_CURRENT_USER, run, "Number", REG_DWORD, &seven, sizeof seven);
    const char expandable[] = "%windir%\\notepad.exe";
    fixture::SetRaw(HKEY_CURRENT_USER, run, "Same", REG_EXPAND_SZ, expandable, sizeof expandable);
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "Parked", "C:\\windows\\regedit.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce, "Setup", "C:\\missing\\setup.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRunOnce, "Once", "C:\\windows\\notepad.exe");
    REQUIRE(catalog.set.SaveConfiguration("Mixed"));

    // Since the save: switched on, removed, edited, moved, and one added.
    SetSwitch("Editor.lnk", 2);
    fixture::MakeShortcut(folder + "Launcher.lnk", notepad, "-minimized");
    placed.workingFolder = "C:\\users";
    fixture::MakeShortcut(folder + "Placed.lnk", placed);
    fixture::SetRaw(HKEY_CURRENT_USER, run, "Typed", REG_EXPAND_SZ, notepad, sizeof notepad);
    SetSwitch("Tray", 2, "Run");  // on, as it was
    fixture::SetString(HKEY_CURRENT_USER, run, "Trailed", notepad);
    fixture::DeleteValue(HKEY_CURRENT_USER, run, "Cased");
    fixture::SetString(HKEY_CURRENT_USER, run, "cased", notepad);
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine");
    fixture::DeleteValue(HKEY_CURRENT_USER, run, "Added");
    fixture::DeleteValue(HKEY_CURRENT_USER, run, "Number");
    fixture::SetString(HKEY_CURRENT_USER, run, "Edited", "C:\\windows\\notepad.exe /b");
    fixture::DeleteValue(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "Parked");
    fixture::SetString(HKEY_CURRENT_USER, run, "Parked", "C:\\windows\\regedit.exe");
    fixture::SetString(HKEY_CURRENT_USER, run, "beta", "x.exe");
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce, "Setup");
    fixture::DeleteValue(HKEY_CURRENT_USER, fixture::kHkcuRunOnce, "Once");
    // As saved before the 32-bit locations existed: a load leaves them alone.
    fixture::DeleteTree(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Mixed\\HKLM-Run32");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun32, "Wow", "C:\\windows\\notepad.exe");
    const std::vector<std::string> live = fixture::LiveState();

    LoadChanges changes = WorkOutLoadChanges(catalog.set, "Mixed");
    CHECK_EQ(Rows(changes), (std::vector<std::string>{
        "UserStartup|Editor|change|C:\\windows\\notepad.exe|C:\\windows\\notepad.exe (switched off)|",
        "UserStartup|Launcher|change|C:\\windows\\notepad.exe -minimized|C:\\windows\\notepad.exe -tray|",
        "UserStartup|Placed|change|C:\\windows\\notepad.exe|C:\\windows\\notepad.exe|working folder",
        "HKLM-Run|Machine|add||C:\\windows\\notepad.exe|",
        "HKCU-Run|Added|add||C:\\missing\\gone.exe|program not found",
        "HKCU-Run|beta|remove|x.exe||",
        "HKCU-Run|Cased|change|C:\\windows\\notepad.exe|C:\\windows\\notepad.exe|letter case of the name",
        "HKCU-Run|Edited|change|C:\\windows\\notepad.exe /b|C:\\windows\\notepad.exe /a|",
        "HKCU-Run|Number|add||REG_DWORD 07000000|program not found",
        "HKCU-Run|Parked|change|C:\\windows\\regedit.exe|C:\\windows\\regedit.exe (disabled)|",
        "HKCU-Run|Same|keep|%windir%\\notepad.exe|%windir%\\notepad.exe|",
        "HKCU-Run|Trailed|change|C:\\windows\\notepad.exe|C:\\windows\\notepad.exe|bytes after the text",
        "HKCU-Run|Tray|change|C:\\windows\\notepad.exe|C:\\windows\\notepad.exe|Task Manager switch",
        "HKCU-Run|Typed|change|C:\\windows\\notepad.exe (REG_EXPAND_SZ)|C:\\windows\\notepad.exe (REG_SZ)|",
        "RunOnce|Setup|add||C:\\missing\\setup.exe|program not found; runs once",
        "HKLM-Run32|Wow|keep|C:\\windows\\notepad.exe|C:\\windows\\notepad.exe|",
        "HKCU-RunOnce|Once|add||C:\\windows\\notepad.exe|runs once",
    }));
    CHECK_EQ((std::vector<int>{changes.added, changes.removed, changes.changed, changes.kept}),
             (std::vector<int>{5, 1, 9, 2 + WineServices(changes)}));
    CHECK(changes.deniedLocations.empty());

    // Rights are checked as the load checks them, and nothing is written.
    fixture::ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, fixture::kHklmRun);
    changes = WorkOutLoadChanges(catalog.set, "Mixed");
    CHECK_EQ(changes.deniedLocations, std::vector<int>{2});
    CHECK_EQ(fixture::LiveState(), live);
}

TEST_CASE(AStartupFolderFileIsARowLikeAnyEntry) {
    fixture::Catalog catalog;
    const std::string folder = fixture::StartupFolder(CSIDL_STARTUP);
    REQUIRE(fixture::WriteFileText(folder + "run.bat", "@echo off\r\n" + std::string(1193, ' ')));
    REQUIRE(fixture::WriteFileText(folder + "web.url", "[InternetShortcut]\r\n"));
    REQUIRE(fixture::WriteFileText(folder + "same.cmd", "exit 1\r\n"));
    REQUIRE(catalog.set.SaveConfiguration("Files"));
    REQUIRE(DeleteFileA((folder + "run.bat").c_str()));
    REQUIRE(fixture::WriteFileText(folder + "web.url", "edited"));
    REQUIRE(fixture::WriteFileText(folder + "extra.cmd", "exit\r\n"));
    REQUIRE(fixture::WriteFileText(folder + "same.cmd", "exit 2\r\n"));
    // The load writes the missing file itself: no program is missing.
    CHECK_EQ(Rows(WorkOutLoadChanges(catalog.set, "Files")), (std::vector<std::string>{
        "UserStartup|extra.cmd|remove|" + folder + "extra.cmd (6 bytes)||",
        "UserStartup|run.bat|add||" + folder + "run.bat (1,204 bytes)|",
        "UserStartup|same.cmd|change|" + folder + "same.cmd (8 bytes)|" + folder + "same.cmd (8 bytes)|content",
        "UserStartup|web.url|change|" + folder + "web.url (6 bytes)|" + folder + "web.url (20 bytes)|",
    }));
    // As an earlier version saved an empty folder: it speaks for shortcuts only.
    fixture::SetString(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Earlier\\HKCU-Run\\Enabled", "A",
                       "a.exe");
    CHECK_EQ(Rows(WorkOutLoadChanges(catalog.set, "Earlier")), (std::vector<std::string>{
        "UserStartup|extra.cmd|keep|" + folder + "extra.cmd (6 bytes)|" + folder + "extra.cmd (6 bytes)|",
        "UserStartup|same.cmd|keep|" + folder + "same.cmd (8 bytes)|" + folder + "same.cmd (8 bytes)|",
        "UserStartup|web.url|keep|" + folder + "web.url (6 bytes)|" + folder + "web.url (6 bytes)|",
        "HKCU-Run|A|add||a.exe|program not found",
    }));
}

TEST_CASE(AServiceIsARowByItsDisplayNameWithHowItStarts) {
    fixture::Catalog catalog;
    fixture::TestService alpha("Alpha", driver::VeltranePath(), SERVICE_AUTO_START);
    fixture::TestService beta("beta", driver::VeltranePath(), SERVICE_DEMAND_START);
    fixture::TestService kept("Kept", driver::VeltranePath(), SERVICE_DISABLED);
    REQUIRE(catalog.set.SaveConfiguration("Clean"));
    const std::string starts = std::string(fixture::kConfigurations) + "\\Clean\\SystemServices\\";
    const DWORD disabled = SERVICE_DISABLED;
    const DWORD automatic = SERVICE_AUTO_START;
    const DWORD one = 1;
    fixture::SetRaw(HKEY_CURRENT_USER, starts + "Start", beta.name(), REG_DWORD, &disabled, 4);
    fixture::SetRaw(HKEY_CURRENT_USER, starts + "Delayed", alpha.name(), REG_DWORD, &one, 4);
    fixture::SetRaw(HKEY_CURRENT_USER, starts + "Start", "VtTestGone", REG_DWORD, &automatic, 4);
    // Windows' own: never set, so not shown.
    fixture::SetRaw(HKEY_CURRENT_USER, starts + "Start", "MSIServer", REG_DWORD, &disabled, 4);
    const LoadChanges changes = WorkOutLoadChanges(catalog.set, "Clean");
    CHECK_EQ(Rows(changes), (std::vector<std::string>{
        "SystemServices|VtTestAlpha display (VtTestAlpha)|change|automatic|automatic (delayed)|",
        "SystemServices|VtTestbeta display (VtTestbeta)|change|on demand|disabled|",
        "SystemServices|VtTestGone|keep|||not installed",
        "SystemServices|VtTestKept display (VtTestKept)|keep|disabled|disabled|",
    }));
    CHECK_EQ(changes.changed, 2);
    // Wine has no call for a delayed start: the load sets what it can and says it failed.
    CHECK(!catalog.set.LoadConfiguration("Clean"));
    CHECK_EQ(fixture::ServiceStartType(beta.name()), disabled);
    // A start that is no start keeps the configuration from loading.
    fixture::SetString(HKEY_CURRENT_USER, starts + "Start", kept.name(), "4");
    const LoadChanges damaged = WorkOutLoadChanges(catalog.set, "Clean");
    CHECK(damaged.refused);
    CHECK_EQ(Rows(damaged).back(), "SystemServices|VtTestKept display (VtTestKept)|keep|disabled|disabled|damaged value");
}

TEST_CASE(APackagedAppsTaskIsARowByItsNameAndFamilyWithItsState) {
    fixture::PackageRepository repository;
    fixture::TestPackage chat("VtChat_1.0.0.0_x64__vtpub1",
                              fixture::ManifestDeclaring({{"uap5", "ChatStartup", "true", "Chat"},
                                                          {"uap5", "Helper", "", "ms-resource:HelperName"},
                                                          {"uap5", "Sync", "", "Chat"}}));
    fixture::TestPackage music("VtMusic_1.0.0.0_x64__vtpub2", fixture::ManifestDeclaring({{"desktop", "Tray", "", "Music"}}));
    fixture::SetTaskState("VtMusic_vtpub2", "Tray", kTaskEnabledByPolicy);
    fixture::Catalog catalog;
    REQUIRE(catalog.set.SaveConfiguration("Lean"));
    fixture::SetTaskState("VtChat_vtpub1", "ChatStartup", kTaskDisabledByUser);
    const DWORD policy = kTaskDisabledByPolicy;
    fixture::SetRaw(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Lean\\PackagedApps\\VtChat_vtpub1", "Sync",
                    REG_DWORD, &policy, sizeof policy);
    fixture::SetRaw(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Lean\\PackagedApps\\VtGone_vtpub9", "Old",
                    REG_DWORD, &policy, sizeof policy);
    // A stored value that is no state (edited by hand) keeps the configuration from loading.
    fixture::SetTaskState("VtChat_vtpub1", "Helper", kTaskEnabled);
    fixture::SetString(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Lean\\PackagedApps\\VtChat_vtpub1",
                       "Helper", "0");
    const LoadChanges changes = WorkOutLoadChanges(catalog.set, "Lean");
    CHECK_EQ(Rows(changes), (std::vector<std::string>{
        "PackagedApps|Chat (VtChat_vtpub1)|change|off (switched off)|on|",
        "PackagedApps|Chat (VtChat_vtpub1)|keep|off|off|set by policy",
        "PackagedApps|Helper (VtChat_vtpub1)|keep|on|on|damaged value",
        "PackagedApps|Music (VtMusic_vtpub2)|keep|on by policy|on by policy|set by policy",
        "PackagedApps|Old (VtGone_vtpub9)|keep|||not installed",
    }));
    CHECK_EQ(changes.changed, 1);
    CHECK(changes.refused);
}
