#pragma once
// What loading a configuration would change, entry by entry, for the user to
// see before the load runs. It is worked out exactly as a load works out its
// plan before it writes, and changes nothing: only the check of the rights to
// a Startup folder makes a file in it and deletes it again, as the load's own
// check does.

#include <string>
#include <vector>

class StartupLocationSet;

enum class EntryChange { Add, Remove, Change, Keep };

// "add", "remove", "change" or "keep".
const char* ChangeWord(EntryChange change);

// One entry that a location holds now or the configuration holds. An entry
// is a name in one place (live or disabled); a name the load moves from one
// place to the other is one entry that changes.
struct ChangeRow {
    int locationIndex = 0;
    std::string entry;  // the item's name
    EntryChange change = EntryChange::Keep;
    // The entry as it is and as the load leaves it: a shortcut's target and
    // arguments, a file's path and size, a value's command (with its type
    // where the two sides' types differ); empty where there is none.
    std::string now;
    std::string after;
    // What else differs between a changed entry's two sides ("working folder",
    // "content", ...; ", " between), then "invalid name" or "damaged value"
    // (an entry that makes the load refused), "program not found" and "runs
    // once"; "; " between them. For a switch, "damaged value", "not
    // installed" or "set by policy".
    std::string note;
};

struct LoadChanges {
    // Location by location in slot order, within one by name without regard
    // to case, a live entry before a disabled one of the same name.
    std::vector<ChangeRow> rows;
    int added = 0;
    int removed = 0;
    int changed = 0;
    int kept = 0;
    // The configuration holds entries no load may write: its load is refused
    // whole, before anything else is looked at.
    bool refused = false;
    // The locations, in slot order, the load would be refused for want of
    // rights to change; none when it is refused for its entries.
    std::vector<int> deniedLocations;
};

// Reads the configuration `name` and every present location, and compares them.
LoadChanges WorkOutLoadChanges(const StartupLocationSet& locations, const std::string& name);

