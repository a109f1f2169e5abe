#include "store/load_plan.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/shell_link_file.h"
#include "startup/shortcut_folder_startup_list.h"
#include "store/shortcut_bytes.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace {

// The entries a place holds that are exactly the stored ones: same name, as
// written, and the same value. Any other stored entry is written.
void PlanRegistryWrites(const StartupList& stored, const StartupList& live, LocationPlan& plan, bool skipShortcuts) {
    std::map<std::pair<unsigned char, std::string>, const StartupItem*> present;
    for (const StartupItem& item : live.Items()) present[{item.enabled != 0, item.name}] = &item;
    for (const StartupItem& item : stored.Items()) {
        if (skipShortcuts && item.enabled != 0) continue;
        auto found = present.find({item.enabled != 0, item.name});
        if (found == present.end() || !found->second->SameValue(item)) plan.writes.push_back(item);
    }
}

// A shortcut file is written when the file in the folder is not, byte for
// byte, the one the load leaves there.
void PlanShortcutWrites(const StoredLocation& stored, const ShortcutFolderStartupList& folder, LocationPlan& plan) {
    std::string wanted;
    std::string present;
    std::string presentTarget;
    ShellLinkFile reader;
    for (const StartupItem& item : stored.items->Items()) {
        if (item.enabled == 0 || item.IsFile()) continue;
        auto file = stored.shortcutFiles.find(item.name);
        const std::string* storedFile = file == stored.shortcutFiles.end() ? nullptr : &file->second;
        const bool inFolder = folder.ShortcutFileBytes(item.name, present, &presentTarget);
        // The folder holds the stored file, and the shell read it leading to
        // the item's command: it need not read the stored copy to know that.
        if (inFolder && storedFile != nullptr && present == *storedFile && presentTarget == item.command) continue;
        bool fromStore = false;
        const bool known = ShortcutFileFor(reader, storedFile, item, wanted, fromStore);
        if (known && inFolder && present == wanted) continue;
        if (fromStore) {
            plan.shortcutFiles.push_back({item.name, wanted});
        } else {
            plan.writes.push_back(item);
        }
    }
}

// Plans, as writes of their items, the stored files the folder does not hold
// byte for byte. What the folder holds that is no item is left alone, though
// the configuration holds a file of that name. Without a Files key, the
// folder's file items are kept out of the removals.
void PlanStoredFiles(const StoredLocation& stored, const ShortcutFolderStartupList& folder, LocationPlan& plan) {
    if (!stored.holdsFiles) {
        plan.removals.erase(std::remove_if(plan.removals.begin(), plan.removals.end(),
                                           [](const StartupItem& item) { return item.IsFile(); }),
                            plan.removals.end());
        return;
    }
    std::string present;
    for (const StartupItem& item : stored.items->Items()) {
        if (!item.IsFile() || folder.LeavesOut(item.name)) continue;
        auto bytes = stored.files.find(item.name);
        // A file larger than the stored one is not read at all.
        if (bytes != stored.files.end() && ReadWholeFile(folder.FilePath(item.name), bytes->second.size(), present) &&
            present == bytes->second) {
            continue;
        }
        plan.writes.push_back(item);
    }
}

// True when the plan writes no file item.
bool WritesNoFile(const LocationPlan& plan) {
    return std::none_of(plan.writes.begin(), plan.writes.end(), [](const StartupItem& item) { return item.IsFile(); });
}

bool WriteStoredFile(const LocationPlan& plan, const StartupItem& item, ShortcutFolderStartupList* folder) {
    auto bytes = plan.stored->files.find(item.name);
    return folder != nullptr && bytes != plan.stored->files.end() && folder->WriteWholeFile(item.name, bytes->second);
}

// Makes the plan's writes: entries through the live list, file items whole
// from the stored bytes. True when every one succeeded.
bool WritePlannedItems(const LocationPlan& plan, StartupList& live, ShortcutFolderStartupList* folder) {
    if (WritesNoFile(plan)) return live.WriteItems(plan.writes);
    std::vector<StartupItem> entries;
    bool written = true;
    for (const StartupItem& item : plan.writes) {
        if (!item.IsFile()) {
            entries.push_back(item);
        } else if (!WriteStoredFile(plan, item, folder)) {
            written = false;
        }
    }
    return live.WriteItems(entries) && written;
}

// The switches of installed things whose stored value differs and may be
// set: each as the live item, with the stored value. What is not installed,
// and what the configuration does not hold, stays as it is.
void PlanSwitches(const StartupList& stored, const StartupList& live, LocationPlan& plan) {
    std::map<std::wstring, const StartupItem*> installed;
    for (const StartupItem& item : live.Items()) installed[NameKey(item.name)] = &item;
    for (const StartupItem& item : stored.Items()) {
        auto found = installed.find(NameKey(item.name));
        if (found == installed.end() || found->second->SameValue(item) || !live.CanSet(*found->second, item)) continue;
        StartupItem change = *found->second;
        change.type = item.type;
        change.data = item.data;
        plan.writes.push_back(std::move(change));
    }
}

// The stored entries of the location that no load may write: names that are
// no file of a Startup folder, and damaged values, among them the switches a
// load would set.
void PlanRefusals(const StoredLocation& stored, LocationPlan& plan) {
    const bool folder = IsFolderLocation(stored.locationIndex);
    const std::set<std::wstring> shared = NamesSharedWithShortcuts(stored.items->Items());
    for (const StartupItem& item : stored.items->Items()) {
        if (folder && !IsFolderFileName(FolderFileName(item))) {
            plan.refusals[KeyOf(item)] = Refusal::InvalidName;
        } else if ((folder && !IsFolderEntryKind(item.type)) ||
                   (item.IsFile() && stored.damagedFiles.count(item.name) != 0) ||
                   (SwitchCarried(item, shared) && stored.damagedApprovals.count(item.name) != 0)) {
            plan.refusals[KeyOf(item)] = Refusal::DamagedValue;
        }
    }
}

LocationPlan PlanLocation(const StoredLocation& stored, const StartupLocationSet& locations) {
    LocationPlan plan;
    plan.locationIndex = stored.locationIndex;
    plan.stored = &stored;
    const StartupList& live = *locations.Slot(stored.locationIndex);
    if (live.HoldsSwitches()) {
        PlanSwitches(*stored.items, live, plan);
        // A damaged switch of something installed that is no item of the
        // list is never set, and shown nowhere: it keeps no load from running.
        for (const StartupItem& item : stored.items->Items()) {
            if (!live.IsSwitchValue(item) && (live.Holds(item.name, 1) || !live.Installed(item.name))) {
                plan.refusals[KeyOf(item)] = Refusal::DamagedValue;
            }
        }
        return plan;
    }
    const ShortcutFolderStartupList* folder = locations.FolderList(stored.locationIndex);
    PlanRegistryWrites(*stored.items, live, plan, folder != nullptr);
    if (folder != nullptr) PlanShortcutWrites(stored, *folder, plan);
    // Names compare as storage compares them: an entry the configuration
    // holds under another spelling of its name is overwritten, not removed.
    plan.removals = live.ItemsNotIn(*stored.items);
    if (folder != nullptr) PlanStoredFiles(stored, *folder, plan);
    plan.approvals = PlanApprovals(stored.locationIndex, *stored.items, stored.approvals);
    PlanRefusals(stored, plan);
    return plan;
}

bool Touches(const std::vector<StartupItem>& items, unsigned char enabled) {
    for (const StartupItem& item : items) {
        if ((item.enabled != 0) == (enabled != 0)) return true;
    }
    return false;
}

}  // namespace

bool LocationPlan::ChangesPlace(unsigned char enabled) const {
    return Touches(writes, enabled) || Touches(removals, enabled) || (enabled != 0 && !shortcutFiles.empty());
}

bool LoadPlan::Refused() const {
    return std::any_of(locations.begin(), locations.end(),
                       [](const LocationPlan& location) { return !location.refusals.empty(); });
}

LoadPlan PlanLoad(const StartupLocationSet& locations, const StoredConfiguration& stored, bool readLists) {
    // Every present location, also one the configuration says nothing of:
    // entries other programs added since the lists were read are replaced
    // too, and the load's backup keeps what the locations hold now.
    for (int index = 0; index < kLocationCount && readLists; ++index) {
        if (StartupList* live = locations.Slot(index)) live->Reload();
    }
    LoadPlan plan;
    for (const StoredLocation& location : stored.locations) {
        plan.locations.push_back(PlanLocation(location, locations));
    }
    return plan;
}

namespace {

bool MayMake(const LocationPlan& plan, const StartupList& live) {
    if (live.HoldsSwitches()) return live.MaySet(plan.writes);
    return (!plan.ChangesPlace(1) || live.MayChange(1)) && (!plan.ChangesPlace(0) || live.MayChange(0)) &&
           MayChangeApprovals(plan.locationIndex, plan.approvals);
}

}  // namespace

std::vector<int> DeniedLocations(const LoadPlan& plan, const StartupLocationSet& locations) {
    std::vector<int> denied;
    for (const LocationPlan& location : plan.locations) {
        if (!MayMake(location, *locations.Slot(location.locationIndex))) denied.push_back(location.locationIndex);
    }
    return denied;
}

bool Settled(const LocationPlan& plan, const StartupLocationSet& locations) {
    // Switches the plan leaves are those it may not set, or of things not installed.
    if (locations.Slot(plan.locationIndex)->HoldsSwitches()) return plan.writes.empty();
    return locations.Slot(plan.locationIndex)->HoldsAll(*plan.stored->items, IsFolderLocation(plan.locationIndex)) && plan.shortcutFiles.empty() &&
           plan.removals.empty() && plan.approvals.empty() && WritesNoFile(plan);
}

bool WriteLocationPlan(const LocationPlan& plan, const StartupLocationSet& locations) {
    ShortcutFolderStartupList* folder = locations.FolderList(plan.locationIndex);
    bool written = WritePlannedItems(plan, *locations.Slot(plan.locationIndex), folder);
    if (plan.shortcutFiles.empty()) return written;
    for (const ShortcutFile& file : plan.shortcutFiles) {
        if (folder == nullptr || !folder->WriteShortcutFile(file.name, file.bytes)) written = false;
    }
    return written;
}

bool FinishLocationPlan(const LocationPlan& plan, const StartupLocationSet& locations, bool written) {
    // A removal storage refuses leaves its entry; the rest still go.
    locations.Slot(plan.locationIndex)->DeleteItems(plan.removals);
    const bool switched = ApplyApprovals(plan.locationIndex, plan.approvals);
    // Every stored item the plan did not write was already in place when the
    // lists were read, so the writes' results say whether all arrived; the
    // list is not read again for it.
    return written && switched;
}
