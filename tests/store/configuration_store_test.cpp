#include "catalog/startup_location_set.h"
#include "catalog/location_table.h"
#include "store/configuration_store.h"
#include "platform/handles.h"
#include "startup/shortcut_folder_startup_list.h"
#include "store/load_plan.h"
#include "store/store_journal.h"
#include "store/stored_files.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"
#include "harness/package_fixtures.h"
#include "harness/service_fixtures.h"
#include "startup/packaged_task_startup_list.h"
#include "startup/service_startup_list.h"

#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using fixture::kConfigurations;

const char kJournal[] = "Software\\Ostrel\\VeltraneJournal";

namespace {

using fixture::Catalog;

const std::string userStartup = fixture::StartupFolder(CSIDL_STARTUP);
const std::string commonStartup = fixture::StartupFolder(CSIDL_COMMON_STARTUP);

std::string Stored(const std::string& name, const std::string& rest = "") {
    return std::string(kConfigurations) + "\\" + name + (rest.empty() ? "" : "\\" + rest);
}

std::vector<std::string> Keys(const std::string& path) {
    std::vector<std::string> names = fixture::SubkeyNames(HKEY_CURRENT_USER, path);
    return names;
}

// One of everything: both places of every present location.
void FillEveryLocation(const std::string& tag) {
    fixture::MakeShortcut(userStartup + "User " + tag + ".lnk", "C:\\windows\\notepad.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("UserStartup"), "Parked user " + tag,
                       "C:\\parked-" + tag + ".exe");
    fixture::MakeShortcut(commonStartup + "Common " + tag + ".lnk", "C:\\windows\\regedit.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("CommonStartup"), "Parked common " + tag, "c.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine " + tag, "m-" + tag + ".exe /a");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKLM-Run"), "Machine off " + tag, "mo.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "User run " + tag, "u-" + tag + ".exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "User off " + tag, "uo.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce, "Once " + tag, "once.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("RunOnce"), "Once off " + tag, "oo.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun32, "Machine 32 " + tag, "m32.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKLM-Run32"), "Machine 32 off " + tag, "m32o.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce32, "Once 32 " + tag, "o32.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("RunOnce32"), "Once 32 off " + tag, "o32o.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRunOnce, "User once " + tag, "uonce.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-RunOnce"), "User once off " + tag, "uoo.exe");
}

// Empties every location, fills it with the set `tag`, and returns the new state.
std::vector<std::string> Refill(const std::string& tag) {
    fixture::ClearLiveLocations();
    FillEveryLocation(tag);
    return fixture::LiveState();
}

// The lines of a live state that belong to these locations.
std::vector<std::string> LinesOf(const std::vector<std::string>& state, const std::vector<std::string>& locations) {
    std::vector<std::string> lines;
    for (const std::string& line : state) {
        for (const std::string& location : locations) {
            if (line.rfind(location + ": ", 0) == 0) lines.push_back(line);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace

TEST_CASE(SaveWritesOneLocationKeyPerLocationWithItems) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "tool.exe -q");
    const DWORD number = 0x00003231;  // "12"
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "Number", REG_DWORD, &number, sizeof(number));
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKLM-Run"), "Parked", "parked.exe");
    fixture::MakeShortcut(userStartup + "Editor.lnk", "C:\\windows\\notepad.exe", "--ignored");

    CHECK(catalog.set.SaveConfiguration("Work"));
    CHECK(catalog.set.ConfigurationExists("Work"));
    // The locations newer than the first configurations, and the Startup
    // folders' files, are stored even when empty.
    CHECK_EQ(Keys(Stored("Work")), (std::vector<std::string>{"CommonStartup", "HKCU-Run", "HKCU-RunOnce", "HKLM-Run",
                                                             "HKLM-Run32", "RunOnce32", "SystemServices",
                                                             "UserStartup"}));
    CHECK(Keys(Stored("Work", "HKLM-Run32")).empty());
    CHECK_EQ(Keys(Stored("Work", "HKCU-Run")), std::vector<std::string>{"Enabled"});
    CHECK_EQ(Keys(Stored("Work", "HKLM-Run")), std::vector<std::string>{"Disabled"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run\\Enabled")),
             (std::vector<std::string>{"Number=12", "Tool=tool.exe -q"}));
    DWORD type = REG_NONE;
    fixture::ReadValue(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run\\Enabled"), "Number", &type);
    CHECK_EQ(type, static_cast<DWORD>(REG_DWORD));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work", "HKLM-Run\\Disabled")),
             std::vector<std::string>{"Parked=parked.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work", "UserStartup\\Enabled")),
             std::vector<std::string>{"Editor=C:\\windows\\notepad.exe"});
    // Saving only reads the live places.
    CHECK(fixture::ValueExists(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool"));
}

TEST_CASE(AnEmptyConfigurationIsStoredAndLoadingItEmptiesEveryLocation) {
    Catalog catalog;
    CHECK(catalog.set.SaveConfiguration("Clean start"));
    CHECK(catalog.set.ConfigurationExists("Clean start"));
    CHECK_EQ(Keys(Stored("Clean start")),
             (std::vector<std::string>{"CommonStartup", "HKCU-RunOnce", "HKLM-Run32", "RunOnce32", "SystemServices",
                                       "UserStartup"}));
    FillEveryLocation("present");
    CHECK(catalog.set.LoadConfiguration("Clean start"));
    CHECK_EQ(LinesOf(fixture::LiveState(), {"Services"}), Sorted(fixture::LiveState()));
}

TEST_CASE(ResavingReplacesTheOldCopy) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "old.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Gone", "gone.exe");
    REQUIRE(catalog.set.SaveConfiguration("Work"));
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "new.exe");
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Gone");
    // The name is the same name in any case.
    CHECK(catalog.set.SaveConfiguration("WORK"));
    CHECK_EQ(fixture::SubkeyNames(HKEY_CURRENT_USER, kConfigurations).size(), static_cast<size_t>(1));
    CHECK_EQ(Keys(Stored("work")),
             (std::vector<std::string>{"CommonStartup", "HKCU-Run", "HKCU-RunOnce", "HKLM-Run32", "RunOnce32",
                                       "SystemServices", "UserStartup"}));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work", "HKCU-Run\\Enabled")),
             std::vector<std::string>{"Tool=new.exe"});
}

TEST_CASE(LoadBringsBackEveryLocationExactlyAsSaved) {
    Catalog catalog;
    FillEveryLocation("saved");
    const std::vector<std::string> saved = fixture::LiveState();
    REQUIRE(catalog.set.SaveConfiguration("Round trip"));

    Refill("other");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "User run saved", "changed.exe");
    CHECK(fixture::LiveState() != saved);
    CHECK(catalog.set.LoadConfiguration("round TRIP"));
    CHECK_EQ(fixture::LiveState(), saved);
    // With no Task Manager switches anywhere, none are stored or made.
    for (const char* location : {"UserStartup", "HKLM-Run", "HKCU-Run", "HKLM-Run32"}) {
        CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, Stored("Round trip", std::string(location) + "\\Approved")));
    }
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, fixture::kStartupApproved));
    CHECK(!fixture::KeyExists(HKEY_LOCAL_MACHINE, fixture::kStartupApproved));
}

TEST_CASE(EachRegistryEntryKeepsItsTypeAndBytes) {
    Catalog catalog;
    const char health[] = "%windir%\\system32\\SecurityHealthSystray.exe";
    fixture::SetRaw(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "SecurityHealth", REG_EXPAND_SZ, health, sizeof(health));
    const char parked[] = "%ProgramFiles%\\parked.exe";
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::DisabledKey("HKLM-Run"), "Parked", REG_EXPAND_SZ, parked, sizeof(parked));
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::DisabledKey("UserStartup"), "Link", REG_EXPAND_SZ, parked, sizeof(parked));
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "Bin", REG_BINARY, "ABC", 3);
    const DWORD seven = 7;
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "Num", REG_DWORD, &seven, sizeof(seven));
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "Multi", REG_MULTI_SZ, "a\0b\0", 5);
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "Empty", REG_SZ, "", 0);
    // Each live place beside its stored copy.
    const std::vector<std::tuple<HKEY, std::string, const char*>> places = {
        {HKEY_LOCAL_MACHINE, fixture::kHklmRun, "HKLM-Run\\Enabled"},
        {HKEY_CURRENT_USER, fixture::DisabledKey("HKLM-Run"), "HKLM-Run\\Disabled"},
        {HKEY_CURRENT_USER, fixture::DisabledKey("UserStartup"), "UserStartup\\Disabled"},
        {HKEY_CURRENT_USER, fixture::kHkcuRun, "HKCU-Run\\Enabled"}};
    std::vector<std::vector<std::string>> live;
    for (const auto& [root, path, stored] : places) live.push_back(fixture::RawSnapshot(root, path));
    REQUIRE(catalog.set.SaveConfiguration("Typed"));
    Refill("other");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "SecurityHealth", health);
    CHECK(catalog.set.LoadConfiguration("Typed"));
    for (size_t at = 0; at < places.size(); ++at) {
        const auto& [root, path, stored] = places[at];
        CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, Stored("Typed", stored)), live[at]);
        CHECK_EQ(fixture::RawSnapshot(root, path), live[at]);
    }

    // A configuration of an earlier version holds REG_SZ values only, and
    // they come back as they are.
    fixture::SetString(HKEY_CURRENT_USER, Stored("Earlier", "HKCU-Run\\Enabled"), "Old", "old.exe -q");
    CHECK(catalog.set.LoadConfiguration("Earlier"));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::kHkcuRun), std::vector<std::string>{"Old=old.exe -q"});
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, fixture::kHkcuRun),
             fixture::RawSnapshot(HKEY_CURRENT_USER, Stored("Earlier", "HKCU-Run\\Enabled")));
}

TEST_CASE(DisabledItemsComeBackIntoTheDisabledPlace) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "Parked", "parked.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("UserStartup"), "Parked link", "C:\\p.exe");
    REQUIRE(catalog.set.SaveConfiguration("Parked"));
    CHECK_EQ(Keys(Stored("Parked", "HKCU-Run")), std::vector<std::string>{"Disabled"});
    fixture::ClearLiveLocations();
    CHECK(catalog.set.LoadConfiguration("Parked"));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run")),
             std::vector<std::string>{"Parked=parked.exe"});
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, fixture::kHkcuRun, "Parked"));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::DisabledKey("UserStartup")),
             std::vector<std::string>{"Parked link=C:\\p.exe"});
    CHECK(fixture::ShortcutsIn(userStartup).empty());
}

// A configuration saved before the 32-bit locations and HKCU RunOnce existed,
// or on 32-bit Windows, says nothing about them: they are left as they are.
TEST_CASE(LoadEmptiesLocationsWithoutAStoredKeyButTheNewerOnes) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, Stored("Sparse", "HKCU-Run\\Enabled"), "Only", "only.exe");
    FillEveryLocation("present");
    // Services is no location on this system.
    const std::vector<std::string> untouched = LinesOf(
        fixture::LiveState(), {"Services", "HKLM-Run32", "RunOnce32", "disabled HKLM-Run32", "disabled RunOnce32",
                               "HKCU-RunOnce", "disabled HKCU-RunOnce"});
    REQUIRE(untouched.size() >= 6);
    fixture::TestService service("Sparse", driver::VeltranePath(), SERVICE_AUTO_START);
    // What a run does first leaves a configuration of an earlier version alone.
    CHECK(FinishInterruptedStoreWork());
    CHECK(catalog.set.LoadConfiguration("Sparse"));
    CHECK_EQ(fixture::ServiceStartType(service.name()), static_cast<DWORD>(SERVICE_AUTO_START));
    std::vector<std::string> expected = untouched;
    expected.push_back("HKCU-Run: Only=only.exe");
    CHECK_EQ(Sorted(fixture::LiveState()), Sorted(expected));
}

// Loading each view back into its own key is part of the round trip above.
TEST_CASE(EachRegistryViewIsSavedOnItsOwn) {
    Catalog catalog;
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Native64", "n64.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun32, "Wow32", "w32.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce32, "Once32", "o32.exe");
    REQUIRE(catalog.set.SaveConfiguration("Mixed"));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Mixed", "HKLM-Run\\Enabled")),
             std::vector<std::string>{"Native64=n64.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Mixed", "HKLM-Run32\\Enabled")),
             std::vector<std::string>{"Wow32=w32.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Mixed", "RunOnce32\\Enabled")),
             std::vector<std::string>{"Once32=o32.exe"});
}

TEST_CASE(LoadReplacesEntriesAddedAfterTheListsWereRead) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, Stored("Later", "HKCU-Run\\Enabled"), "Kept", "kept.exe");
    // Added behind the program's back, into a location that read as empty
    // and one that did not.
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Stray", "stray.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Stray machine", "stray.exe");
    fixture::MakeShortcut(userStartup + "Stray link.lnk", "C:\\windows\\notepad.exe");
    CHECK(catalog.set.LoadConfiguration("Later"));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::kHkcuRun), std::vector<std::string>{"Kept=kept.exe"});
    CHECK(fixture::Snapshot(HKEY_LOCAL_MACHINE, fixture::kHklmRun).empty());
    CHECK(fixture::ShortcutsIn(userStartup).empty());
}

TEST_CASE(ServicesTakesNoPartOnTheNtFamilyButIsDeleted) {
    Catalog catalog;
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices, "Service", "svc.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "tool.exe");
    REQUIRE(catalog.set.SaveConfiguration("Nt"));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, Stored("Nt", "Services")));
    fixture::SetString(HKEY_CURRENT_USER, Stored("Nt", "Services\\Enabled"), "Stored service", "s.exe");
    CHECK(catalog.set.LoadConfiguration("Nt"));
    CHECK(fixture::ValueExists(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices, "Service"));
    CHECK(!fixture::ValueExists(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices, "Stored service"));
    CHECK(catalog.set.DeleteConfiguration("Nt"));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, Stored("Nt")));
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices, "Service");
}

TEST_CASE(DeleteRemovesOneConfigurationAndIgnoresUnknownNames) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "tool.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("RunOnce"), "Off", "off.exe");
    REQUIRE(catalog.set.SaveConfiguration("Keep"));
    REQUIRE(catalog.set.SaveConfiguration("Drop"));
    const std::vector<std::string> live = fixture::LiveState();
    CHECK(catalog.set.DeleteConfiguration("Never saved"));
    CHECK_EQ(Keys(kConfigurations), (std::vector<std::string>{"Drop", "Keep"}));
    CHECK(catalog.set.DeleteConfiguration("DROP"));
    CHECK_EQ(Keys(kConfigurations), std::vector<std::string>{"Keep"});
    CHECK_EQ(fixture::LiveState(), live);
}

TEST_CASE(NamesThatWouldLeaveTheirOwnKeyAreRefused) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "tool.exe");
    REQUIRE(catalog.set.SaveConfiguration("Keep"));
    for (const std::string name : {"", "\\", "\\\\\\", "Keep\\HKCU-Run", "a\\b", "..\\Keep"}) {
        CHECK(!catalog.set.ConfigurationExists(name));
        CHECK(!catalog.set.SaveConfiguration(name));
        CHECK(!catalog.set.LoadConfiguration(name));
        CHECK(!catalog.set.DeleteConfiguration(name));
    }
    CHECK_EQ(Keys(kConfigurations), std::vector<std::string>{"Keep"});
    CHECK_EQ(Keys(Stored("Keep")),
             (std::vector<std::string>{"CommonStartup", "HKCU-Run", "HKCU-RunOnce", "HKLM-Run32", "RunOnce32",
                                       "SystemServices", "UserStartup"}));
    CHECK(fixture::ValueExists(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool"));
}

TEST_CASE(ALoadThatCannotPlaceAnItemReportsFailureAndLoadsTheRest) {
    Catalog catalog;
    // No file can be named with '|', and a shortcut path must stay under 260.
    fixture::SetString(HKEY_CURRENT_USER, Stored("Bad", "UserStartup\\Enabled"), "a|b", "C:\\windows\\notepad.exe");
    fixture::SetString(HKEY_CURRENT_USER, Stored("Long", "UserStartup\\Enabled"), std::string(250, 'n'),
                       "C:\\windows\\notepad.exe");
    // Nor a file of so long a path.
    const std::string file = std::string(250, 'f') + ".bat";
    fixture::SetRaw(HKEY_CURRENT_USER, Stored("Long file", "UserStartup\\Files"), file, REG_BINARY, "x", 1);
    fixture::SetString(HKEY_CURRENT_USER, Stored("Long file", "UserStartup\\Enabled"), file, userStartup + file);
    for (const char* name : {"Bad", "Long", "Long file"}) {
        fixture::SetString(HKEY_CURRENT_USER, Stored(name, "HKCU-Run\\Enabled"), "Good", "good.exe");
        fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Old", "old.exe");
        CHECK(!catalog.set.LoadConfiguration(name));
        CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::kHkcuRun), std::vector<std::string>{"Good=good.exe"});
        CHECK(fixture::FolderEntries(userStartup).empty());
    }
    // A configuration whose items all arrive is a success.
    fixture::SetString(HKEY_CURRENT_USER, Stored("Fine", "UserStartup\\Enabled"), "Fine", "C:\\windows\\notepad.exe");
    CHECK(catalog.set.LoadConfiguration("Fine"));
}

TEST_CASE(AFailedSaveLeavesTheOldConfigurationAndStoresNoNewName) {
    Catalog catalog;
    FillEveryLocation("old");
    REQUIRE(catalog.set.SaveConfiguration("Kept"));
    const std::vector<std::string> kept = fixture::Tree(HKEY_CURRENT_USER, Stored("Kept"));
    Refill("new");
    {
        // A shortcut another program holds open without sharing: it is not left out.
        const std::string held = userStartup + "User new.lnk";
        const UniqueHandle file(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        REQUIRE(file);
        CHECK(!catalog.set.SaveConfiguration("Kept"));
    }
    {
        // A program's key that takes no new key: found out before the old copy goes.
        fixture::ReadOnlyKey readOnly(HKEY_CURRENT_USER, kConfigurations);
        CHECK(!catalog.set.SaveConfiguration("Kept"));
        CHECK(!catalog.set.SaveConfiguration("New"));
    }
    // The longest name whose stored keys a load can all open ends in
    // "\CommonStartup\Disabled" at 260 characters; a longer one is refused.
    const size_t longest = MAX_PATH - Stored("", "CommonStartup\\Disabled").size();
    CHECK(!catalog.set.SaveConfiguration(std::string(longest + 1, 'x')));
    CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, Stored("Kept")), kept);
    CHECK_EQ(Keys(kConfigurations), std::vector<std::string>{"Kept"});
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, kJournal));
    CHECK(catalog.set.SaveConfiguration(std::string(longest, 'x')));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored(std::string(longest, 'x'), "CommonStartup\\Disabled")),
             std::vector<std::string>{"Parked common new=c.exe"});
    CHECK(catalog.set.LoadConfiguration(std::string(longest, 'x')));
}

namespace {

int stepsToGo = 0;

bool CountDown(StoreStep) { return --stepsToGo > 0; }

// Runs `operation` on the configuration `name` stopped after its first step,
// then after its second, and so on until it runs to its end, each time from
// the configuration as it was, and each time followed by what a new run does
// first (itself stopped once). Returns the configuration's tree after each.
std::vector<std::vector<std::string>> StopAfterEachStep(const std::string& name,
                                                        const std::function<bool()>& operation) {
    const std::string aside = fixture::UniqueTestPath("aside");
    fixture::CopyTree(HKEY_CURRENT_USER, Stored(name), aside);
    std::vector<std::vector<std::string>> trees;
    for (int stop = 1; stop < 50; ++stop) {
        fixture::DeleteTree(HKEY_CURRENT_USER, Stored(name));
        fixture::CopyTree(HKEY_CURRENT_USER, aside, Stored(name));
        stepsToGo = stop;
        SetStoreStepObserver(CountDown);
        const bool succeeded = operation();
        const bool ranToItsEnd = stepsToGo > 0;
        stepsToGo = 1;
        FinishInterruptedStoreWork();
        SetStoreStepObserver(nullptr);
        CHECK(FinishInterruptedStoreWork());
        trees.push_back(fixture::Tree(HKEY_CURRENT_USER, Stored(name)));
        const std::vector<std::string> listed = trees.back().empty() ? std::vector<std::string>{}
                                                                       : std::vector<std::string>{name};
        CHECK_EQ(Keys(kConfigurations), listed);
        CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, kJournal));
        if (ranToItsEnd) {
            CHECK(succeeded);
            break;
        }
    }
    fixture::DeleteTree(HKEY_CURRENT_USER, aside);
    return trees;
}

}  // namespace

TEST_CASE(ASaveStoppedAfterAnyStepLeavesTheOldConfigurationOrTheNewOneWhole) {
    Catalog catalog;
    FillEveryLocation("old");
    REQUIRE(catalog.set.SaveConfiguration("Work"));
    const std::vector<std::string> old = fixture::Tree(HKEY_CURRENT_USER, Stored("Work"));
    const std::vector<std::string> current = Refill("new");

    const auto trees = StopAfterEachStep("Work", [&] { return catalog.set.SaveConfiguration("Work"); });
    // The old one while the locations are staged, one stop per present
    // location; the new one once the journal value is written: after that,
    // the old tree's removal, the copy, the journal's clearing, the staging's
    // removal, and at the end.
    int present = 0;
    for (int index = 0; index < kLocationCount; ++index) present += catalog.set.Slot(index) != nullptr ? 1 : 0;
    REQUIRE(trees.size() == static_cast<size_t>(present) + 6);
    for (size_t stop = 0; stop < trees.size(); ++stop) {
        CHECK(trees[stop] == (stop < static_cast<size_t>(present) ? old : trees.back()));
    }
    CHECK(trees.back() != old);
    fixture::ClearLiveLocations();
    StartupLocationSet nextRun;
    nextRun.BuildCatalog();
    CHECK(nextRun.LoadConfiguration("Work"));
    nextRun.ClearSlots();
    CHECK_EQ(fixture::LiveState(), current);
}

TEST_CASE(ADeleteStoppedAfterAnyStepIsCompletedByTheNextRun) {
    Catalog catalog;
    FillEveryLocation("stored");
    REQUIRE(catalog.set.SaveConfiguration("Work"));
    // Stopped after the journal value is written, after the keys are deleted,
    // after the journal is cleared, and at the end.
    const auto trees = StopAfterEachStep("Work", [&] { return catalog.set.DeleteConfiguration("Work"); });
    CHECK_EQ(trees, std::vector<std::vector<std::string>>(4));
    StartupLocationSet nextRun;
    nextRun.BuildCatalog();
    CHECK(nextRun.SaveConfiguration("Work"));
    CHECK(nextRun.ConfigurationExists("Work"));
    nextRun.ClearSlots();
}

// ---- Shortcut files ------------------------------------------------------------------------------------------

TEST_CASE(ALoadedShortcutIsTheFileThatWasSavedInEitherFolder) {
    Catalog catalog;
    fixture::ShortcutContent full;
    full.target = "C:\\windows\\notepad.exe";
    full.arguments = "-x \"two words\" /min";
    full.workingFolder = "C:\\windows";
    full.description = "Notes at logon";
    full.iconPath = "C:\\windows\\regedit.exe";
    full.iconIndex = 2;
    full.showCommand = SW_SHOWMINNOACTIVE;
    full.hotKey = MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_ALT);
    for (const auto& [folder, location] : {std::pair{userStartup, "UserStartup"}, {commonStartup, "CommonStartup"}}) {
        const std::string path = folder + "Notes.lnk";
        REQUIRE(fixture::MakeShortcut(path, full));
        const std::string saved = fixture::ReadFileBytes(path);
        const fixture::ShortcutContent read = fixture::ReadShortcut(path);
        CHECK_EQ(read.arguments, full.arguments);
        REQUIRE(catalog.set.SaveConfiguration("Whole"));
        DWORD type = REG_NONE;
        CHECK(fixture::ReadValue(HKEY_CURRENT_USER, Stored("Whole", location + std::string("\\Links")), "Notes",
                                 &type) == saved);
        CHECK_EQ(type, static_cast<DWORD>(REG_BINARY));

        fixture::ClearLiveLocations();
        CHECK(catalog.set.LoadConfiguration("Whole"));
        CHECK(fixture::ReadFileBytes(path) == saved);
        CHECK(fixture::ReadShortcut(path) == read);
        CHECK_EQ(fixture::FolderEntries(folder), std::vector<std::string>{"Notes.lnk"});
        // The Links key goes too, or the location key and the configuration would stay.
        CHECK(catalog.set.DeleteConfiguration("Whole"));
        CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, Stored("Whole")));
        fixture::ClearLiveLocations();
    }
}

TEST_CASE(StoredBytesAreWrittenOnlyWhenTheyLeadToTheItemsCommand) {
    Catalog catalog;
    const std::string editor = userStartup + "Editor.lnk";
    const std::string damaged = userStartup + "Damaged.lnk";
    REQUIRE(fixture::MakeShortcut(editor, "C:\\windows\\notepad.exe", "--saved"));
    REQUIRE(fixture::MakeShortcut(damaged, "C:\\windows\\notepad.exe", "--saved"));
    REQUIRE(catalog.set.SaveConfiguration("Edited"));
    // Edited by hand: another command for one item, bytes that are no shortcut for the other.
    fixture::SetString(HKEY_CURRENT_USER, Stored("Edited", "UserStartup\\Enabled"), "Editor",
                       "C:\\windows\\regedit.exe");
    fixture::SetRaw(HKEY_CURRENT_USER, Stored("Edited", "UserStartup\\Links"), "Damaged", REG_BINARY, "no link", 7);
    const std::vector<std::string> copied = {"Damaged=C:\\windows\\notepad.exe", "Editor=C:\\windows\\regedit.exe"};
    // Then without any stored bytes, as configurations were stored before.
    for (bool withLinks : {true, false}) {
        if (!withLinks) fixture::DeleteTree(HKEY_CURRENT_USER, Stored("Edited", "UserStartup\\Links"));
        fixture::ClearLiveLocations();
        CHECK(catalog.set.LoadConfiguration("Edited"));
        CHECK_EQ(fixture::ShortcutsIn(userStartup), copied);
        CHECK_EQ(fixture::ReadShortcut(editor).arguments, "");
        CHECK_EQ(fixture::ReadShortcut(damaged).arguments, "");
    }
}

TEST_CASE(AShortcutFileOver64KiBIsStoredAsItsItemOnly) {
    Catalog catalog;
    const std::string path = userStartup + "Padded.lnk";
    REQUIRE(fixture::MakeShortcut(path, "C:\\windows\\notepad.exe", "--padded"));
    // The shell reads the shortcut and ignores what follows it.
    REQUIRE(fixture::WriteFileText(path, fixture::ReadFileBytes(path) + std::string(64 * 1024, 'p')));
    REQUIRE(catalog.set.SaveConfiguration("Padded"));
    CHECK_EQ(Keys(Stored("Padded", "UserStartup")), (std::vector<std::string>{"Enabled", "Files"}));
    fixture::ClearLiveLocations();
    CHECK(catalog.set.LoadConfiguration("Padded"));
    CHECK_EQ(fixture::ShortcutsIn(userStartup), std::vector<std::string>{"Padded=C:\\windows\\notepad.exe"});
    CHECK_EQ(fixture::ReadShortcut(path).arguments, "");
}

namespace {

// Each block the monitor wrote: the message number, then the live state.
std::vector<std::pair<std::string, std::vector<std::string>>> ReadMonitorLog(const std::string& path) {
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;
    std::ifstream log(path);
    std::string line;
    while (std::getline(log, line)) {
        if (line.rfind("message ", 0) == 0) {
            blocks.push_back({line.substr(8), {}});
        } else if (line != "end" && !blocks.empty()) {
            blocks.back().second.push_back(line);
        }
    }
    return blocks;
}

}  // namespace

TEST_CASE(TheMonitorHearsOfALoadBeforeAndAfterIt) {
    Catalog catalog;
    FillEveryLocation("stored");
    REQUIRE(catalog.set.SaveConfiguration("Monitored"));
    const std::vector<std::string> stored = fixture::LiveState();
    const std::vector<std::string> current = Refill("current");

    driver::Monitor monitor;
    CHECK(monitor.listening());
    CHECK(catalog.set.LoadConfiguration("Monitored"));
    CHECK(monitor.Stop());

    const auto blocks = ReadMonitorLog(monitor.logPath());
    REQUIRE(blocks.size() == 2);
    CHECK_EQ(blocks[0].first, "1338");
    CHECK_EQ(blocks[0].second, current);
    CHECK_EQ(blocks[1].first, "1339");
    CHECK_EQ(blocks[1].second, stored);
    CHECK_EQ(fixture::LiveState(), stored);
}

TEST_CASE(ALoadStoppedBetweenFillAndPruneLosesNoEntry) {
    Catalog catalog;
    FillEveryLocation("saved");
    const std::vector<std::string> saved = fixture::LiveState();
    REQUIRE(catalog.set.SaveConfiguration("Target"));
    const std::vector<std::string> old = Refill("old");

    // Stopped once HKCU Run holds the stored entries beside its own.
    SetLoadFillObserver([](int locationIndex) { return locationIndex != 3; });
    CHECK(!catalog.set.LoadConfiguration("Target"));
    SetLoadFillObserver(nullptr);
    std::vector<std::string> expected = LinesOf(saved, {"UserStartup", "CommonStartup", "HKLM-Run", "HKCU-Run",
                                                        "disabled UserStartup", "disabled CommonStartup",
                                                        "disabled HKLM-Run", "disabled HKCU-Run"});
    for (const std::string& line : LinesOf(old, {"HKCU-Run", "disabled HKCU-Run", "Services", "RunOnce",
                                                 "disabled RunOnce", "HKLM-Run32", "disabled HKLM-Run32",
                                                 "RunOnce32", "disabled RunOnce32", "HKCU-RunOnce",
                                                 "disabled HKCU-RunOnce"})) {
        expected.push_back(line);
    }
    CHECK_EQ(Sorted(fixture::LiveState()), Sorted(expected));

    // Running it again completes it.
    CHECK(catalog.set.LoadConfiguration("Target"));
    CHECK_EQ(fixture::LiveState(), saved);
}

TEST_CASE(ALoadEndsWithWhatEmptyingAndRefillingWouldLeave) {
    Catalog catalog;
    const std::string run = fixture::kHkcuRun;
    const std::string parked = fixture::DisabledKey("HKCU-Run");
    fixture::SetString(HKEY_CURRENT_USER, Stored("Final", "HKCU-Run\\Enabled"), "Both", "new.exe");
    fixture::SetString(HKEY_CURRENT_USER, Stored("Final", "HKCU-Run\\Disabled"), "Both", "new-off.exe");
    fixture::SetString(HKEY_CURRENT_USER, Stored("Final", "HKCU-Run\\Enabled"), "Switched on", "on.exe");
    fixture::SetString(HKEY_CURRENT_USER, run, "Both", "old.exe");
    fixture::SetString(HKEY_CURRENT_USER, parked, "Both", "old-off.exe");
    fixture::SetString(HKEY_CURRENT_USER, parked, "Switched on", "parked.exe");
    fixture::SetString(HKEY_CURRENT_USER, run, "Extra", "extra.exe");
    // A name the 8-bit calls cannot delete: it stays, and the rest still goes.
    fixture::SetWideName(HKEY_CURRENT_USER, run, L"\x4E2D\x6587", L"wide.exe");
    CHECK(catalog.set.LoadConfiguration("Final"));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, run),
             (std::vector<std::string>{"?\?=wide.exe", "Both=new.exe", "Switched on=on.exe"}));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, parked), std::vector<std::string>{"Both=new-off.exe"});
}

namespace {

std::string Approved(const char* kind) { return std::string(fixture::kStartupApproved) + "\\" + kind; }

void SetApproval(HKEY root, const char* kind, const std::string& name, const std::string& bytes) {
    fixture::SetRaw(root, Approved(kind), name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::string ApprovalBytes(HKEY root, const std::string& path, const std::string& name) {
    DWORD type = REG_NONE;
    const std::string bytes = fixture::ReadValue(root, path, name, &type);
    return type == REG_BINARY ? bytes : "<" + std::to_string(type) + ">";
}

const std::string switchedOff("\x03\x00\x00\x00\x10\x20\x30\x40\x50\x60\x70\x80", 12);
const std::string switchedOn("\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01", 12);

}  // namespace

TEST_CASE(TaskManagerSwitchesTravelWithAConfiguration) {
    Catalog catalog;
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Tool", "tool.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Plain", "plain.exe");
    fixture::MakeShortcut(userStartup + "Editor.lnk", "C:\\windows\\notepad.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Native", "n.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun32, "Wow", "w.exe");
    SetApproval(HKEY_CURRENT_USER, "Run", "Tool", switchedOff);
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "Editor.lnk", switchedOff);
    SetApproval(HKEY_LOCAL_MACHINE, "Run", "Native", switchedOff);
    SetApproval(HKEY_LOCAL_MACHINE, "Run32", "Wow", switchedOn);
    SetApproval(HKEY_CURRENT_USER, "Run", "Stranger", switchedOff);
    REQUIRE(catalog.set.SaveConfiguration("Switches"));
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Stored("Switches", "HKCU-Run\\Approved"), "Tool"), switchedOff);
    CHECK_EQ(fixture::SubkeyNames(HKEY_CURRENT_USER, Stored("Switches", "HKCU-Run")).size(), static_cast<size_t>(2));
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, Stored("Switches", "HKCU-Run\\Approved"), "Plain"));
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Stored("Switches", "UserStartup\\Approved"), "Editor"), switchedOff);
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Stored("Switches", "HKLM-Run\\Approved"), "Native"), switchedOff);
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Stored("Switches", "HKLM-Run32\\Approved"), "Wow"), switchedOn);

    // Switched since: on, off, gone, and a stranger's switch changed.
    SetApproval(HKEY_CURRENT_USER, "Run", "Tool", switchedOn);
    SetApproval(HKEY_CURRENT_USER, "Run", "Plain", switchedOff);
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "Editor.lnk", switchedOn);
    fixture::DeleteTree(HKEY_LOCAL_MACHINE, Approved("Run"));
    SetApproval(HKEY_LOCAL_MACHINE, "Run32", "Wow", switchedOff);
    SetApproval(HKEY_CURRENT_USER, "Run", "Stranger", switchedOn);
    CHECK(catalog.set.LoadConfiguration("Switches"));
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("Run"), "Tool"), switchedOff);
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, Approved("Run"), "Plain"));
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("StartupFolder"), "Editor.lnk"), switchedOff);
    CHECK_EQ(ApprovalBytes(HKEY_LOCAL_MACHINE, Approved("Run"), "Native"), switchedOff);
    CHECK_EQ(ApprovalBytes(HKEY_LOCAL_MACHINE, Approved("Run32"), "Wow"), switchedOn);
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("Run"), "Stranger"), switchedOn);

    CHECK(catalog.set.DeleteConfiguration("Switches"));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, Stored("Switches")));
}


// ---- A Startup folder's other files ------------------------------------------------------------------------------

TEST_CASE(AStartupFolderTravelsWithEveryFileInItButHiddenSystemAndLargeOnes) {
    Catalog catalog;
    const std::string script = "@echo off\r\nstart notepad\r\n";
    const std::string ini = userStartup + "desktop.ini";
    REQUIRE(fixture::WriteFileText(userStartup + "run.bat", script));
    REQUIRE(fixture::WriteFileText(userStartup + "web.url", "[InternetShortcut]\r\nURL=https://example.org/\r\n"));
    REQUIRE(fixture::WriteFileText(ini, "[.ShellClassInfo]\r\n"));
    REQUIRE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    REQUIRE(fixture::WriteFileText(userStartup + "large.exe", std::string(kLargestFileItem + 1, 'L')));
    REQUIRE(fixture::MakeShortcut(userStartup + "Foo.lnk", "C:\\windows\\notepad.exe", "--foo"));
    // A shortcut and a file of one item name; the shortcut too large for its bytes to be kept.
    const std::string tool = userStartup + "Tool.exe.lnk";
    REQUIRE(fixture::MakeShortcut(tool, "C:\\windows\\regedit.exe"));
    REQUIRE(fixture::WriteFileText(tool, fixture::ReadFileBytes(tool) + std::string(64 * 1024, 'p')));
    REQUIRE(fixture::WriteFileText(userStartup + "Tool.exe", std::string("MZ\0tool", 7)));
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "run.bat", switchedOff);
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "Tool.exe.lnk", switchedOff);
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "Tool.exe", switchedOn);
    const std::vector<std::string> saved = fixture::LiveState();
    REQUIRE(catalog.set.SaveConfiguration("Files"));
    const std::string files = Stored("Files", "UserStartup\\Files");
    CHECK_EQ(fixture::ValueNamesW(HKEY_CURRENT_USER, files), (std::vector<std::wstring>{L"run.bat", L"Tool.exe", L"web.url"}));
    CHECK(fixture::ReadValue(HKEY_CURRENT_USER, files, "run.bat") == script);
    CHECK_EQ(fixture::ReadValue(HKEY_CURRENT_USER, Stored("Files", "UserStartup\\Enabled"), "run.bat"), userStartup + "run.bat");
    CHECK_EQ(Keys(Stored("Files", "CommonStartup")), std::vector<std::string>{"Files"});

    // Since: files gone, one edited, one added, switches changed.
    for (const char* gone : {"run.bat", "Foo.lnk", "Tool.exe"}) REQUIRE(DeleteFileA((userStartup + gone).c_str()));
    REQUIRE(fixture::WriteFileText(userStartup + "web.url", "edited"));
    REQUIRE(fixture::WriteFileText(userStartup + "extra.cmd", "exit\r\n"));
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "run.bat", switchedOn);
    SetApproval(HKEY_CURRENT_USER, "StartupFolder", "Tool.exe.lnk", switchedOn);
    fixture::DeleteValue(HKEY_CURRENT_USER, Approved("StartupFolder"), "Tool.exe");
    CHECK(catalog.set.LoadConfiguration("Files"));
    // Every file byte for byte, the hidden system file and the large one untouched.
    CHECK_EQ(fixture::LiveState(), saved);
    CHECK_EQ(fixture::ReadShortcut(userStartup + "Foo.lnk").arguments, "--foo");
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("StartupFolder"), "run.bat"), switchedOff);
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("StartupFolder"), "Tool.exe.lnk"), switchedOff);
    // The stored switch of the shared name is the shortcut's: the file's is left alone.
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, Approved("StartupFolder"), "Tool.exe"));
    const StoredConfiguration stored = ReadConfiguration(catalog.set, "Files");
    CHECK(catalog.set.HoldsConfiguration(stored));
    REQUIRE(fixture::WriteFileText(userStartup + "web.url", "edited"));
    CHECK(!catalog.set.HoldsConfiguration(stored));

    // Where a folder lists the shortcut first (FAT does not sort), its target still keeps the name.
    const StoredPaths copy("Copy", 0);
    StoredFolderList(copy).AddAll(StoredFolderList(StoredPaths("Files", 0)));
    CHECK_EQ(fixture::ReadValue(HKEY_CURRENT_USER, copy.enabled, "Tool.exe"), "C:\\windows\\regedit.exe");
}

TEST_CASE(AConfigurationWithoutFilesLeavesTheFoldersOtherFilesAlone) {
    Catalog catalog;
    // As an earlier version stored a Startup folder: shortcuts only.
    fixture::SetString(HKEY_CURRENT_USER, Stored("Earlier", "UserStartup\\Enabled"), "Plain", "C:\\windows\\notepad.exe");
    REQUIRE(fixture::WriteFileText(userStartup + "run.bat", "@echo off\r\n"));
    REQUIRE(fixture::MakeShortcut(userStartup + "Old.lnk", "C:\\windows\\regedit.exe"));
    CHECK(catalog.set.LoadConfiguration("Earlier"));
    CHECK_EQ(Sorted(fixture::FolderEntries(userStartup)), (std::vector<std::string>{"Plain.lnk", "run.bat"}));
    CHECK_EQ(fixture::ReadFileBytes(userStartup + "run.bat"), "@echo off\r\n");
    // Its Files key makes a configuration speak for them.
    fixture::CreateKey(HKEY_CURRENT_USER, Stored("Earlier", "UserStartup\\Files"));
    CHECK(catalog.set.LoadConfiguration("Earlier"));
    CHECK_EQ(fixture::FolderEntries(userStartup), std::vector<std::string>{"Plain.lnk"});
}

// ---- Loads that plan before they write -------------------------------------------------------------------------

namespace {

// Each change a load of the configuration would make, as "location: what name".
std::vector<std::string> Changes(const StartupLocationSet& set, const std::string& name) {
    const StoredConfiguration stored = ReadConfiguration(set, name);
    const LoadPlan plan = PlanLoad(set, stored);
    std::vector<std::string> changes;
    for (const LocationPlan& location : plan.locations) {
        const std::string where = std::string(LocationKeyName(location.locationIndex)) + ": ";
        auto place = [](const StartupItem& item) { return item.enabled ? "" : "disabled "; };
        for (const StartupItem& item : location.writes) changes.push_back(where + "write " + place(item) + item.name);
        for (const ShortcutFile& file : location.shortcutFiles) changes.push_back(where + "file " + file.name);
        for (const StartupItem& item : location.removals) changes.push_back(where + "remove " + place(item) + item.name);
        for (const ApprovalChange& change : location.approvals) changes.push_back(where + "switch " + change.valueName);
    }
    return changes;
}

}  // namespace

TEST_CASE(ALoadOfWhatIsAlreadyLiveWritesNothing) {
    Catalog catalog;
    // As an earlier version stored a shortcut: by its target only.
    fixture::SetString(HKEY_CURRENT_USER, Stored("Targets", "UserStartup\\Enabled"), "Plain", "C:\\windows\\notepad.exe");
    REQUIRE(catalog.set.LoadConfiguration("Targets"));
    CHECK_EQ(Changes(catalog.set, "Targets"), std::vector<std::string>{});

    FillEveryLocation("same");
    const DWORD seven = 7;
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "Num", REG_DWORD, &seven, sizeof(seven));
    const std::string notes = userStartup + "Notes.lnk";
    REQUIRE(fixture::MakeShortcut(notes, "C:\\windows\\notepad.exe", "--with arguments"));
    REQUIRE(fixture::WriteFileText(userStartup + "run.bat", "@echo off\r\n"));
    SetApproval(HKEY_CURRENT_USER, "Run", "Num", switchedOff);
    SetApproval(HKEY_LOCAL_MACHINE, "Run", "Machine same", switchedOn);
    REQUIRE(catalog.set.SaveConfiguration("Same"));
    CHECK_EQ(Changes(catalog.set, "Same"), std::vector<std::string>{});
    const std::vector<std::pair<HKEY, std::string>> keys = {
        {HKEY_CURRENT_USER, fixture::kHkcuRun}, {HKEY_LOCAL_MACHINE, fixture::kHklmRun},
        {HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run")}, {HKEY_CURRENT_USER, Approved("Run")},
        {HKEY_LOCAL_MACHINE, Approved("Run")}};
    std::vector<unsigned long long> before = {fixture::FileWriteTime(notes), fixture::FileWriteTime(userStartup + "Plain.lnk"),
                                              fixture::FileWriteTime(userStartup + "run.bat")};
    for (const auto& [root, path] : keys) before.push_back(fixture::KeyWriteTime(root, path));
    // Wine leaves a key's time alone when a value is set to what it holds,
    // so the times catch deletions and changed values, the plan the rest.
    Sleep(50);
    CHECK(catalog.set.LoadConfiguration("Same"));
    std::vector<unsigned long long> after = {fixture::FileWriteTime(notes), fixture::FileWriteTime(userStartup + "Plain.lnk"),
                                             fixture::FileWriteTime(userStartup + "run.bat")};
    for (const auto& [root, path] : keys) after.push_back(fixture::KeyWriteTime(root, path));
    CHECK(std::find(before.begin(), before.end(), 0ULL) == before.end());
    CHECK_EQ(after, before);
}

TEST_CASE(APlanWritesWhatDiffersRemovesWhatIsExtraAndTheLoadVerifies) {
    Catalog catalog;
    FillEveryLocation("saved");
    REQUIRE(fixture::MakeShortcut(userStartup + "Notes.lnk", "C:\\windows\\notepad.exe", "--saved"));
    SetApproval(HKEY_CURRENT_USER, "Run", "User run saved", switchedOff);
    REQUIRE(catalog.set.SaveConfiguration("Target"));
    const std::vector<std::string> saved = fixture::LiveState();
    const std::vector<std::string> savedRun = fixture::RawSnapshot(HKEY_CURRENT_USER, fixture::kHkcuRun);

    // Since: a command changed, a type changed, a shortcut with other
    // arguments, a switch flipped, an extra entry.
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine saved", "changed.exe");
    fixture::SetRaw(HKEY_CURRENT_USER, fixture::kHkcuRun, "User run saved", REG_EXPAND_SZ, "u-saved.exe", 12);
    REQUIRE(fixture::MakeShortcut(userStartup + "Notes.lnk", "C:\\windows\\notepad.exe", "--changed"));
    SetApproval(HKEY_CURRENT_USER, "Run", "User run saved", switchedOn);
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "Extra", "extra.exe");
    CHECK_EQ(Changes(catalog.set, "Target"),
             (std::vector<std::string>{"UserStartup: file Notes", "HKLM-Run: write Machine saved",
                                       "HKCU-Run: write User run saved", "HKCU-Run: remove disabled Extra",
                                       "HKCU-Run: switch User run saved"}));
    CHECK(catalog.set.LoadConfiguration("Target"));
    CHECK_EQ(fixture::LiveState(), saved);
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, fixture::kHkcuRun), savedRun);
    CHECK_EQ(fixture::ReadShortcut(userStartup + "Notes.lnk").arguments, "--saved");
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("Run"), "User run saved"), switchedOff);
}

// ---- Loads the user's rights do not allow ----------------------------------------------------------------------

TEST_CASE(ALoadIsAllOrNothingAndNeedsRightsOnlyWhereItChangesSomething) {
    Catalog catalog;
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "MachineOld", "machine-old.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "UserNew", "user-new.exe");
    REQUIRE(catalog.set.SaveConfiguration("Machine as it is"));
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "MachineNew", "machine-new.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "Parked", "parked.exe");
    REQUIRE(catalog.set.SaveConfiguration("X"));
    fixture::ClearLiveLocations();
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "MachineOld", "machine-old.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "UserOld", "user-old.exe");
    fixture::MakeShortcut(userStartup + "Link.lnk", "C:\\windows\\notepad.exe");
    const std::vector<std::string> before = fixture::LiveState();
    // Saved when it started on demand; Wine cannot refuse a change of a
    // service, so the test plays the refusal.
    fixture::TestService service("Rights", driver::VeltranePath(), SERVICE_DEMAND_START);
    fixture::SetRaw(HKEY_CURRENT_USER, Stored("X", "SystemServices\\Start"), service.name(), REG_DWORD,
                    "\3\0\0\0", 4);
    fixture::SetServiceStartType(service.name(), SERVICE_DISABLED);
    RefuseServiceChangesForTests(true);

    fixture::ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, fixture::kHklmRun);
    const LoadResult refused = catalog.set.TryLoadConfiguration("X");
    CHECK(!refused.carriedOut);
    CHECK_EQ(refused.deniedLocations, (std::vector<int>{2, 9}));
    CHECK_EQ(fixture::LiveState(), before);
    CHECK_EQ(fixture::ServiceStartType(service.name()), static_cast<DWORD>(SERVICE_DISABLED));
    CHECK(!catalog.set.ConfigurationExists(kBeforeLastLoad));
    RefuseServiceChangesForTests(false);

    const LoadResult loaded = catalog.set.TryLoadConfiguration("Machine as it is");
    CHECK(loaded.carriedOut && loaded.complete);
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::kHkcuRun), std::vector<std::string>{"UserNew=user-new.exe"});
    CHECK(fixture::ShortcutsIn(userStartup).empty());

    // A Startup folder is checked by making a file in it.
    ShortcutFolderStartupList missing(0, userStartup + "Not there\\", HKEY_CURRENT_USER, fixture::DisabledKey("UserStartup"));
    CHECK(!missing.MayChange(1));
    CHECK(missing.MayChange(0));
    CHECK(catalog.set.Slot(0)->MayChange(1));
    CHECK_EQ(fixture::FolderEntries(userStartup), std::vector<std::string>{});
}

// ---- Undo ------------------------------------------------------------------------------------------------------

TEST_CASE(EveryLoadKeepsTheStateItReplacesForAnUndo) {
    Catalog catalog;
    FillEveryLocation("saved");
    REQUIRE(catalog.set.SaveConfiguration("Saved"));
    const std::vector<std::string> saved = fixture::LiveState();
    Refill("current");
    SetApproval(HKEY_CURRENT_USER, "Run", "User run current", switchedOff);
    const std::vector<std::string> current = fixture::LiveState();
    REQUIRE(catalog.set.SaveConfiguration("Current"));

    CHECK(catalog.set.LoadConfiguration("Saved"));
    CHECK_EQ(fixture::LiveState(), saved);
    // Kept as a save of it would keep it, shortcut files and switches included.
    CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, Stored(kBeforeLastLoad)), fixture::Tree(HKEY_CURRENT_USER, Stored("Current")));
    CHECK(fixture::Tree(HKEY_CURRENT_USER, Stored("Current")).size() > 20);
    CHECK(catalog.set.LoadConfiguration(kBeforeLastLoad));
    CHECK_EQ(fixture::LiveState(), current);
    CHECK_EQ(ApprovalBytes(HKEY_CURRENT_USER, Approved("Run"), "User run current"), switchedOff);

    // A load whose backup cannot be kept is not carried out.
    const std::vector<std::string> backup = fixture::Tree(HKEY_CURRENT_USER, Stored(kBeforeLastLoad));
    const std::vector<std::string> unsaved = Refill("unsaved");
    fixture::ReadOnlyKey readOnly(HKEY_CURRENT_USER, kConfigurations);
    const LoadResult refused = catalog.set.TryLoadConfiguration("Saved");
    CHECK(!refused.carriedOut && refused.deniedLocations.empty());
    CHECK_EQ(fixture::LiveState(), unsaved);
    CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, Stored(kBeforeLastLoad)), backup);
}

// ---- Services --------------------------------------------------------------------------------------------------

TEST_CASE(ServicesStartAgainAsTheyWereSavedAndNothingElseOfThemChanges) {
    Catalog catalog;
    const std::string program = driver::VeltranePath();
    fixture::TestService automatic("Automatic", program, SERVICE_AUTO_START);
    fixture::TestService onDemand("OnDemand", program, SERVICE_DEMAND_START);
    auto removed = std::make_unique<fixture::TestService>("Removed", program, SERVICE_DISABLED);
    const DWORD plugPlay = fixture::ServiceStartType("PlugPlay");
    REQUIRE(fixture::ServiceState("PlugPlay") == SERVICE_RUNNING);
    REQUIRE(catalog.set.SaveConfiguration("Normal"));
    std::vector<std::string> starts;
    for (const std::string& line : fixture::RawSnapshot(HKEY_CURRENT_USER, Stored("Normal", "SystemServices\\Start"))) {
        if (line.rfind(fixture::kTestServicePrefix, 0) == 0) starts.push_back(line);
    }
    CHECK_EQ(starts, (std::vector<std::string>{"VtTestAutomatic 4:02000000", "VtTestOnDemand 4:03000000",
                                               "VtTestRemoved 4:04000000"}));
    // Wine cannot tell a delayed start: none is.
    CHECK(fixture::KeyExists(HKEY_CURRENT_USER, Stored("Normal", "SystemServices\\Delayed")));
    CHECK(fixture::RawSnapshot(HKEY_CURRENT_USER, Stored("Normal", "SystemServices\\Delayed")).empty());

    // Since: a clean boot by hand, a service removed and one installed; by
    // hand in the configuration, the installer (Windows' own) and a running
    // service of Wine's (an item here, as its file has no version resource).
    fixture::SetServiceStartType(automatic.name(), SERVICE_DISABLED);
    fixture::SetServiceStartType(onDemand.name(), SERVICE_AUTO_START);
    removed.reset();
    fixture::TestService installed("Installed", program, SERVICE_DISABLED);
    const DWORD installer = fixture::ServiceStartType("MSIServer");
    const std::string disabled("\4\0\0\0", 4);
    const std::string onDemandStart("\3\0\0\0", 4);
    fixture::SetRaw(HKEY_CURRENT_USER, Stored("Normal", "SystemServices\\Start"), "MSIServer", REG_DWORD,
                    disabled.data(), 4);
    fixture::SetRaw(HKEY_CURRENT_USER, Stored("Normal", "SystemServices\\Start"), "PlugPlay", REG_DWORD,
                    onDemandStart.data(), 4);
    CHECK(catalog.set.LoadConfiguration("Normal"));
    CHECK_EQ(fixture::ServiceStartType(automatic.name()), static_cast<DWORD>(SERVICE_AUTO_START));
    CHECK_EQ(fixture::ServiceStartType(onDemand.name()), static_cast<DWORD>(SERVICE_DEMAND_START));
    CHECK_EQ(fixture::ServiceStartType(installed.name()), static_cast<DWORD>(SERVICE_DISABLED));
    CHECK_EQ(fixture::ServiceStartType("MSIServer"), installer);
    CHECK_EQ(fixture::ServiceStartType("PlugPlay"), static_cast<DWORD>(SERVICE_DEMAND_START));
    CHECK_EQ(fixture::ServiceState("PlugPlay"), static_cast<DWORD>(SERVICE_RUNNING));

    // The undo gives the starts back.
    CHECK(catalog.set.LoadConfiguration(kBeforeLastLoad));
    CHECK_EQ(fixture::ServiceStartType(automatic.name()), static_cast<DWORD>(SERVICE_DISABLED));
    CHECK_EQ(fixture::ServiceStartType(onDemand.name()), static_cast<DWORD>(SERVICE_AUTO_START));
    CHECK_EQ(fixture::ServiceStartType("PlugPlay"), plugPlay);
}

// ---- Configurations no load may write ------------------------------------------------------------------------

TEST_CASE(AConfigurationWithANameOrValueNoLoadMayWriteIsRefusedWhole) {
    Catalog catalog;
    FillEveryLocation("saved");
    REQUIRE(fixture::WriteFileText(userStartup + "run.bat", "@echo off\r\n"));
    REQUIRE(catalog.set.SaveConfiguration("Saved"));
    REQUIRE(catalog.set.LoadConfiguration("Saved"));  // a backup to keep
    const std::string aside = fixture::UniqueTestPath("saved");
    fixture::CopyTree(HKEY_CURRENT_USER, Stored("Saved"), aside);
    Refill("current");
    SetApproval(HKEY_CURRENT_USER, "Run", "User run current", switchedOff);
    const std::string existing = userStartup + "..\\Existing.lnk";
    REQUIRE(fixture::MakeShortcut(existing, "C:\\windows\\regedit.exe"));
    const std::string existingBytes = fixture::ReadFileBytes(existing);
    const std::vector<std::string> live = fixture::LiveState();
    const std::vector<std::string> backup = fixture::Tree(HKEY_CURRENT_USER, Stored(kBeforeLastLoad));
    const std::vector<std::string> switches = fixture::Tree(HKEY_CURRENT_USER, fixture::kStartupApproved);
    const std::string notepad = "C:\\windows\\notepad.exe";
    // Names: over a file outside the folder, a device switched off, one the file system would cut; then damage.
    const std::tuple<std::string, std::string, DWORD, std::string> edits[] = {
        {"UserStartup\\Enabled", "..\\Existing", REG_SZ, notepad},
        {"CommonStartup\\Disabled", "NUL", REG_SZ, notepad},
        {"UserStartup\\Files", "trail.", REG_BINARY, "x"},
        {"UserStartup\\Enabled", "User saved", REG_DWORD, std::string("\x01\0\0\0", 4)},
        {"UserStartup\\Files", "run.bat", REG_SZ, std::string("hello text", 11)},
        {"HKCU-Run\\Approved", "User run saved", REG_BINARY, std::string("\x03\0\0", 3)},
    };
    driver::Monitor monitor;
    for (const auto& [key, name, type, data] : edits) {
        fixture::DeleteTree(HKEY_CURRENT_USER, Stored("Saved"));
        fixture::CopyTree(HKEY_CURRENT_USER, aside, Stored("Saved"));
        fixture::SetRaw(HKEY_CURRENT_USER, Stored("Saved", key), name, type, data.data(),
                        static_cast<DWORD>(data.size()));
        // A file of the folder is an Enabled value beside its bytes.
        if (key == "UserStartup\\Files") {
            fixture::SetString(HKEY_CURRENT_USER, Stored("Saved", "UserStartup\\Enabled"), name, userStartup + name);
        }
        const LoadResult refused = catalog.set.TryLoadConfiguration("Saved");
        CHECK(!refused.carriedOut && !refused.complete && refused.deniedLocations.empty());
        CHECK_EQ(fixture::LiveState(), live);
        CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, Stored(kBeforeLastLoad)), backup);
        CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, fixture::kStartupApproved), switches);
        CHECK(fixture::ReadFileBytes(existing) == existingBytes);
    }
    CHECK(monitor.Stop());
    CHECK_EQ(fixture::ReadFileBytes(monitor.logPath()), "");
}

// ---- Packaged apps -----------------------------------------------------------------------------------------------

TEST_CASE(PackagedAppsStartAgainAsTheyWereSavedAndNothingElseOfThemChanges) {
    fixture::PackageRepository repository;
    fixture::TestPackage chat("VtChat_1.0.0.0_x64__vtpub1",
                              fixture::ManifestDeclaring({{"uap5", "ChatStartup", "true", ""}, {"uap5", "Helper", "", ""}}));
    fixture::TestPackage music("VtMusic_1.0.0.0_x64__vtpub2", fixture::ManifestDeclaring({{"desktop", "MusicTray", "", ""},
                                                                                          {"desktop", "MusicSync", "true", ""}}));
    fixture::TestPackage phone("VtPhone_1.0.0.0_x64__vtpub3", fixture::ManifestDeclaring({}));
    fixture::SetTaskState("VtMusic_vtpub2", "MusicTray", kTaskEnabledByPolicy);
    Catalog catalog;
    const std::string longest(212, 'L');
    REQUIRE(catalog.set.SaveConfiguration("Lean"));
    REQUIRE(catalog.set.SaveConfiguration(longest));
    // Each task's state, or its manifest's default; no key for a family without tasks.
    CHECK_EQ(Keys(Stored("Lean", "PackagedApps")), (std::vector<std::string>{"VtChat_vtpub1", "VtMusic_vtpub2"}));
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, Stored("Lean", "PackagedApps\\VtChat_vtpub1")),
             (std::vector<std::string>{"ChatStartup 4:02000000", "Helper 4:00000000"}));
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, Stored("Lean", "PackagedApps\\VtMusic_vtpub2")),
             (std::vector<std::string>{"MusicSync 4:02000000", "MusicTray 4:04000000"}));

    // Since: switched by hand, set by a policy, an app installed; by hand in
    // the configuration, a task of an app that is gone.
    fixture::SetTaskState("VtChat_vtpub1", "ChatStartup", kTaskDisabledByUser);
    fixture::SetTaskState("VtChat_vtpub1", "Helper", kTaskEnabled);
    fixture::SetTaskState("VtMusic_vtpub2", "MusicTray", kTaskDisabledByPolicy);
    fixture::SetTaskState("VtMusic_vtpub2", "MusicSync", kTaskEnabled);
    fixture::TestPackage added("VtNew_1.0.0.0_x64__vtpub5", fixture::ManifestDeclaring({{"uap5", "NewTask", "", ""}}));
    fixture::SetTaskState("VtNew_vtpub5", "NewTask", kTaskDisabledByUser);
    const DWORD on = kTaskEnabled;
    fixture::SetRaw(HKEY_CURRENT_USER, Stored("Lean", "PackagedApps\\VtGone_vtpub9"), "Old", REG_DWORD, &on, sizeof on);
    const auto states = [] {
        std::vector<DWORD> found;
        for (const auto& [family, task] : std::vector<std::pair<std::string, std::string>>{
                 {"VtChat_vtpub1", "ChatStartup"}, {"VtChat_vtpub1", "Helper"}, {"VtMusic_vtpub2", "MusicTray"},
                 {"VtMusic_vtpub2", "MusicSync"}, {"VtNew_vtpub5", "NewTask"}}) {
            found.push_back(fixture::TaskState(family, task));
        }
        return found;
    };
    const std::vector<DWORD> changed = states();
    const unsigned long long same = fixture::KeyWriteTime(HKEY_CURRENT_USER, fixture::TaskKey("VtMusic_vtpub2", "MusicSync"));
    {
        fixture::ReadOnlyKey readOnly(HKEY_CURRENT_USER, fixture::TaskKey("VtChat_vtpub1", "Helper"));
        CHECK_EQ(catalog.set.TryLoadConfiguration("Lean").deniedLocations, std::vector<int>{10});
        CHECK_EQ(states(), changed);
    }
    CHECK(catalog.set.LoadConfiguration("Lean"));
    // Never a policy's state, nor over one; nothing for the app that is gone.
    CHECK_EQ(states(), (std::vector<DWORD>{2, 0, 3, 2, 1}));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, std::string(fixture::kPackageStates) + "\\VtGone_vtpub9"));
    CHECK_EQ(fixture::KeyWriteTime(HKEY_CURRENT_USER, fixture::TaskKey("VtMusic_vtpub2", "MusicSync")), same);

    CHECK(catalog.set.LoadConfiguration(kBeforeLastLoad));
    CHECK_EQ(states(), changed);
    // Below a name as long as a name can be, too.
    CHECK(catalog.set.LoadConfiguration(longest));
    CHECK_EQ(fixture::TaskState("VtChat_vtpub1", "ChatStartup"), kTaskEnabled);
    // A configuration saved before packaged apps were one leaves them alone.
    fixture::DeleteTree(HKEY_CURRENT_USER, Stored("Lean", "PackagedApps"));
    fixture::SetTaskState("VtChat_vtpub1", "ChatStartup", kTaskDisabledByUser);
    CHECK(catalog.set.LoadConfiguration("Lean"));
    CHECK_EQ(fixture::TaskState("VtChat_vtpub1", "ChatStartup"), kTaskDisabledByUser);
}
