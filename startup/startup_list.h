#pragma once

#include "startup/startup_item.h"

#include <windows.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

// Which items WriteValues (and the shortcut writer) write.
constexpr int kSelectDisabled = 1;  // the items whose `enabled` is 0
constexpr int kSelectEnabled = 2;   // the items whose `enabled` is 1

// What tells two items apart: their place (true: live), their kind (a
// shortcut and another file of a Startup folder may share a name) and their
// name as storage compares names.
using ItemKey = std::tuple<bool, ItemKind, std::wstring>;
ItemKey KeyOf(const StartupItem& item);

// The names of the file items of `items` that an enabled shortcut among them
// shares (Foo.exe beside Foo.exe.lnk), as NameKey gives them. Only places that
// hold file items pay for the comparison.
std::set<std::wstring> NamesSharedWithShortcuts(const std::vector<StartupItem>& items);

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
    // The storage halves of Add and Remove: they change the place and leave
    // the list as it is, for callers that change many entries and then read
    // the list once. True when storage took the change.
    virtual bool WriteItem(const StartupItem& item) = 0;
    virtual bool DeleteItem(const StartupItem& item) = 0;
    // The same for many entries, in their order; a kind whose places can be
    // opened once for all of them does so. True when storage took every one.
    virtual bool WriteItems(const std::vector<StartupItem>& changed);
    virtual bool DeleteItems(const std::vector<StartupItem>& removed);
    // True when the user may write and delete entries of the place `enabled`
    // selects (make it, where it does not exist yet). Nothing is changed.
    virtual bool MayChange(unsigned char enabled) const = 0;
    // Move an item the caller owns between the two places. The entry leaves
    // its old place only once it is present in the new one. A file item is
    // never disabled: the disabled place parks shortcuts only.
    virtual bool Disable(StartupItem& item);
    virtual bool Enable(StartupItem& item);
    // A list of switches holds settings of things installed on the system
    // (how services start), not entries: it has only a live place, and a
    // load sets the switches a configuration holds of installed things, and
    // never adds or removes one.
    virtual bool HoldsSwitches() const { return false; }
    // For a list of switches: true when `stored` holds a value a switch of
    // the list can have (a configuration edited by hand may hold any).
    virtual bool IsSwitchValue(const StartupItem& stored) const;
    // For a list of switches: true when a load may give the installed switch
    // `live` the value of the stored one.
    virtual bool CanSet(const StartupItem& live, const StartupItem& stored) const;
    // For a list of switches: true when the user may set each of these
    // (items of the list, with the values to set). Nothing is changed.
    virtual bool MaySet(const std::vector<StartupItem>& switches) const;
    // For a list of switches: true when the system has what the switch
    // `name` belongs to, whether or not the list holds it.
    virtual bool Installed(const std::string& name) const;
    // Change notification on the live place; INVALID_HANDLE_VALUE on failure.
    virtual HANDLE StartWatch() = 0;
    virtual HANDLE RearmWatch(HANDLE handle) = 0;
    virtual void StopWatch(HANDLE handle) = 0;
    // True when the last read left out an entry of a place because it could
    // not be read, so that a copy of the list would lack it.
    virtual bool MissedEntries() const { return false; }

    // Empties both places. An entry that storage refuses to remove is left
    // where it is and the rest are still removed. Every entry is deleted
    // straight from its place and the list is read again once, at the end.
    void RemoveAll();
    // Adds every item of `other`, in its order, and then reads the list again.
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
    // True when the list holds an entry (no file item: a shortcut and another
    // file of a Startup folder may share a name) of that name, compared as
    // storage compares names, in that place.
    bool Holds(const std::string& name, unsigned char enabled) const;
    // The items whose kind, name and place `kept` does not hold (names
    // compared as storage compares them).
    std::vector<StartupItem> ItemsNotIn(const StartupList& kept) const;
    // True when every item of `source` is in this list: of the same kind, in
    // the same place, under the same name, as a value of the same type and
    // bytes. A shortcut's target reads back differently from the text set
    // (the shell resolves it), so with `shortcutsByName` enabled items count
    // by name; file items always do, as their content is not their value.
    // Of two source items with one name in one place the later one counts, as
    // it is the one a registry key ends up holding.
    bool HoldsAll(const StartupList& source, bool shortcutsByName) const;

protected:
    static bool Selects(int selector, const StartupItem& item);
    // Writes the item as a value of the open key: its type and data bytes.
    static bool SetItemValue(HKEY key, const StartupItem& item);

    std::vector<StartupItem> items;
    int locationIndex;

private:
    bool Move(StartupItem& item, unsigned char to);
};
