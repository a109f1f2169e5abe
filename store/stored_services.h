#pragma once
// How a configuration keeps the start types of services: below the location
// key SystemServices, "Start" holds one REG_DWORD per service, named by its
// key name, with its start type (2 automatic, 3 on demand, 4 disabled), and
// "Delayed" one REG_DWORD 1 per automatic service whose start is delayed.
// A save makes both keys, empty or not.

#include "startup/switch_startup_list.h"
#include "store/configuration_layout.h"

#include <string>

// The stored copy of the services' start types, as items of the same form as
// those of the live list (ServiceItem). A value that is no start type a
// service may be given reads as an item with no start (REG_NONE), which no
// load sets.
class StoredServiceList : public SwitchStartupList {
public:
    explicit StoredServiceList(const StoredPaths& paths);
    ~StoredServiceList() override;

    bool Reload() override;
    bool Store() override;
    bool DeleteItem(const StartupItem& item) override;
    // Makes both keys, and writes each item's start.
    bool WriteItems(const std::vector<StartupItem>& changed) override;
    bool MayChange(unsigned char enabled) const override;

private:
    std::string startPath;
    std::string delayedPath;
};
