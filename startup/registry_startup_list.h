#pragma once

#include "platform/handles.h"
#include "startup/startup_list.h"

#include <windows.h>

#include <string>

// A startup list whose live place and disabled place are both registry keys:
// every value of a key is one item (value name = name, value text = command).
// Serves the Run-type keys and the stored copy of a location alike.
class RegistryStartupList : public StartupList {
public:
    // `liveView` is the registry view every access to the live key uses:
    // KEY_WOW64_32KEY or KEY_WOW64_64KEY, or 0 for none (HKEY_CURRENT_USER
    // keys, and systems that have only one view, which refuse the bits).
    RegistryStartupList(int locationIndex, HKEY liveRoot, std::string livePath, HKEY disabledRoot,
                        std::string disabledPath, REGSAM liveView = 0);
    ~RegistryStartupList() override;

    bool Reload() override;
    bool Store() override;
    bool Add(const StartupItem& item) override;
    bool Remove(const StartupItem& item) override;
    bool WriteItem(const StartupItem& item) override;
    bool DeleteItem(const StartupItem& item) override;
    bool WriteItems(const std::vector<StartupItem>& changed) override;
    bool DeleteItems(const std::vector<StartupItem>& removed) override;
    bool MayChange(unsigned char enabled) const override;
    HANDLE StartWatch() override;
    HANDLE RearmWatch(HANDLE handle) override;
    void StopWatch(HANDLE handle) override;

private:
    // Opens (creating when missing) the live key for enabled != 0, the
    // disabled key otherwise. Empty on failure.
    RegKey OpenPlaceKey(unsigned char enabled) const;
    // Calls change(key, item) for each item, with the key of its place,
    // each place opened once; true when every call was.
    template <class Change>
    bool ChangeEach(const std::vector<StartupItem>& changed, Change&& change) const;

    HKEY liveRoot;
    HKEY disabledRoot;
    REGSAM liveView;
    RegKey watchKey;
    std::string livePath;
    std::string disabledPath;
};
