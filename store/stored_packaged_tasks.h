#pragma once
// How a configuration keeps the states of packaged apps' startup tasks:
// below the location key PackagedApps, one key per package family name, and
// in it one REG_DWORD per TaskId with the task's state (Windows' own
// numbers). A family without tasks has no key; a save makes PackagedApps,
// empty or not. The family keys are made and opened relative to PackagedApps:
// with a long configuration name the whole path is too long for the 8-bit
// calls.

#include "startup/switch_startup_list.h"
#include "store/configuration_layout.h"

#include <string>

// The stored copy of the tasks' states, as items of the same form as those
// of the live list (TaskItem). A value that is no REG_DWORD reads as an item
// with no state (REG_NONE), which no load sets.
class StoredPackagedTaskList : public SwitchStartupList {
public:
    explicit StoredPackagedTaskList(const StoredPaths& paths);
    ~StoredPackagedTaskList() override;

    bool Reload() override;
    bool Store() override;
    bool DeleteItem(const StartupItem& item) override;
    // Makes the location key, and writes each item's state.
    bool WriteItems(const std::vector<StartupItem>& changed) override;
    bool MayChange(unsigned char enabled) const override;

private:
    std::string locationPath;
};
