#pragma once

#include "startup/startup_list.h"

// A list of switches (see StartupList::HoldsSwitches), live or stored: one
// place only, which has no change notification. Add and Remove write or
// delete through WriteItems and DeleteItem and then read the list again;
// Store writes every item again.
class SwitchStartupList : public StartupList {
public:
    using StartupList::StartupList;

    bool Store() override;
    bool Add(const StartupItem& item) override;
    bool Remove(const StartupItem& item) override;
    bool WriteItem(const StartupItem& item) override;
    bool WriteItems(const std::vector<StartupItem>& changed) override = 0;
    // A live switch is never removed: always false, unless a stored list
    // says otherwise.
    bool DeleteItem(const StartupItem& item) override;
    // The switches are in the live place only.
    bool MayChange(unsigned char enabled) const override;
    HANDLE StartWatch() override;
    HANDLE RearmWatch(HANDLE handle) override;
    void StopWatch(HANDLE handle) override;

    bool HoldsSwitches() const override { return true; }
};
