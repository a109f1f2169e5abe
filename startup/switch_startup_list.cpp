#include "startup/switch_startup_list.h"

bool SwitchStartupList::Store() { return WriteItems(std::vector<StartupItem>(items)); }

bool SwitchStartupList::Add(const StartupItem& item) {
    WriteItem(item);
    return Reload();
}

bool SwitchStartupList::Remove(const StartupItem& item) {
    DeleteItem(item);
    return Reload();
}

bool SwitchStartupList::WriteItem(const StartupItem& item) { return WriteItems({item}); }

bool SwitchStartupList::DeleteItem(const StartupItem&) { return false; }

bool SwitchStartupList::MayChange(unsigned char enabled) const { return enabled != 0 && MaySet(items); }

HANDLE SwitchStartupList::StartWatch() { return INVALID_HANDLE_VALUE; }

HANDLE SwitchStartupList::RearmWatch(HANDLE handle) { return handle; }

void SwitchStartupList::StopWatch(HANDLE) {}
