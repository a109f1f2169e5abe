#include "store/configuration_store.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/registry.h"
#include "store/approvals.h"
#include "store/configuration_layout.h"
#include "store/load_plan.h"
#include "store/shortcut_bytes.h"
#include "store/store_journal.h"
#include "store/stored_files.h"

#include <memory>
#include <utility>
#include <vector>

const char kBeforeLastLoad[] = "(before last load)";

namespace {

constexpr UINT kMonitorLoadStarts = WM_USER + 314;  // 1338
constexpr UINT kMonitorLoadEnded = WM_USER + 315;   // 1339

LoadFillObserver loadFillObserver = nullptr;

// What a save writes for one location, gathered once: the staged copy and
// the configuration put in its place are written from the same data, and
// neither is read back.
struct LocationCopy {
    int locationIndex = 0;
    const StartupList* live = nullptr;
    StoredValues shortcutFiles;
    StoredValues approvals;
    StoredValues files;
};

LocationCopy GatherLocation(const StartupLocationSet& locations, int locationIndex, bool readAgain) {
    StartupList& live = *locations.Slot(locationIndex);
    if (readAgain) live.Reload();
    const ShortcutFolderStartupList* folder = locations.FolderList(locationIndex);
    return LocationCopy{locationIndex, &live, ReadShortcutFiles(folder), ReadApprovals(locationIndex, live),
                        ReadFileItems(folder)};
}

// Writes the location below `configurationKey`, whose keys for it do not
// exist yet: nothing needs removing, and the writes' results say whether
// everything arrived.
bool WriteLocationCopy(const LocationCopy& copy, const std::string& configurationKey) {
    const StoredPaths paths = StoredPaths::Below(configurationKey, copy.locationIndex);
    bool complete = true;
    // Its key tells a later load that this location was saved, empty or not.
    if (Location(copy.locationIndex).keyMarksPresence &&
        !CreateRegistryKey(HKEY_CURRENT_USER, paths.locationKey, kRegistryCreate)) {
        complete = false;
    }
    if (!OpenStoredLocation(paths)->WriteItems(copy.live->Items())) complete = false;
    if (!WriteStoredFiles(paths, *copy.live, copy.files, copy.shortcutFiles)) complete = false;
    if (!WriteStoredValues(paths.links, copy.shortcutFiles)) complete = false;
    if (!WriteStoredValues(paths.approved, copy.approvals)) complete = false;
    return complete;
}

bool WriteConfigurationCopy(const std::vector<LocationCopy>& copies, const std::string& configurationKey) {
    bool complete = true;
    for (const LocationCopy& copy : copies) {
        if (!WriteLocationCopy(copy, configurationKey)) complete = false;
    }
    return complete;
}

// Whether every present location went into the staging key whole, or a test
// stopped the save midway.
enum class Staging { Complete, Incomplete, Stopped };

Staging StageConfiguration(const StartupLocationSet& locations, bool readAgain, std::vector<LocationCopy>& copies) {
    // The key is made even when every location is empty: loading that
    // configuration empties them all, a clean start.
    if (!CreateStaging()) return Staging::Incomplete;
    bool complete = true;
    for (int index = 0; index < kLocationCount; ++index) {
        if (locations.Slot(index) == nullptr) continue;
        copies.push_back(GatherLocation(locations, index, readAgain));
        if (!WriteLocationCopy(copies.back(), kStagingKey)) complete = false;
        // An entry the list could not read would be missing from the copy.
        if (locations.Slot(index)->MissedEntries()) complete = false;
        if (!StoreStepReached(StoreStep::LocationStaged)) return Staging::Stopped;
    }
    return complete ? Staging::Complete : Staging::Incomplete;
}

}  // namespace

bool StartupLocationSet::ConfigurationExists(const std::string& name) const {
    if (!IsConfigurationName(name)) return false;
    return static_cast<bool>(OpenRegistryKey(HKEY_CURRENT_USER, ConfigurationKeyPath(name) + "\\", kRegistryRead));
}

void SetLoadFillObserver(LoadFillObserver observer) { loadFillObserver = observer; }

bool StartupLocationSet::SaveConfiguration(const std::string& name) { return SaveLists(name, true); }

bool StartupLocationSet::SaveLists(const std::string& name, bool readAgain) {
    if (!IsStorableName(name)) return false;
    const StoreLock lock;
    if (!lock || !FinishInterruptedStoreWork()) return false;
    std::vector<LocationCopy> copies;
    switch (StageConfiguration(*this, readAgain && (!listsCurrent || lock.Contended()), copies)) {
        case Staging::Complete:
            return ReplaceWithStaged(name, [&copies](const std::string& configurationKey) {
                return WriteConfigurationCopy(copies, configurationKey);
            });
        case Staging::Incomplete:
            // The old configuration stays as it was, and a new name stays unstored.
            DiscardStaging();
            return false;
        case Staging::Stopped:
            break;
    }
    return false;
}

bool StartupLocationSet::LoadConfiguration(const std::string& name) { return TryLoadConfiguration(name).complete; }

LoadResult StartupLocationSet::TryLoadConfiguration(const std::string& name) {
    LoadResult result;
    // No other run replaces the configuration while it is read, nor the
    // backup while this load keeps it.
    const StoreLock lock;
    if (!IsConfigurationName(name) || !lock) return result;
    const StoredConfiguration stored = ReadConfiguration(*this, name);
    const LoadPlan plan = PlanLoad(*this, stored, !listsCurrent || lock.Contended());
    // A configuration that holds an entry no load may write is refused
    // before anything changes, backup and rights check included.
    if (plan.Refused()) return result;
    // All or nothing: a load that would stop at a place the user may not
    // change leaves half a configuration behind.
    result.deniedLocations = DeniedLocations(plan, *this);
    if (!result.deniedLocations.empty()) return result;
    // The state the load replaces, kept for an undo. The configuration being
    // loaded was read above, so this may replace it (an undo of an undo).
    if (!SaveLists(kBeforeLastLoad, false)) return result;
    result.carriedOut = true;
    // From here the lists show the places as the plan found them.
    listsCurrent = false;
    HWND monitor = FindWindowA("Wardlow", "Wardlow");
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadStarts, 0, 0);
    result.complete = true;
    for (const LocationPlan& location : plan.locations) {
        // Every write of a location comes before its removals, so a load
        // that is ended midway has lost no entry.
        const bool written = WriteLocationPlan(location, *this);
        if (loadFillObserver != nullptr && !loadFillObserver(location.locationIndex)) return LoadResult{true, false, {}};
        if (!FinishLocationPlan(location, *this, written)) result.complete = false;
    }
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadEnded, 0, 0);
    return result;
}

bool StartupLocationSet::HoldsConfiguration(const StoredConfiguration& stored) const {
    const LoadPlan plan = PlanLoad(*this, stored);
    for (const LocationPlan& location : plan.locations) {
        if (!Settled(location, *this)) return false;
    }
    return true;
}

bool StartupLocationSet::DeleteConfiguration(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    const StoreLock lock;
    // Under the lock, and once an interrupted save of the name is complete,
    // the name's configuration is what it will stay until it is deleted.
    if (!lock || !FinishInterruptedStoreWork()) return false;
    if (!ConfigurationExists(name)) return true;
    return DeleteStoredConfiguration(name);
}
