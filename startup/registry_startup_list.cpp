#include "startup/registry_startup_list.h"

#include "platform/registry.h"

RegistryStartupList::RegistryStartupList(int index, HKEY liveRootKey, std::string live, HKEY disabledRootKey,
                                         std::string disabled, REGSAM view)
    : StartupList(index),
      liveRoot(liveRootKey),
      disabledRoot(disabledRootKey),
      liveView(view),
      livePath(std::move(live)),
      disabledPath(std::move(disabled)) {
    // Calls this class's own Reload: the list is filled as soon as it exists.
    RegistryStartupList::Reload();
}

RegistryStartupList::~RegistryStartupList() = default;

RegKey RegistryStartupList::OpenPlaceKey(unsigned char enabled) const {
    return enabled != 0 ? CreateRegistryKey(liveRoot, livePath, kRegistryCreate | liveView)
                        : CreateRegistryKey(disabledRoot, disabledPath, kRegistryCreate);
}

bool RegistryStartupList::Reload() {
    items.clear();
    ReadValues(liveRoot, livePath, 1, liveView);
    ReadValues(disabledRoot, disabledPath, 0);
    return true;
}

bool RegistryStartupList::WriteItem(const StartupItem& item) {
    RegKey key = OpenPlaceKey(item.enabled);
    return key && SetItemValue(key.get(), item);
}

bool RegistryStartupList::DeleteItem(const StartupItem& item) {
    RegKey key = OpenPlaceKey(item.enabled);
    return key && DeleteRegistryValue(key.get(), item.name);
}

template <class Change>
bool RegistryStartupList::ChangeEach(const std::vector<StartupItem>& changed, Change&& change) const {
    // Opened when the first item of its place comes, so that a place no item
    // needs is neither opened nor made.
    RegKey places[2];
    bool allChanged = true;
    for (const StartupItem& item : changed) {
        RegKey& key = places[item.enabled != 0 ? 1 : 0];
        if (!key) key = OpenPlaceKey(item.enabled);
        if (!key || !change(key.get(), item)) allChanged = false;
    }
    return allChanged;
}

bool RegistryStartupList::WriteItems(const std::vector<StartupItem>& changed) {
    return ChangeEach(changed, [](HKEY key, const StartupItem& item) { return SetItemValue(key, item); });
}

bool RegistryStartupList::DeleteItems(const std::vector<StartupItem>& removed) {
    return ChangeEach(removed, [](HKEY key, const StartupItem& item) { return DeleteRegistryValue(key, item.name); });
}

bool RegistryStartupList::MayChange(unsigned char enabled) const {
    // The rights OpenPlaceKey asks for.
    return enabled != 0 ? MayWriteRegistryKey(liveRoot, livePath, kRegistryCreate, liveView)
                        : MayWriteRegistryKey(disabledRoot, disabledPath, kRegistryCreate);
}

bool RegistryStartupList::Add(const StartupItem& item) {
    // `item` may be one of our own items, which Reload destroys.
    WriteItem(item);
    return Reload();
}

bool RegistryStartupList::Remove(const StartupItem& item) {
    DeleteItem(item);
    return Reload();
}

bool RegistryStartupList::Store() {
    DeleteRegistryKey(liveRoot, livePath, liveView);
    DeleteRegistryKey(disabledRoot, disabledPath);
    // WriteValues never creates a key, so both are made again first. Both
    // writes always run: a failed live write must not cost the disabled items.
    OpenPlaceKey(1);
    OpenPlaceKey(0);
    const bool liveWritten = WriteValues(liveRoot, livePath, kSelectEnabled, liveView);
    const bool disabledWritten = WriteValues(disabledRoot, disabledPath, kSelectDisabled);
    return liveWritten && disabledWritten;
}

HANDLE RegistryStartupList::StartWatch() {
    watchKey.reset();
    watchKey = OpenPlaceKey(1);
    if (!watchKey) return INVALID_HANDLE_VALUE;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr || !ArmRegistryValueWatch(watchKey.get(), event)) {
        if (event != nullptr) CloseHandle(event);
        watchKey.reset();
        return INVALID_HANDLE_VALUE;
    }
    return event;
}

HANDLE RegistryStartupList::RearmWatch(HANDLE handle) {
    ResetEvent(handle);
    ArmRegistryValueWatch(watchKey.get(), handle);
    return handle;
}

void RegistryStartupList::StopWatch(HANDLE handle) {
    CloseHandle(handle);
    watchKey.reset();
}
