#include "startup/startup_list.h"

#include "platform/registry.h"
#include "platform/text.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

ItemKey KeyOf(const StartupItem& item) { return {item.enabled != 0, item.kind, NameKey(item.name)}; }

std::set<std::wstring> NamesSharedWithShortcuts(const std::vector<StartupItem>& items) {
    std::set<std::wstring> files;
    for (const StartupItem& item : items) {
        if (item.IsFile()) files.insert(NameKey(item.name));
    }
    std::set<std::wstring> shared;
    if (files.empty()) return shared;
    for (const StartupItem& item : items) {
        if (item.IsFile() || item.enabled == 0) continue;
        std::wstring key = NameKey(item.name);
        if (files.count(key) != 0) shared.insert(std::move(key));
    }
    return shared;
}

StartupList::StartupList(int index) : locationIndex(index) {}

StartupList::~StartupList() = default;

bool StartupList::Holds(const std::string& name, unsigned char enabled) const {
    return std::any_of(items.begin(), items.end(), [&](const StartupItem& item) {
        return (item.enabled != 0) == (enabled != 0) && !item.IsFile() && SameName(item.name, name);
    });
}

bool StartupList::Selects(int selector, const StartupItem& item) {
    return selector == kSelectDisabled ? item.enabled == 0 : item.enabled != 0;
}

bool StartupList::Move(StartupItem& item, unsigned char to) {
    const unsigned char from = item.enabled;
    item.enabled = to;
    Add(item);
    const bool arrived = Holds(item.name, to);
    item.enabled = from;
    // Removing the old entry when the new one was not written would lose it.
    if (!arrived) return false;
    return Remove(item);
}

bool StartupList::Disable(StartupItem& item) {
    if (item.enabled == 0 || item.IsFile()) return false;
    return Move(item, 0);
}

bool StartupList::Enable(StartupItem& item) {
    if (item.enabled != 0) return true;
    return Move(item, 1);
}

bool StartupList::IsSwitchValue(const StartupItem&) const { return false; }

bool StartupList::CanSet(const StartupItem&, const StartupItem&) const { return false; }

bool StartupList::MaySet(const std::vector<StartupItem>& switches) const { return switches.empty(); }

bool StartupList::Installed(const std::string& name) const { return Holds(name, 1); }

bool StartupList::WriteItems(const std::vector<StartupItem>& changed) {
    bool allWritten = true;
    for (const StartupItem& item : changed) {
        if (!WriteItem(item)) allWritten = false;
    }
    return allWritten;
}

bool StartupList::DeleteItems(const std::vector<StartupItem>& removed) {
    bool allDeleted = true;
    for (const StartupItem& item : removed) {
        if (!DeleteItem(item)) allDeleted = false;
    }
    return allDeleted;
}

void StartupList::RemoveAll() {
    // Copied first: deleting does not change the list, but its items are
    // only read again at the end.
    const std::vector<StartupItem> removals = items;
    DeleteItems(removals);
    Reload();
}

std::vector<StartupItem> StartupList::ItemsNotIn(const StartupList& kept) const {
    std::set<ItemKey> keep;
    for (const StartupItem& item : kept.items) keep.insert(KeyOf(item));
    std::vector<StartupItem> others;
    for (const StartupItem& item : items) {
        if (keep.count(KeyOf(item)) == 0) others.push_back(item);
    }
    return others;
}

bool StartupList::SetItemValue(HKEY key, const StartupItem& item) {
    return SetRegistryValue(key, item.name, item.type, item.data);
}

void StartupList::AddAll(const StartupList& other) {
    WriteItems(other.items);
    Reload();
}

bool StartupList::HoldsAll(const StartupList& source, bool shortcutsByName) const {
    std::map<ItemKey, const StartupItem*> expected;
    for (const StartupItem& item : source.items) expected[KeyOf(item)] = &item;
    std::map<ItemKey, const StartupItem*> present;
    for (const StartupItem& item : items) present[KeyOf(item)] = &item;
    for (const auto& [entry, item] : expected) {
        auto found = present.find(entry);
        if (found == present.end()) return false;
        const bool byName = item->IsFile() || (shortcutsByName && item->enabled != 0);
        if (!byName && !found->second->SameValue(*item)) return false;
    }
    return true;
}

bool StartupList::ReadValues(HKEY root, const std::string& path, unsigned char enabled, REGSAM view) {
    RegKey key = OpenRegistryKey(root, path, kRegistryRead | view);
    if (!key) return false;
    size_t appended = ForEachRegistryValue(key.get(), [&](std::string_view name, DWORD type, std::string_view data) {
        items.push_back(StartupItem::FromValue(name, type, data, enabled));
    });
    return appended > 0;
}

bool StartupList::WriteValues(HKEY root, const std::string& path, int selector, REGSAM view) {
    const bool anyChosen =
        std::any_of(items.begin(), items.end(), [selector](const StartupItem& item) { return Selects(selector, item); });
    RegKey key = OpenRegistryKey(root, path, kRegistryWrite | view);
    if (!key) return !anyChosen;
    bool allWritten = true;
    for (const StartupItem& item : items) {
        if (Selects(selector, item) && !SetItemValue(key.get(), item)) allWritten = false;
    }
    return allWritten;
}
