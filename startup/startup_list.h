#pragma once

#include "startup/startup_item.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Which items WriteValues (and the shortcut writer) write.
constexpr int kSelectDisabled = 1;  // the items whose `enabled` is 0
constexpr int kSelectEnabled = 2;   // the items whose `enabled` is 1

// The in-memory mirror of one startup location: the items of its live place
// followed by those of its disabled place. Every change is written to storage
// first and the whole list is then read again, so the list never holds
// anything storage does not.
class StartupList {
public:
    explicit StartupList(int locationIndex);
    StartupList(const StartupList&) = delete;
    StartupList& operator=(const StartupList&) = delete;
    virtual ~StartupList();

    // Reads the live place, then the disabled place. Always true.
    virtual bool Reload() = 0;
    // Replaces what both places hold by the list's items.
    virtual bool Store() = 0;
    // Writes the item into the place its `enabled` selects, then reloads.
    virtual bool Add(const StartupItem& item) = 0;
    // Deletes the item's entry from the place its `enabled` selects, then reloads.
    virtual bool Remove(const StartupItem& item) = 0;
    // Move an item the caller owns between the two places. The entry leaves
    // its old place only once it is present in the new one.
    virtual bool Disable(StartupItem& item);
    virtual bool Enable(StartupItem& item);
    // Change notification on the live place; INVALID_HANDLE_VALUE on failure.
    virtual HANDLE StartWatch() = 0;
    virtual HANDLE RearmWatch(HANDLE handle) = 0;
    virtual void StopWatch(HANDLE handle) = 0;

    // Empties both places. An entry that storage refuses to remove is left
    // where it is and the rest are still removed.
    void RemoveAll();
    // Removes, by the same rule, every item whose name and place `kept` does
    // not hold (names compared as storage compares them).
    void RemoveAllBut(const StartupList& kept);
    // Adds every item of `other`, in its order.
    void AddAll(const StartupList& other);
    // Appends one item per value of root\path, all with `enabled`; true when
    // at least one was appended. `view` is the key's registry view bit
    // (KEY_WOW64_32KEY, KEY_WOW64_64KEY, or 0 for none).
    bool ReadValues(HKEY root, const std::string& path, unsigned char enabled, REGSAM view = 0);
    // Writes the items `selector` chooses, each as the value it was read as,
    // into the existing key root\path; true when every chosen write succeeded.
    bool WriteValues(HKEY root, const std::string& path, int selector, REGSAM view = 0);

    const std::vector<StartupItem>& Items() const { return items; }
    int LocationIndex() const { return locationIndex; }
    // True when the list holds an item of that name (compared as storage
    // compares names) in that place.
    bool Holds(const std::string& name, unsigned char enabled) const;

protected:
    static bool Selects(int selector, const StartupItem& item);
    // Writes the item as a value of the open key: its type and data bytes.
    static bool SetItemValue(HKEY key, const StartupItem& item);

    std::vector<StartupItem> items;
    int locationIndex;

private:
    bool Move(StartupItem& item, unsigned char to);
    // Removes, one at a time through Remove, the items `doomed` picks.
    void RemoveEach(const std::function<bool(const StartupItem&)>& doomed);
};
