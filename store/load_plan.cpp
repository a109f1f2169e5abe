#include "store/load_plan.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "startup/shortcut_folder_startup_list.h"
#include "store/shortcut_bytes.h"
#include "store/stored_location.h"

#include <map>
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
void PlanShortcutWrites(const StoredPaths& paths, const ShortcutFolderStartupList& folder, LocationPlan& plan) {
    const RegKey links = OpenRegistryKey(HKEY_CURRENT_USER, paths.links, kRegistryRead);
    std::string wanted;
    std::string present;
    for (const StartupItem& item : plan.stored->Items()) {
        if (item.enabled == 0) continue;
        bool fromStore = false;
        const bool known = ShortcutFileFor(links.get(), item, wanted, fromStore);
        if (known && ReadWholeFile(folder.ShortcutPath(item.name), kLargestShortcut, present) && present == wanted) {
            continue;
        }
        if (fromStore) {
            plan.shortcutFiles.push_back({item.name, wanted});
        } else {
            plan.writes.push_back(item);
        }
    }
}

LocationPlan PlanLocation(int index, const std::string& name, StartupList& live) {
    LocationPlan plan;
    plan.locationIndex = index;
    const StoredPaths paths(name, index);
    plan.stored = OpenStoredLocation(paths);
    const auto* folder = dynamic_cast<const ShortcutFolderStartupList*>(&live);
    PlanRegistryWrites(*plan.stored, live, plan, folder != nullptr);
    if (folder != nullptr) PlanShortcutWrites(paths, *folder, plan);
    // Names compare as storage compares them: an entry the configuration
    // holds under another spelling of its name is overwritten, not removed.
    plan.removals = live.ItemsNotIn(*plan.stored);
    plan.approvals = PlanApprovals(index, *plan.stored, paths.approved);
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

bool LocationPlan::Empty() const {
    return writes.empty() && shortcutFiles.empty() && removals.empty() && approvals.empty();
}

bool LoadPlan::Empty() const {
    for (const LocationPlan& location : locations) {
        if (!location.Empty()) return false;
    }
    return true;
}

LoadPlan PlanLoad(const StartupLocationSet& locations, const std::string& name) {
    LoadPlan plan;
    for (int index = 0; index < kLocationCount; ++index) {
        StartupList* live = locations.Slot(index);
        if (live == nullptr) continue;
        // Configurations saved where these locations did not exist say
        // nothing about them, which must not read as "empty".
        if (IsWow64Location(index) &&
            !OpenRegistryKey(HKEY_CURRENT_USER, StoredPaths(name, index).locationKey, kRegistryRead)) {
            continue;
        }
        // Entries other programs added since the list was read are replaced too.
        live->Reload();
        plan.locations.push_back(PlanLocation(index, name, *live));
    }
    return plan;
}

bool WriteLocationPlan(const LocationPlan& plan, StartupList& live) {
    bool written = true;
    for (const StartupItem& item : plan.writes) {
        if (!live.WriteItem(item)) written = false;
    }
    if (plan.shortcutFiles.empty()) return written;
    auto* folder = dynamic_cast<ShortcutFolderStartupList*>(&live);
    for (const ShortcutFile& file : plan.shortcutFiles) {
        if (folder == nullptr || !folder->WriteShortcutFile(file.name, file.bytes)) written = false;
    }
    return written;
}

bool FinishLocationPlan(const LocationPlan& plan, StartupList& live, bool written) {
    // A removal storage refuses leaves its entry; the rest still go.
    for (const StartupItem& item : plan.removals) live.DeleteItem(item);
    const bool switched = ApplyApprovals(plan.locationIndex, plan.approvals);
    live.Reload();
    return live.HoldsAll(*plan.stored, IsFolderLocation(plan.locationIndex)) && written && switched;
}
