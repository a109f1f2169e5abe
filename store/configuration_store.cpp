#include "store/configuration_store.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/registry.h"
#include "store/approvals.h"
#include "store/configuration_layout.h"
#include "store/load_plan.h"
#include "store/shortcut_bytes.h"
#include "store/store_journal.h"

#include <memory>
#include <utility>

const char kBeforeLastLoad[] = "(before last load)";

namespace {

constexpr UINT kMonitorLoadStarts = WM_USER + 314;  // 1338
constexpr UINT kMonitorLoadEnded = WM_USER + 315;   // 1339

LoadFillObserver loadFillObserver = nullptr;

// Copies a live location into its empty stored copy; true when everything
// arrived.
bool SaveLocation(const StartupList& live, StartupList& stored) {
    stored.RemoveAll();
    stored.AddAll(live);
    return stored.HoldsAll(live, false);
}

// Whether every present location went into the staging key whole, or a test
// stopped the save midway.
enum class Staging { Complete, Incomplete, Stopped };

Staging StageConfiguration(const StartupLocationSet& locations, bool readAgain) {
    // The key is made even when every location is empty: loading that
    // configuration empties them all, a clean start.
    if (!CreateStaging()) return Staging::Incomplete;
    bool complete = true;
    for (int index = 0; index < kLocationCount; ++index) {
        StartupList* live = locations.Slot(index);
        if (live == nullptr) continue;
        const StoredPaths paths = StoredPaths::Below(kStagingKey, index);
        // Its key tells a later load that this location was saved, empty or not.
        if (IsWow64Location(index) && !CreateRegistryKey(HKEY_CURRENT_USER, paths.locationKey, kRegistryCreate)) {
            complete = false;
        }
        std::unique_ptr<StartupList> stored = OpenStoredLocation(paths);
        if (readAgain) live->Reload();
        if (!SaveLocation(*live, *stored)) complete = false;
        if (!SaveShortcutBytes(*live, paths.links)) complete = false;
        if (!SaveApprovals(index, *live, paths.approved)) complete = false;
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
    switch (StageConfiguration(*this, readAgain)) {
        case Staging::Complete:
            return ReplaceWithStaged(name);
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
    const LoadPlan plan = PlanLoad(*this, stored);
    // All or nothing: a load that would stop at a place the user may not
    // change leaves half a configuration behind.
    result.deniedLocations = DeniedLocations(plan, *this);
    if (!result.deniedLocations.empty()) return result;
    // The state the load replaces, kept for an undo. The configuration being
    // loaded was read above, so this may replace it (an undo of an undo).
    if (!SaveLists(kBeforeLastLoad, false)) return result;
    result.carriedOut = true;
    HWND monitor = FindWindowA("Wardlow", "Wardlow");
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadStarts, 0, 0);
    result.complete = true;
    for (const LocationPlan& location : plan.locations) {
        StartupList& live = *Slot(location.locationIndex);
        // Every write of a location comes before its removals, so a load
        // that is ended midway has lost no entry.
        const bool written = WriteLocationPlan(location, live);
        if (loadFillObserver != nullptr && !loadFillObserver(location.locationIndex)) return LoadResult{true, false, {}};
        if (!FinishLocationPlan(location, live, written)) result.complete = false;
    }
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadEnded, 0, 0);
    return result;
}

bool StartupLocationSet::HoldsConfiguration(const StoredConfiguration& stored) const {
    const LoadPlan plan = PlanLoad(*this, stored);
    for (const LocationPlan& location : plan.locations) {
        if (!Settled(location, *Slot(location.locationIndex))) return false;
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
