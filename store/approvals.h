#pragma once
// Task Manager's on/off switch of each startup entry (Windows 8 and later).
// Switching an entry off does not move it: Windows keeps one REG_BINARY value
// per entry in a StartupApproved key, and starts the entry only when the
// value's first byte is even or there is no value. A configuration carries
// these values of its enabled items in its location's "Approved" key, so that
// a load starts what was started when it was saved.

#include "startup/startup_list.h"
#include "store/configuration_layout.h"

#include <set>
#include <string>
#include <vector>

// The approval value of every enabled item of `live` that has one, by item
// name, for the location's "Approved" key; none for a location without
// approvals (no approval place, or no approval key on this system).
StoredValues ReadApprovals(int locationIndex, const StartupList& live);

// True when a configuration carries the switch of the item: an enabled item,
// but for a file that shares its name with a shortcut (`shared`, as
// NamesSharedWithShortcuts gives them), whose stored switch is the
// shortcut's (the file's is left as it is).
bool SwitchCarried(const StartupItem& item, const std::set<std::wstring>& shared);

// True when a switch keeps its entry from starting.
bool IsSwitchedOff(const std::string& approval);

// One switch a load sets: a value written, or deleted.
struct ApprovalChange {
    std::string itemName;  // the stored item the switch belongs to
    ItemKind itemKind = ItemKind::Entry;
    std::string valueName;
    bool remove = false;
    std::string bytes;  // the stored value, when it is written
};

// What a load changes among the switches of the location: for every enabled
// item of `stored`, its value in `storedApprovals` where the live value
// differs, or a deletion where none was stored and a live value exists.
// Switches of other entries stay.
std::vector<ApprovalChange> PlanApprovals(int locationIndex, const StartupList& stored,
                                          const StoredValues& storedApprovals);

// True when the user may make the changes. Nothing is changed.
bool MayChangeApprovals(int locationIndex, const std::vector<ApprovalChange>& changes);

// Makes the changes; true when every one succeeded.
bool ApplyApprovals(int locationIndex, const std::vector<ApprovalChange>& changes);
