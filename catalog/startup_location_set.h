#pragma once

#include "catalog/location_table.h"
#include "startup/startup_list.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class ShortcutFolderStartupList;
struct StoredConfiguration;

// What became of a load.
struct LoadResult {
    // The locations were rewritten, and every stored item arrived.
    bool carriedOut = false;
    bool complete = false;
    // When the load was not carried out for want of rights: the locations,
    // in slot order, whose changes the user may not make. Nothing was changed.
    std::vector<int> deniedLocations;
};

// The application object: the live startup list of each startup location of
// the table, in a slot numbered by the location index (empty when the
// location does not exist on this system).
class StartupLocationSet {
public:
    StartupLocationSet() = default;
    StartupLocationSet(const StartupLocationSet&) = delete;
    StartupLocationSet& operator=(const StartupLocationSet&) = delete;
    // Leaves the slots alone: Run destroys the lists before OLE goes.
    virtual ~StartupLocationSet();

    // Location catalog: creates, in slot order, the live list of every
    // location that exists here. Always true. Without `readSwitches`, the
    // lists of switches (services) are made empty, to be read at their first
    // Reload, for callers that read every list again before they use it.
    bool BuildCatalog(bool readSwitches = true);

    // Configuration store.
    bool ConfigurationExists(const std::string& name) const;
    bool SaveConfiguration(const std::string& name);
    bool LoadConfiguration(const std::string& name);
    // A load that first checks it may make every change it plans, and
    // changes nothing when it may not.
    LoadResult TryLoadConfiguration(const std::string& name);
    // Reads every location again: true when each holds the configuration
    // (read before, see ReadConfiguration) as a load leaves it.
    bool HoldsConfiguration(const StoredConfiguration& stored) const;
    bool DeleteConfiguration(const std::string& name);

    // Program entry.
    int Run(const char* commandLineTail);
    bool HandleCommandLine(const char* commandLineTail);

    StartupList* Slot(int locationIndex) const { return slots[static_cast<size_t>(locationIndex)].get(); }
    // The slot's list when the location is a Startup folder; null otherwise.
    ShortcutFolderStartupList* FolderList(int locationIndex) const;
    // Destroys every list in slot order and empties the slots.
    void ClearSlots();

private:
    // Saves what the lists hold under `name`; `readAgain` reads every live
    // list first, which a load's backup, made right after its plan read
    // them, does not need.
    bool SaveLists(const std::string& name, bool readAgain);

    std::array<std::unique_ptr<StartupList>, kLocationCount> slots;
    // The lists show their places as they are: the catalog has just read
    // them for the command under way, and nothing has written since.
    bool listsCurrent = false;
};

// The one application object.
StartupLocationSet& GetStartupLocationSet();
