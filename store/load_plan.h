#pragma once
// A load first works out, place by place, what it must change to make the
// live locations hold a configuration, and only then writes: an entry or a
// shortcut file that already is what the configuration holds is not written
// again, so a load touches only the places it changes.

#include "store/approvals.h"
#include "store/configuration_layout.h"

#include <map>
#include <string>
#include <vector>

class StartupList;
class StartupLocationSet;

// A stored shortcut file a load writes whole.
struct ShortcutFile {
    std::string name;
    std::string bytes;
};

// Why a load may not write a stored entry, and so refuses the whole
// configuration before it changes anything.
enum class Refusal {
    InvalidName,   // no file name of the Startup folder (IsFolderFileName)
    DamagedValue,  // a stored value of a kind no save writes (IsFolderEntryKind and beside it)
};

// What a load changes in one location.
struct LocationPlan {
    int locationIndex = 0;
    // What the configuration holds for the location (read before the plan
    // was made; applying the plan reads nothing more from the configuration).
    const StoredLocation* stored = nullptr;
    // Entries of the live place and the disabled place, shortcuts to a
    // target only, and stored file items, that the location lacks or holds
    // otherwise.
    std::vector<StartupItem> writes;
    std::vector<ShortcutFile> shortcutFiles;
    // Entries the configuration does not hold.
    std::vector<StartupItem> removals;
    std::vector<ApprovalChange> approvals;
    // The stored entries no load may write, by the key of the stored item.
    std::map<ItemKey, Refusal> refusals;

    // True when the location's live place or disabled place (`enabled` 0)
    // is written or has an entry removed.
    bool ChangesPlace(unsigned char enabled) const;
};

struct LoadPlan {
    // In slot order, one for each location of the configuration read.
    std::vector<LocationPlan> locations;

    // True when a location refuses an entry: then the load is refused whole.
    bool Refused() const;
};

// Reads every present location again (unless `readLists` is false: the
// caller knows the lists show their places as they are) and compares those of
// `stored` with what the configuration holds. The plan refers to `stored`,
// which must outlive it.
LoadPlan PlanLoad(const StartupLocationSet& locations, const StoredConfiguration& stored, bool readLists = true);

// The locations, in slot order, whose planned changes the user may not make
// (a place opened for writing, a Startup folder by a file made and deleted in
// it). A place the plan leaves alone needs no rights.
std::vector<int> DeniedLocations(const LoadPlan& plan, const StartupLocationSet& locations);

// True when the live location already is what applying the plan leaves, as a
// load checks it: every stored item present, no entry, stored shortcut file
// or switch left to change.
bool Settled(const LocationPlan& plan, const StartupLocationSet& locations);

// Applying a location's plan comes in two halves, so that a load ended
// between them has lost no entry: first every write, then every removal and
// switch. The second half is true when every write, switch and stored
// shortcut file succeeded, so that every stored item is in place. Neither
// reads the live list again: it shows the location as the plan found it.
bool WriteLocationPlan(const LocationPlan& plan, const StartupLocationSet& locations);
bool FinishLocationPlan(const LocationPlan& plan, const StartupLocationSet& locations, bool written);
