#include "startup/startup_list.h"

#include "platform/registry.h"
#include "platform/text.h"

#include <algorithm>
#include <set>
#include <utility>

StartupList::StartupList(int index) : locationIndex(index) {}

StartupList::~StartupList() = default;

bool StartupList::Holds(const std::string& name, unsigned char enabled) const {
    return std::any_of(items.begin(), items.end(), [&](const StartupItem& item) {
        return (item.enabled != 0) == (enabled != 0) && SameName(item.name, name);
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
    if (item.enabled == 0) return false;
    return Move(item, 0);
}

bool StartupList::Enable(StartupItem& item) {
    if (item.enabled != 0) return true;
    return Move(item, 1);
}

void StartupList::RemoveAll() {
    RemoveEach([](const StartupItem&) { return true; });
}

void StartupList::RemoveAllBut(const StartupList& kept) {
    std::set<std::pair<bool, std::wstring>> keep;
    for (const StartupItem& item : kept.items) keep.insert({item.enabled != 0, NameKey(item.name)});
    RemoveEach([&keep](const StartupItem& item) { return keep.count({item.enabled != 0, NameKey(item.name)}) == 0; });
}

void StartupList::RemoveEach(const std::function<bool(const StartupItem&)>& doomed) {
    // Entries storage would not give up: the reload brings them back, so they
    // are stepped over instead of being tried forever.
    std::set<std::pair<unsigned char, std::string>> refused;
    auto isNext = [&](const StartupItem& item) { return refused.count({item.enabled, item.name}) == 0 && doomed(item); };
    for (;;) {
        auto next = std::find_if(items.begin(), items.end(), isNext);
        if (next == items.end()) return;
        const StartupItem item = *next;
        Remove(item);
        const bool stillThere = std::any_of(items.begin(), items.end(), [&item](const StartupItem& other) {
            return other.enabled == item.enabled && other.name == item.name;
        });
        if (stillThere) refused.insert({item.enabled, item.name});
    }
}

bool StartupList::SetItemValue(HKEY key, const StartupItem& item) {
    return SetRegistryValue(key, item.name, item.type, item.data);
}

void StartupList::AddAll(const StartupList& other) {
    for (const StartupItem& item : other.items) Add(item);
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
