#include "app/load_flow.h"

#include "app/elevation.h"
#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"

const char kConfigurationNotFound[] = "The specified configuration could not be found.";
const char kBackslashInName[] = "A configuration name cannot contain a backslash.";

namespace {

const char kCaption[] = "Veltrane";
const char kBackupFirst[] =
    "It is strongly reccomended that you save a backup copy before loading a new configuration. Do you wish to "
    "continue?";
const char kRestored[] = "Your configuration has been restored successfully.";
const char kRestoreFailed[] = "There was an error restoring your configuration.";
// Put around the names of the locations a load needs administrator rights for.
const char kNeedsRights[] = "Loading this configuration changes startup entries that only an administrator may change (";
const char kNothingChanged[] = "). Nothing was changed.";
const char kAskToElevate[] = "). Load it as administrator?";

void TellOutcome(HWND owner, bool complete) {
    if (complete) {
        Tell(owner, kRestored, MB_OK | MB_ICONINFORMATION);
    } else {
        Tell(owner, kRestoreFailed, MB_OK | MB_ICONHAND);
    }
}

// After a load refused for want of rights to `locations` (their names):
// offers the load to an elevated copy where Windows can elevate, or says
// that nothing was changed.
DialogLoad LoadAsAdministrator(HWND owner, const std::string& name, const std::string& locations,
                               const std::function<void()>& rewritten) {
    const std::string refused = kNeedsRights + locations + kNothingChanged;
    if (!CanElevate()) {
        Tell(owner, refused.c_str(), MB_OK | MB_ICONHAND);
        return DialogLoad::Ended;
    }
    const std::string question = kNeedsRights + locations + kAskToElevate;
    if (Tell(owner, question.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) return DialogLoad::Declined;
    const ElevatedLoad result = LoadElevated(name, owner);
    if (result == ElevatedLoad::NotStarted) {
        Tell(owner, refused.c_str(), MB_OK | MB_ICONHAND);
        return DialogLoad::Ended;
    }
    rewritten();
    TellOutcome(owner, result == ElevatedLoad::Loaded);
    return DialogLoad::Ended;
}

}  // namespace

int Tell(HWND owner, const char* text, UINT flags) { return MessageBoxA(owner, text, kCaption, flags); }

bool HasBackslash(const std::string& name) { return name.find('\\') != std::string::npos; }

std::string LocationNames(const std::vector<int>& locations) {
    std::string names;
    for (int index : locations) names += (names.empty() ? "" : ", ") + std::string(LocationKeyName(index));
    return names;
}

DialogLoad LoadFromDialog(HWND owner, const std::string& name, bool savedThisSession,
                          const std::function<void()>& rewritten) {
    StartupLocationSet& locations = GetStartupLocationSet();
    if (HasBackslash(name)) {
        Tell(owner, kBackslashInName, MB_OK | MB_ICONEXCLAMATION);
        return DialogLoad::Ended;
    }
    if (name.empty() || !locations.ConfigurationExists(name)) {
        Tell(owner, kConfigurationNotFound, MB_OK | MB_ICONEXCLAMATION);
        return DialogLoad::Ended;
    }
    if (!savedThisSession && Tell(owner, kBackupFirst, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL) {
        return DialogLoad::Declined;
    }
    const LoadResult result = locations.TryLoadConfiguration(name);
    if (!result.deniedLocations.empty()) {
        return LoadAsAdministrator(owner, name, LocationNames(result.deniedLocations), rewritten);
    }
    if (result.carriedOut) rewritten();
    TellOutcome(owner, result.complete);
    return DialogLoad::Ended;
}
