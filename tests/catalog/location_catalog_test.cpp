#include "catalog/startup_location_set.h"
#include "harness/check.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"
#include "harness/dialog_driver.h"
#include "startup/registry_startup_list.h"
#include "startup/service_startup_list.h"
#include "startup/shortcut_folder_startup_list.h"

#include <shlobj.h>

// The test prefix is 64-bit Windows of the NT family.
TEST_CASE(TheCatalogHoldsTheLocationsOfAnNtSystem) {
    fixture::OleSession ole;
    fixture::ClearLiveLocations();
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine", "m.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRun32, "Machine 32", "m32.exe");
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce32, "Once 32", "o32.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("HKCU-Run"), "Parked", "p.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRunOnce, "User once", "u.exe");
    fixture::MakeShortcut(fixture::StartupFolder(CSIDL_COMMON_STARTUP) + "Shared.lnk", "C:\\windows\\notepad.exe");
    StartupLocationSet set;
    CHECK(set.BuildCatalog());
    for (int index : {0, 1}) {
        REQUIRE(set.Slot(index) != nullptr);
        CHECK(dynamic_cast<ShortcutFolderStartupList*>(set.Slot(index)) != nullptr);
        CHECK_EQ(set.Slot(index)->LocationIndex(), index);
    }
    for (int index : {2, 3, 5, 6, 7, 8}) {
        REQUIRE(set.Slot(index) != nullptr);
        CHECK(dynamic_cast<RegistryStartupList*>(set.Slot(index)) != nullptr);
        CHECK_EQ(set.Slot(index)->LocationIndex(), index);
    }
    CHECK(set.Slot(4) == nullptr);
    // The services of the NT family, which Wine has too.
    REQUIRE(set.Slot(9) != nullptr);
    CHECK(dynamic_cast<ServiceStartupList*>(set.Slot(9)) != nullptr);
    CHECK(!set.Slot(9)->Items().empty());
    // Wine keeps no repository of packages: no packaged apps.
    CHECK(set.Slot(10) == nullptr);
    // Each list has read its places, from the right keys and folders.
    REQUIRE(set.Slot(1)->Items().size() == 1);
    CHECK_EQ(set.Slot(1)->Items()[0].name, "Shared");
    REQUIRE(set.Slot(2)->Items().size() == 1);
    CHECK_EQ(set.Slot(2)->Items()[0].name, "Machine");
    REQUIRE(set.Slot(3)->Items().size() == 1);
    CHECK_EQ(set.Slot(3)->Items()[0].name, "Parked");
    CHECK_EQ(set.Slot(3)->Items()[0].enabled, static_cast<unsigned char>(0));
    CHECK(set.Slot(0)->Items().empty());
    CHECK(set.Slot(5)->Items().empty());
    // Each build sees each registry view under the same location.
    REQUIRE(set.Slot(6)->Items().size() == 1);
    CHECK_EQ(set.Slot(6)->Items()[0].name, "Machine 32");
    REQUIRE(set.Slot(7)->Items().size() == 1);
    CHECK_EQ(set.Slot(7)->Items()[0].name, "Once 32");
    REQUIRE(set.Slot(8)->Items().size() == 1);
    CHECK_EQ(set.Slot(8)->Items()[0].name, "User once");
    set.ClearSlots();
    for (int index = 0; index < kLocationCount; ++index) CHECK(set.Slot(index) == nullptr);
}

TEST_CASE(RegistryLocationsExistWhenTheirKeysDoNot) {
    fixture::OleSession ole;
    fixture::ClearLiveLocations();
    fixture::DeleteTree(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce);
    StartupLocationSet set;
    set.BuildCatalog();
    REQUIRE(set.Slot(5) != nullptr);
    CHECK(set.Slot(5)->Items().empty());
    CHECK(!fixture::KeyExists(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce));
    set.ClearSlots();
    fixture::CreateKey(HKEY_LOCAL_MACHINE, fixture::kHklmRunOnce);
}

TEST_CASE(OnTheWindows95FamilyRunServicesIsSavedAndLoaded) {
    // Wine reports platform 1 to a program whose AppDefaults say win98.
    const std::string appDefaults = "Software\\Wine\\AppDefaults\\veltrane.exe";
    fixture::SetString(HKEY_CURRENT_USER, appDefaults, "Version", "win98");
    fixture::ClearLiveLocations();
    fixture::ClearConfigurations();
    fixture::DeleteTree(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices);
    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices, "Service", "svc.exe");
    fixture::SetString(HKEY_CURRENT_USER, fixture::DisabledKey("Services"), "Parked service", "ps.exe");
    driver::Outcome saved = driver::RunCommand("save Old system");
    CHECK(!saved.dialogOpened);
    CHECK_EQ(saved.exitCode, 0u);
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Old system\\Services\\Enabled"),
             std::vector<std::string>{"Service=svc.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Old system\\Services\\Disabled"),
             std::vector<std::string>{"Parked service=ps.exe"});
    // The Windows 95 family has no services to start before logon.
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Old system\\SystemServices"));

    fixture::SetString(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices, "Newer", "n.exe");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, fixture::DisabledKey("Services").c_str(), "Parked service");
    driver::Outcome loaded = driver::RunCommand("load Old system");
    CHECK(!loaded.dialogOpened);
    CHECK_EQ(loaded.exitCode, 0u);
    CHECK_EQ(fixture::Snapshot(HKEY_LOCAL_MACHINE, fixture::kHklmRunServices), std::vector<std::string>{"Service=svc.exe"});
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, fixture::DisabledKey("Services")),
             std::vector<std::string>{"Parked service=ps.exe"});
    fixture::DeleteTree(HKEY_CURRENT_USER, appDefaults);
}
