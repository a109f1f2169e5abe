#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/service_fixtures.h"
#include "startup/service_startup_list.h"

#include <string>
#include <vector>

namespace {

const std::string kWindowsFile = "C:\\windows\\system32\\msiexec.exe";  // Microsoft's version resource, in Wine too

// "name=start display name" for every item of the list that is a test service.
std::vector<std::string> TestItems(const StartupList& list) {
    std::vector<std::string> items;
    for (const StartupItem& item : list.Items()) {
        ServiceStart start;
        const bool read = ReadServiceStart(item, start);
        if (item.name.rfind(fixture::kTestServicePrefix, 0) != 0) continue;
        items.push_back(item.name + "=" + (read ? std::to_string(start.startType) : "?") + " " + item.command);
    }
    return items;
}

bool Lists(const StartupList& list, const std::string& name) {
    for (const StartupItem& item : list.Items()) {
        if (item.name == name) return true;
    }
    return false;
}

}  // namespace

TEST_CASE(TheItemsAreTheServicesThatAreNotWindowsOwnAndOnlyTheyAreSet) {
    // veltrane.exe carries a version resource of another company.
    const std::string other = driver::VeltranePath();
    const std::string host = "%SystemRoot%\\system32\\svchost.exe -k netsvcs";
    fixture::TestService own("Own", "\"" + other + "\" -service", SERVICE_AUTO_START);
    fixture::TestService shared("Shared", other, SERVICE_DISABLED,
                                SERVICE_WIN32_SHARE_PROCESS | SERVICE_INTERACTIVE_PROCESS);
    fixture::TestService missing("Missing", "C:\\nowhere\\gone.exe -x", SERVICE_DEMAND_START);
    fixture::TestService hosted("Hosted", host, SERVICE_DEMAND_START, SERVICE_WIN32_SHARE_PROCESS, other);
    // Below the Windows folder, as the service control manager reads a path without a drive.
    fixture::TestService windows("Windows", "system32\\msiexec.exe /V", SERVICE_DEMAND_START);
    // Judged by its library, not by svchost.exe, which has no version resource under Wine.
    fixture::TestService hostedWindows("HostedWindows", host, SERVICE_DEMAND_START, SERVICE_WIN32_SHARE_PROCESS,
                                       kWindowsFile);
    fixture::TestService driver("Driver", "C:\\windows\\system32\\drivers\\vt.sys", SERVICE_DEMAND_START,
                                SERVICE_KERNEL_DRIVER);
    ServiceStartupList list(9);
    CHECK_EQ(TestItems(list), (std::vector<std::string>{"VtTestHosted=3 VtTestHosted display",
                                                        "VtTestMissing=3 VtTestMissing display",
                                                        "VtTestOwn=2 VtTestOwn display",
                                                        "VtTestShared=4 VtTestShared display"}));
    // Of Wine's own services only the installer's file carries Microsoft's name.
    CHECK(!Lists(list, "MSIServer"));
    CHECK(Lists(list, "PlugPlay"));
    CHECK(list.HoldsSwitches());

    // A write sets the start of a service the list holds, and of no other.
    CHECK(list.WriteItem(ServiceItem(own.name(), "", {SERVICE_DISABLED, false})));
    CHECK_EQ(fixture::ServiceStartType(own.name()), static_cast<DWORD>(SERVICE_DISABLED));
    for (const fixture::TestService* refused : {&windows, &hostedWindows, &driver}) {
        CHECK(!list.WriteItem(ServiceItem(refused->name(), "", {SERVICE_DISABLED, false})));
        CHECK_EQ(fixture::ServiceStartType(refused->name()), static_cast<DWORD>(SERVICE_DEMAND_START));
    }
    // Nor a start a service is not given this way (boot, system).
    StartupItem boot = ServiceItem(shared.name(), "", {SERVICE_AUTO_START, false});
    boot.data[0] = SERVICE_BOOT_START;
    CHECK(!list.WriteItem(boot));
    CHECK_EQ(fixture::ServiceStartType(shared.name()), static_cast<DWORD>(SERVICE_DISABLED));
    CHECK(!list.DeleteItem(list.Items().front()));
    CHECK(list.Installed(driver.name()));
    CHECK(!list.Installed("VtTestNeverMade"));
}
