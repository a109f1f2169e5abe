#include "store/load_changes.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/program_path.h"
#include "platform/text.h"
#include "startup/packaged_task_startup_list.h"
#include "startup/service_startup_list.h"
#include "store/approvals.h"
#include "store/configuration_layout.h"
#include "store/load_plan.h"
#include "store/store_journal.h"

#include <map>
#include <set>
#include <utility>

namespace {

const char kProgramNotFound[] = "program not found";
const char kRunsOnce[] = "runs once";

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

std::string TypeName(DWORD type) {
    static const std::pair<DWORD, const char*> kNames[] = {
        {REG_NONE, "REG_NONE"},
        {REG_BINARY, "REG_BINARY"},
        {REG_DWORD, "REG_DWORD"},
        {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
        {REG_LINK, "REG_LINK"},
        {REG_MULTI_SZ, "REG_MULTI_SZ"},
        {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
        {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
        {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
        {REG_QWORD, "REG_QWORD"},
    };
    for (const auto& [known, name] : kNames) {
        if (known == type) return name;
    }
    return "type " + std::to_string(type);
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// One location as the rows need it: its entries now and after the load, and
// the entries the load writes.
struct LocationSides {
    int locationIndex = 0;
    std::set<ItemKey> rewritten;
    StoredValues switchesNow;
    StoredValues switchesAfter;
    // Names a shortcut and a file share, whose switch is the shortcut's.
    std::set<std::wstring> shared;
};

std::string Describe(const StartupItem& item, const StoredValues& switches, const std::set<std::wstring>& shared) {
    std::string text = IsText(item.type) ? item.command : TypeName(item.type);
    if (!IsText(item.type) && !item.data.empty()) text += " " + Hex(item.data);
    if (item.enabled == 0) text += " (disabled)";
    const bool ownSwitch = !item.IsFile() || shared.count(NameKey(item.name)) == 0;
    const auto found = ownSwitch ? switches.find(item.name) : switches.end();
    if (item.enabled != 0 && found != switches.end() && IsSwitchedOff(found->second)) text += " (switched off)";
    return text;
}

// A Startup folder's file starts the path it holds (a shortcut's target); a
// registry entry starts its command, which only text values hold.
bool ProgramMissing(int locationIndex, const StartupItem& item) {
    // A file other than a shortcut is itself what starts, and the load puts it there.
    if (item.IsFile()) return false;
    if (IsFolderLocation(locationIndex) && item.enabled != 0) {
        // A shortcut to something that is no file (a shell folder) has no target path.
        return !item.command.empty() && !PathExists(item.command);
    }
    if (!IsText(item.type)) return true;
    return !CommandProgramExists(item.type == REG_EXPAND_SZ ? ExpandEnvironment(item.command) : item.command);
}

std::string Note(int locationIndex, EntryChange change, const StartupItem& after) {
    std::string note = ProgramMissing(locationIndex, after) ? kProgramNotFound : "";
    if (change == EntryChange::Add && after.enabled != 0 && Location(locationIndex).runsOnce) {
        note += (note.empty() ? "" : "; ") + std::string(kRunsOnce);
    }
    return note;
}

ChangeRow MakeRow(const LocationSides& sides, const StartupItem* now, const StartupItem* after) {
    ChangeRow row;
    row.locationIndex = sides.locationIndex;
    row.entry = (after != nullptr ? after : now)->name;
    if (now == nullptr) {
        row.change = EntryChange::Add;
    } else if (after == nullptr) {
        row.change = EntryChange::Remove;
    } else {
        const bool moved = now->enabled != after->enabled;
        row.change = moved || sides.rewritten.count(KeyOf(*after)) != 0 ? EntryChange::Change : EntryChange::Keep;
    }
    if (now != nullptr) row.now = Describe(*now, sides.switchesNow, sides.shared);
    if (after != nullptr) {
        row.after = Describe(*after, sides.switchesAfter, sides.shared);
        row.note = Note(row.locationIndex, row.change, *after);
    }
    return row;
}

// The entries a load writes: values, shortcut files and switches.
std::set<ItemKey> Rewritten(const LocationPlan& plan) {
    std::set<ItemKey> rewritten;
    for (const StartupItem& item : plan.writes) rewritten.insert(KeyOf(item));
    for (const ShortcutFile& file : plan.shortcutFiles) rewritten.insert({true, ItemKind::Entry, NameKey(file.name)});
    for (const ApprovalChange& change : plan.approvals) {
        rewritten.insert({true, change.itemKind, NameKey(change.itemName)});
    }
    return rewritten;
}

// The entries of one name in one location, by place (0 disabled, 1 live).
struct NameEntries {
    const StartupItem* now[2] = {};
    const StartupItem* after[2] = {};
};

// The entry of the only place that has one; null when both or neither do.
const StartupItem* OnlyEntry(const StartupItem* const (&places)[2]) {
    if ((places[0] == nullptr) == (places[1] == nullptr)) return nullptr;
    return places[0] != nullptr ? places[0] : places[1];
}

// `plan` is null for a location the configuration says nothing of, which a
// load leaves as it is.
void AddLocationRows(const StartupList& live, const LocationPlan* plan, std::vector<ChangeRow>& rows) {
    LocationSides sides;
    sides.locationIndex = live.LocationIndex();
    sides.switchesNow = ReadApprovals(sides.locationIndex, live);
    sides.switchesAfter = plan != nullptr ? plan->stored->approvals : sides.switchesNow;
    if (plan != nullptr) sides.rewritten = Rewritten(*plan);
    const StartupList& after = plan != nullptr ? *plan->stored->items : live;
    sides.shared = NamesSharedWithShortcuts(live.Items());
    for (const std::wstring& name : NamesSharedWithShortcuts(after.Items())) sides.shared.insert(name);
    // Keyed as storage compares names, which orders them without regard to
    // case; a shortcut comes before a file of the same name.
    std::map<std::pair<std::wstring, ItemKind>, NameEntries> names;
    const bool filesStay = plan != nullptr && !plan->stored->holdsFiles;
    for (const StartupItem& item : live.Items()) {
        NameEntries& entries = names[{NameKey(item.name), item.kind}];
        entries.now[item.enabled != 0] = &item;
        // A configuration saved without the folder's other files leaves them as they are.
        if (filesStay && item.IsFile()) entries.after[1] = &item;
    }
    for (const StartupItem& item : after.Items()) names[{NameKey(item.name), item.kind}].after[item.enabled != 0] = &item;
    for (const auto& [name, entries] : names) {
        const StartupItem* now = OnlyEntry(entries.now);
        const StartupItem* then = OnlyEntry(entries.after);
        if (now != nullptr && then != nullptr && now->enabled != then->enabled) {
            rows.push_back(MakeRow(sides, now, then));  // moved to the other place
            continue;
        }
        for (const int place : {1, 0}) {
            if (entries.now[place] != nullptr || entries.after[place] != nullptr) {
                rows.push_back(MakeRow(sides, entries.now[place], entries.after[place]));
            }
        }
    }
}

// ---- Switches of installed things -------------------------------------------------------------------------

const char kNotInstalled[] = "not installed";
const char kSetByPolicy[] = "set by policy";

std::string TaskStateText(const StartupItem& item) {
    DWORD state = 0;
    if (!ReadTaskState(item, state)) return std::string();
    switch (state) {
        case kTaskDisabled: return "off";
        case kTaskDisabledByUser: return "off (switched off)";
        case kTaskEnabled: return "on";
        case kTaskDisabledByPolicy: return "off by policy";
        case kTaskEnabledByPolicy: return "on by policy";
        default: break;
    }
    return "state " + std::to_string(state);
}

std::string SwitchText(LocationKind kind, const StartupItem& item) {
    if (kind == LocationKind::PackagedApps) return TaskStateText(item);
    if (kind == LocationKind::Services) {
        ServiceStart start;
        if (!ReadServiceStart(item, start)) return std::string();
        switch (start.startType) {
            case SERVICE_AUTO_START: return start.delayed ? "automatic (delayed)" : "automatic";
            case SERVICE_DEMAND_START: return "on demand";
            default: return "disabled";
        }
    }
    return item.command;
}

// What the switch is called: the installed thing's own name and, in
// parentheses, the switch's name (a service's key name) or the family of a
// packaged app. A stored service that is not installed goes by its key name.
std::string SwitchEntry(LocationKind kind, const StartupItem& item, bool installed) {
    if (kind == LocationKind::PackagedApps) return TaskDisplayName(item) + " (" + TaskFamily(item) + ")";
    return installed ? item.command + " (" + item.name + ")" : item.name;
}

// Why a load leaves a switch as it is although the configuration may hold it
// otherwise: a policy sets the task now, or set it when it was saved.
std::string SwitchNote(LocationKind kind, const StartupItem& live, const StartupItem* stored) {
    DWORD state = 0;
    const auto policy = [&state](const StartupItem& item) { return ReadTaskState(item, state) && IsPolicyState(state); };
    if (kind == LocationKind::PackagedApps && (policy(live) || (stored != nullptr && policy(*stored)))) {
        return kSetByPolicy;
    }
    return std::string();
}

// One row per switch the location has or the configuration holds, by entry
// without regard to case (then by name: two switches may share an entry). A
// stored switch of something installed that is no item of the list (a
// hand-edited configuration) gets none: it is never set.
void AddSwitchRows(const StartupList& live, const LocationPlan* plan, std::vector<ChangeRow>& rows) {
    const int index = live.LocationIndex();
    const LocationKind kind = Location(index).kind;
    std::map<std::wstring, const StartupItem*> writes;
    std::map<std::wstring, const StartupItem*> held;
    if (plan != nullptr) {
        for (const StartupItem& item : plan->writes) writes[NameKey(item.name)] = &item;
        for (const StartupItem& item : plan->stored->items->Items()) held[NameKey(item.name)] = &item;
    }
    std::map<std::pair<std::wstring, std::wstring>, ChangeRow> sorted;
    for (const StartupItem& item : live.Items()) {
        const std::wstring name = NameKey(item.name);
        const auto stored = held.find(name);
        const std::string text = SwitchText(kind, item);
        ChangeRow row{index, SwitchEntry(kind, item, true), EntryChange::Keep, text, text,
                      SwitchNote(kind, item, stored != held.end() ? stored->second : nullptr)};
        auto write = writes.find(name);
        if (write != writes.end()) {
            row.change = EntryChange::Change;
            row.after = SwitchText(kind, *write->second);
        }
        if (stored != held.end()) held.erase(stored);
        sorted.emplace(std::make_pair(NameKey(row.entry), name), std::move(row));
    }
    for (const auto& [name, item] : held) {
        if (live.Installed(item->name)) continue;
        ChangeRow row{index, SwitchEntry(kind, *item, false), EntryChange::Keep, "", "", kNotInstalled};
        sorted.emplace(std::make_pair(NameKey(row.entry), name), std::move(row));
    }
    for (auto& [entry, row] : sorted) rows.push_back(std::move(row));
}

int& CountOf(LoadChanges& changes, EntryChange change) {
    switch (change) {
        case EntryChange::Add: return changes.added;
        case EntryChange::Remove: return changes.removed;
        case EntryChange::Change: return changes.changed;
        case EntryChange::Keep: break;
    }
    return changes.kept;
}

}  // namespace

const char* ChangeWord(EntryChange change) {
    switch (change) {
        case EntryChange::Add: return "add";
        case EntryChange::Remove: return "remove";
        case EntryChange::Change: return "change";
        case EntryChange::Keep: break;
    }
    return "keep";
}

LoadChanges WorkOutLoadChanges(const StartupLocationSet& locations, const std::string& name) {
    LoadChanges changes;
    if (!IsConfigurationName(name)) return changes;
    // Read as a load reads, under the store's lock: no save replaces the
    // configuration halfway through.
    const StoreLock lock;
    const StoredConfiguration stored = ReadConfiguration(locations, name);
    const LoadPlan plan = PlanLoad(locations, stored);
    for (int index = 0; index < kLocationCount; ++index) {
        const StartupList* live = locations.Slot(index);
        if (live == nullptr) continue;
        const LocationPlan* planned = nullptr;
        for (const LocationPlan& location : plan.locations) {
            if (location.locationIndex == index) planned = &location;
        }
        if (live->HoldsSwitches()) {
            AddSwitchRows(*live, planned, changes.rows);
        } else {
            AddLocationRows(*live, planned, changes.rows);
        }
    }
    for (const ChangeRow& row : changes.rows) ++CountOf(changes, row.change);
    changes.deniedLocations = DeniedLocations(plan, locations);
    return changes;
}
