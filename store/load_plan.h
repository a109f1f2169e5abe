#pragma once
// A load first works out, place by place, what it must change to make the
// live locations hold a configuration, and only then writes: an entry or a
// shortcut file that already is what the configuration holds is not written
// again, so a load touches only the places it changes.

#include "store/approvals.h"

#include <memory>
#include <string>
#include <vector>

class StartupList;
class StartupLocationSet;

// A stored shortcut file a load writes whole.
struct ShortcutFile {
    std::string name;
    std::string bytes;
};

// What a load changes in one location.
struct LocationPlan {
    int locationIndex = 0;
    // What the configuration holds for the location, read in full when the
    // plan was made: applying the plan reads nothing more from it.
    std::unique_ptr<StartupList> stored;
    // Entries of the live place and the disabled place, and shortcuts to a
    // target only, that the location lacks or holds otherwise.
    std::vector<StartupItem> writes;
    std::vector<ShortcutFile> shortcutFiles;
    // Entries the configuration does not hold.
    std::vector<StartupItem> removals;
    std::vector<ApprovalChange> approvals;

    // True when the location's live place or disabled place (`enabled` 0)
    // is written or has an entry removed.
    bool ChangesPlace(unsigned char enabled) const;
    bool Empty() const;
};

struct LoadPlan {
    // In slot order: every present location the configuration speaks for.
    std::vector<LocationPlan> locations;

    bool Empty() const;
};

// Reads every present live location again and compares it with the stored
// configuration `name`.
LoadPlan PlanLoad(const StartupLocationSet& locations, const std::string& name);

// Applying a location's plan comes in two halves, so that a load ended
// between them has lost no entry: first every write, then every removal and
// switch, after which the live list is read again once. The second half is
// true when every stored item is in the live list and every write, switch
// and stored shortcut file succeeded.
bool WriteLocationPlan(const LocationPlan& plan, StartupList& live);
bool FinishLocationPlan(const LocationPlan& plan, StartupList& live, bool written);
