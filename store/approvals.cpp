#include "store/approvals.h"

#include "catalog/location_table.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

// Where the approvals of one location live.
struct ApprovalPlace {
    HKEY root;
    const char* key;
    bool shortcutFiles;  // value names are file names: a shortcut's is its item name + ".lnk"
};

constexpr char kApprovedKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// False for the locations Task Manager does not list.
bool FindApprovalPlace(int locationIndex, ApprovalPlace& place) {
    const LocationRow& row = Location(locationIndex);
    if (row.approvalKey == nullptr) return false;
    place = {row.approvalRoot, row.approvalKey, row.kind == LocationKind::StartupFolder};
    return true;
}

// Explorer, which writes the approvals, is a 64-bit program on 64-bit
// Windows, so both builds use its view of HKEY_LOCAL_MACHINE.
REGSAM ApprovalView() { return IsWindows64() ? KEY_WOW64_64KEY : 0; }

std::string ApprovalKeyPath(const ApprovalPlace& place) { return std::string(kApprovedKeys) + place.key; }

std::string ApprovalValueName(const ApprovalPlace& place, const StartupItem& item) {
    return place.shortcutFiles && !item.IsFile() ? item.name + ".lnk" : item.name;
}

}  // namespace

bool SwitchCarried(const StartupItem& item, const std::set<std::wstring>& shared) {
    return item.enabled != 0 && !(item.IsFile() && shared.count(NameKey(item.name)) != 0);
}

StoredValues ReadApprovals(int locationIndex, const StartupList& live) {
    StoredValues values;
    ApprovalPlace place;
    if (!FindApprovalPlace(locationIndex, place)) return values;
    RegKey approvals = OpenRegistryKey(place.root, ApprovalKeyPath(place), kRegistryRead | ApprovalView());
    if (!approvals) return values;
    const std::set<std::wstring> shared = NamesSharedWithShortcuts(live.Items());
    std::string bytes;
    for (const StartupItem& item : live.Items()) {
        if (SwitchCarried(item, shared) &&
            GetRegistryBinary(approvals.get(), ApprovalValueName(place, item), kLargestApproval, bytes)) {
            values[item.name] = bytes;
        }
    }
    return values;
}

// Windows starts an entry whose switch has an even first byte.
bool IsSwitchedOff(const std::string& approval) { return !approval.empty() && (approval[0] & 1) != 0; }

std::vector<ApprovalChange> PlanApprovals(int locationIndex, const StartupList& stored,
                                          const StoredValues& storedApprovals) {
    std::vector<ApprovalChange> changes;
    ApprovalPlace place;
    if (!FindApprovalPlace(locationIndex, place)) return changes;
    const RegKey liveValues = OpenRegistryKey(place.root, ApprovalKeyPath(place), kRegistryRead | ApprovalView());
    const std::set<std::wstring> shared = NamesSharedWithShortcuts(stored.Items());
    std::string present;
    for (const StartupItem& item : stored.Items()) {
        if (!SwitchCarried(item, shared)) continue;
        ApprovalChange change;
        change.itemName = item.name;
        change.itemKind = item.kind;
        change.valueName = ApprovalValueName(place, item);
        DWORD type = REG_NONE;
        const bool isLive =
            liveValues && GetRegistryBinary(liveValues.get(), change.valueName, kLargestApproval, present, &type);
        auto wanted = storedApprovals.find(item.name);
        if (wanted != storedApprovals.end()) {
            if (isLive && type == REG_BINARY && present == wanted->second) continue;
            change.bytes = wanted->second;
        } else if (isLive) {
            change.remove = true;
        } else {
            continue;
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

namespace {

// Deleting needs only the key that holds the values; writing may have to make it.
REGSAM ApprovalRights(const std::vector<ApprovalChange>& changes) {
    const bool writes = std::any_of(changes.begin(), changes.end(), [](const ApprovalChange& c) { return !c.remove; });
    return writes ? kRegistryCreate : kRegistryWrite;
}

}  // namespace

bool MayChangeApprovals(int locationIndex, const std::vector<ApprovalChange>& changes) {
    ApprovalPlace place;
    if (changes.empty() || !FindApprovalPlace(locationIndex, place)) return true;
    return MayWriteRegistryKey(place.root, ApprovalKeyPath(place), ApprovalRights(changes), ApprovalView());
}

bool ApplyApprovals(int locationIndex, const std::vector<ApprovalChange>& changes) {
    ApprovalPlace place;
    if (changes.empty() || !FindApprovalPlace(locationIndex, place)) return true;
    const RegKey key = ApprovalRights(changes) == kRegistryCreate
                           ? CreateRegistryKey(place.root, ApprovalKeyPath(place), kRegistryCreate | ApprovalView())
                           : OpenRegistryKey(place.root, ApprovalKeyPath(place), kRegistryWrite | ApprovalView());
    if (!key) return false;
    bool complete = true;
    for (const ApprovalChange& change : changes) {
        const bool done = change.remove ? DeleteRegistryValue(key.get(), change.valueName)
                                        : SetRegistryBinary(key.get(), change.valueName, change.bytes);
        if (!done) complete = false;
    }
    return complete;
}
