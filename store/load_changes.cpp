#include "store/load_changes.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/program_path.h"
#include "platform/text.h"
#include "startup/packaged_task_startup_list.h"
#include "startup/service_startup_list.h"
#include "startup/shell_link_file.h"
#include "startup/shortcut_folder_startup_list.h"
#include "store/approvals.h"
#include "store/configuration_layout.h"
#include "store/load_plan.h"
#include "store/shortcut_bytes.h"
#include "store/store_journal.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

const char kProgramNotFound[] = "program not found";
const char kRunsOnce[] = "runs once";
const char kInvalidName[] = "invalid name";
const char kDamagedValue[] = "damaged value";

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

std::string TypeName(DWORD type) {
    static const std::pair<DWORD, const char*> kNames[] = {
        {REG_NONE, "REG_NONE"},
        {REG_SZ, "REG_SZ"},
        {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
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

// "1,204 bytes": the thousands set apart by commas whatever the user's
// locale, as every other text of the view is English.
std::string ByteCount(ULONGLONG size) {
    std::string digits = std::to_string(size);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits + (size == 1 ? " byte" : " bytes");
}

// One location as the rows need it: its entries now and after the load, and
// the entries the load writes.
struct LocationSides {
    int locationIndex = 0;
    std::set<ItemKey> rewritten;
    // The entries whose value or file the load writes (not only a switch).
    std::set<ItemKey> written;
    StoredValues switchesNow;
    StoredValues switchesAfter;
    // Names a shortcut and a file share, whose switch is the shortcut's.
    std::set<std::wstring> shared;
    // The stored entries the load refuses.
    std::map<ItemKey, Refusal> refusals;
    // Null for a location the load leaves as it is.
    const LocationPlan* plan = nullptr;
    // A Startup folder's list, and the reader of its shortcut files; null
    // for a registry location.
    const ShortcutFolderStartupList* folder = nullptr;
    std::unique_ptr<ShellLinkFile> reader;
};

// What a row shows of an enabled item of a Startup folder beside its path.
struct Content {
    bool read = false;
    ShortcutProperties properties;  // what the shell reads from a shortcut file
    ULONGLONG size = 0;             // another file's size
};

void ReadShortcut(ShellLinkFile& reader, const std::string& bytes, Content& content) {
    content.read = reader.LoadFromBytes(bytes) && reader.ReadProperties(content.properties);
}

// A live file is only measured, not read; a shortcut file's bytes are the
// ones the list keeps.
Content NowContent(const LocationSides& sides, const StartupItem& item) {
    Content content;
    if (sides.folder == nullptr || item.enabled == 0) return content;
    if (item.IsFile()) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        content.read =
            GetFileAttributesExA(sides.folder->FilePath(item.name).c_str(), GetFileExInfoStandard, &data) != 0;
        content.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return content;
    }
    std::string bytes;
    if (sides.folder->ShortcutFileBytes(item.name, bytes)) ReadShortcut(*sides.reader, bytes, content);
    return content;
}

// What the folder holds for a stored item once the load is done: what the
// load writes there, and otherwise what is there now (`now`).
Content AfterContent(const LocationSides& sides, const StartupItem& item, const Content& now) {
    if (sides.folder == nullptr || item.enabled == 0) return Content();
    if (sides.written.count(KeyOf(item)) == 0) return now;
    Content content;
    if (item.IsFile()) {
        const auto stored = sides.plan->stored->files.find(item.name);
        content.read = stored != sides.plan->stored->files.end();
        if (content.read) content.size = stored->second.size();
        return content;
    }
    const std::vector<ShortcutFile>& files = sides.plan->shortcutFiles;
    const auto stored =
        std::find_if(files.begin(), files.end(), [&](const ShortcutFile& file) { return file.name == item.name; });
    std::string bytes;
    bool fromStore = false;
    if (stored != files.end()) {
        ReadShortcut(*sides.reader, stored->bytes, content);
    } else if (ShortcutFileFor(*sides.reader, nullptr, item, bytes, fromStore)) {
        // Written through the list: the plain shortcut to the command.
        ReadShortcut(*sides.reader, bytes, content);
    }
    return content;
}

// One side of a row: the entry, what the folder holds for it, and the
// location's switches on that side.
struct Side {
    const StartupItem* item = nullptr;
    Content content;
    const StoredValues* switches = nullptr;
};

// The switch an enabled item has of its own: a file that shares its name
// with a shortcut has the shortcut's.
const std::string* SwitchOf(const StartupItem& item, const StoredValues& switches,
                            const std::set<std::wstring>& shared) {
    if (item.enabled == 0 || (item.IsFile() && shared.count(NameKey(item.name)) != 0)) return nullptr;
    const auto found = switches.find(item.name);
    return found != switches.end() ? &found->second : nullptr;
}

// `withType`: the value's type follows, where the other side has another.
std::string Describe(const LocationSides& sides, const Side& side, bool withType) {
    const StartupItem& item = *side.item;
    std::string text = IsText(item.type) ? item.command : TypeName(item.type);
    if (!IsText(item.type) && !item.data.empty()) text += " " + Hex(item.data);
    if (side.content.read && item.IsFile()) text += " (" + ByteCount(side.content.size) + ")";
    const std::string& arguments = side.content.properties.arguments;
    if (side.content.read && !item.IsFile() && !arguments.empty()) text += " " + arguments;
    if (withType) text += " (" + TypeName(item.type) + ")";
    if (item.enabled == 0) text += " (disabled)";
    const std::string* found = SwitchOf(item, *side.switches, sides.shared);
    if (found != nullptr && IsSwitchedOff(*found)) text += " (switched off)";
    return text;
}

// What else two shortcuts differ in than their target and arguments.
std::vector<std::string> ShortcutDifferences(const ShortcutProperties& now, const ShortcutProperties& after) {
    std::vector<std::string> names;
    if (now.workingFolder != after.workingFolder) names.push_back("working folder");
    if (now.iconPath != after.iconPath || now.iconIndex != after.iconIndex) names.push_back("icon");
    if (now.description != after.description) names.push_back("description");
    if (now.hotKey != after.hotKey) names.push_back("hot key");
    if (now.showCommand != after.showCommand) names.push_back("window");
    if (now.runAsAdministrator != after.runAsAdministrator) names.push_back("run as administrator");
    return names;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

// What the note of a changed entry names that its two texts do not show
// (`sameText`: they read the same), so that no change goes unexplained.
std::string Differences(const LocationSides& sides, const Side& now, const Side& after, bool sameText) {
    const StartupItem& was = *now.item;
    const StartupItem& will = *after.item;
    std::vector<std::string> names;
    const bool written = sides.written.count(KeyOf(will)) != 0;
    const bool inFolder = sides.folder != nullptr && was.enabled != 0 && will.enabled != 0;
    if (written && inFolder && !will.IsFile()) {
        if (now.content.read && after.content.read) {
            names = ShortcutDifferences(now.content.properties, after.content.properties);
        }
        if (names.empty() && sameText) names.push_back("stored shortcut file");
    } else if (written && sameText) {
        if (will.IsFile()) {
            names.push_back("content");
        } else if (was.name != will.name) {
            names.push_back("letter case of the name");
        } else if (was.data != will.data) {
            names.push_back("bytes after the text");  // the text is the data up to its first zero
        }
    }
    const std::string* switchNow = SwitchOf(was, *now.switches, sides.shared);
    const std::string* switchAfter = SwitchOf(will, *after.switches, sides.shared);
    const bool switchChanges = (switchNow == nullptr) != (switchAfter == nullptr) ||
                               (switchNow != nullptr && *switchNow != *switchAfter);
    if (sameText && switchChanges) names.push_back("Task Manager switch");
    return Joined(names, ", ");
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

std::string Note(const LocationSides& sides, EntryChange change, const StartupItem& after) {
    const int locationIndex = sides.locationIndex;
    const auto refusal = sides.refusals.find(KeyOf(after));
    const char* refused = refusal == sides.refusals.end()            ? ""
                          : refusal->second == Refusal::InvalidName ? kInvalidName
                                                                    : kDamagedValue;
    const bool runsOnce = change == EntryChange::Add && after.enabled != 0 && Location(locationIndex).runsOnce;
    return Joined({refused, ProgramMissing(locationIndex, after) ? kProgramNotFound : "", runsOnce ? kRunsOnce : ""},
                  "; ");
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
    const Side was{now, now != nullptr ? NowContent(sides, *now) : Content(), &sides.switchesNow};
    const Side will{after, after != nullptr ? AfterContent(sides, *after, was.content) : Content(),
                    &sides.switchesAfter};
    const bool withType = now != nullptr && after != nullptr && IsText(now->type) && IsText(after->type) &&
                          now->type != after->type;
    if (now != nullptr) row.now = Describe(sides, was, withType);
    if (after != nullptr) {
        row.after = Describe(sides, will, withType);
        const std::string differences =
            row.change == EntryChange::Change ? Differences(sides, was, will, row.now == row.after) : "";
        row.note = Joined({differences, Note(sides, row.change, *after)}, "; ");
    }
    return row;
}

// The entries whose value or file a load writes.
std::set<ItemKey> Written(const LocationPlan& plan) {
    std::set<ItemKey> written;
    for (const StartupItem& item : plan.writes) written.insert(KeyOf(item));
    for (const ShortcutFile& file : plan.shortcutFiles) written.insert({true, ItemKind::Entry, NameKey(file.name)});
    return written;
}

// The entries a load writes: values, shortcut files and switches.
std::set<ItemKey> Rewritten(const LocationPlan& plan, const std::set<ItemKey>& written) {
    std::set<ItemKey> rewritten = written;
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
// load leaves as it is; `folder` is `live` when that is a Startup folder's list.
void AddLocationRows(const StartupList& live, const ShortcutFolderStartupList* folder, const LocationPlan* plan,
                     std::vector<ChangeRow>& rows) {
    LocationSides sides;
    sides.locationIndex = live.LocationIndex();
    sides.switchesNow = ReadApprovals(sides.locationIndex, live);
    sides.switchesAfter = plan != nullptr ? plan->stored->approvals : sides.switchesNow;
    sides.plan = plan;
    if (plan != nullptr) {
        sides.written = Written(*plan);
        sides.rewritten = Rewritten(*plan, sides.written);
        sides.refusals = plan->refusals;
    }
    sides.folder = folder;
    if (folder != nullptr) sides.reader = std::make_unique<ShellLinkFile>();
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
    std::set<std::wstring> damaged;
    if (plan != nullptr) {
        for (const StartupItem& item : plan->writes) writes[NameKey(item.name)] = &item;
        for (const StartupItem& item : plan->stored->items->Items()) held[NameKey(item.name)] = &item;
        for (const auto& [key, refusal] : plan->refusals) damaged.insert(std::get<2>(key));
    }
    // A damaged value keeps the load from running: that comes first.
    const auto note = [&damaged](const std::wstring& name, const std::string& rest) {
        return Joined({damaged.count(name) != 0 ? kDamagedValue : "", rest}, "; ");
    };
    std::map<std::pair<std::wstring, std::wstring>, ChangeRow> sorted;
    for (const StartupItem& item : live.Items()) {
        const std::wstring name = NameKey(item.name);
        const auto stored = held.find(name);
        const std::string text = SwitchText(kind, item);
        ChangeRow row{index, SwitchEntry(kind, item, true), EntryChange::Keep, text, text,
                      note(name, SwitchNote(kind, item, stored != held.end() ? stored->second : nullptr))};
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
        ChangeRow row{index, SwitchEntry(kind, *item, false), EntryChange::Keep, "", "", note(name, kNotInstalled)};
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
            AddLocationRows(*live, locations.FolderList(index), planned, changes.rows);
        }
    }
    for (const ChangeRow& row : changes.rows) ++CountOf(changes, row.change);
    changes.refused = plan.Refused();
    if (!changes.refused) changes.deniedLocations = DeniedLocations(plan, locations);
    return changes;
}
