#pragma once

#include "startup/switch_startup_list.h"

#include <windows.h>

#include <string>

// How a service starts: automatically (SERVICE_AUTO_START, possibly delayed
// until Windows has started), on demand (SERVICE_DEMAND_START) or not at all
// (SERVICE_DISABLED).
struct ServiceStart {
    DWORD startType = SERVICE_DEMAND_START;
    bool delayed = false;
};

// The item of a service: name = its key name, command = its display name,
// its value = its start.
StartupItem ServiceItem(const std::string& keyName, const std::string& displayName, ServiceStart start);

// The start an item of a service holds; false when it holds no start a load
// may give a service (a configuration edited by hand).
bool ReadServiceStart(const StartupItem& item, ServiceStart& start);

// The start types of the installed services that are not Windows' own: a
// list of switches, one item per service of its own process or a shared one
// (not a driver, not a per-user service) whose file carries no version
// resource of Microsoft's, and that starts automatically, on demand or not at
// all. A write changes how the service starts, from its next start on; no
// service is ever installed, removed, started or stopped.
class ServiceStartupList : public SwitchStartupList {
public:
    // Reads the services unless `readNow` is false: the list is then empty
    // until its first Reload.
    explicit ServiceStartupList(int locationIndex, bool readNow = true);
    ~ServiceStartupList() override;

    bool Reload() override;
    // Sets the start of each service the list holds.
    bool WriteItems(const std::vector<StartupItem>& changed) override;

    bool IsSwitchValue(const StartupItem& stored) const override;
    bool CanSet(const StartupItem& live, const StartupItem& stored) const override;
    // Opens each service to be changed as a change opens it.
    bool MaySet(const std::vector<StartupItem>& switches) const override;
    bool Installed(const std::string& name) const override;

private:
    bool SetStart(SC_HANDLE manager, const StartupItem& item) const;
};

// For tests: Wine lets every program change every service, and cannot refuse
// one through a service's security; with this set, the rights check finds
// every change of a service refused.
void RefuseServiceChangesForTests(bool refuse);
