#include "store/approvals.h"

#include "platform/registry.h"
#include "platform/system.h"

#include <vector>

namespace {

// Where the approvals of one location live.
struct ApprovalPlace {
    HKEY root;
    const char* key;
    bool shortcutFiles;  // value names are shortcut file names, item name + ".lnk"
};

constexpr char kApprovedKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// False for the locations Task Manager does not list (RunOnce, RunOnce32,
// Services).
bool FindApprovalPlace(int locationIndex, ApprovalPlace& place) {
    switch (locationIndex) {
    case 0: place = {HKEY_CURRENT_USER, "StartupFolder", true}; return true;
    case 1: place = {HKEY_LOCAL_MACHINE, "StartupFolder", true}; return true;
    case 2: place = {HKEY_LOCAL_MACHINE, "Run", false}; return true;
    case 3: place = {HKEY_CURRENT_USER, "Run", false}; return true;
    case 6: place = {HKEY_LOCAL_MACHINE, "Run32", false}; return true;
    default: return false;
    }
}

// Explorer, which writes the approvals, is a 64-bit program on 64-bit
// Windows, so both builds use its view of HKEY_LOCAL_MACHINE.
REGSAM ApprovalView() { return IsWindows64() ? KEY_WOW64_64KEY : 0; }

std::string ApprovalKeyPath(const ApprovalPlace& place) { return std::string(kApprovedKeys) + place.key; }

std::string ApprovalValueName(const ApprovalPlace& place, const std::string& itemName) {
    return place.shortcutFiles ? itemName + ".lnk" : itemName;
}

// Deletes a value only where it exists, so that a key the user may not write
// but which holds nothing of ours costs nothing.
bool DeleteApproval(const ApprovalPlace& place, const std::string& valueName) {
    const std::string path = ApprovalKeyPath(place);
    RegKey readable = OpenRegistryKey(place.root, path, kRegistryRead | ApprovalView());
    std::vector<BYTE> bytes;
    if (!readable || !ReadRegistryBytes(readable.get(), valueName, bytes)) return true;
    RegKey writable = OpenRegistryKey(place.root, path, kRegistryWrite | ApprovalView());
    return writable && DeleteRegistryValue(writable.get(), valueName);
}

bool WriteApproval(const ApprovalPlace& place, const std::string& valueName, const std::vector<BYTE>& bytes) {
    RegKey key = CreateRegistryKey(place.root, ApprovalKeyPath(place), kRegistryCreate | ApprovalView());
    return key && SetRegistryBytes(key.get(), valueName, bytes);
}

}  // namespace

std::string ApprovedKeyPath(const std::string& locationKeyPath) { return locationKeyPath + "\\Approved"; }

bool SaveApprovals(int locationIndex, const StartupList& live, const std::string& locationKeyPath) {
    ApprovalPlace place;
    if (!FindApprovalPlace(locationIndex, place)) return true;
    RegKey approvals = OpenRegistryKey(place.root, ApprovalKeyPath(place), kRegistryRead | ApprovalView());
    if (!approvals) return true;
    RegKey stored;  // made with the first value, so that a location without approvals leaves no key
    bool complete = true;
    std::vector<BYTE> bytes;
    for (const StartupItem& item : live.Items()) {
        if (item.enabled == 0 || !ReadRegistryBytes(approvals.get(), ApprovalValueName(place, item.name), bytes)) {
            continue;
        }
        if (!stored) stored = CreateRegistryKey(HKEY_CURRENT_USER, ApprovedKeyPath(locationKeyPath), kRegistryCreate);
        if (!stored || !SetRegistryBytes(stored.get(), item.name, bytes)) complete = false;
    }
    return complete;
}

bool RestoreApprovals(int locationIndex, const StartupList& stored, const std::string& locationKeyPath) {
    ApprovalPlace place;
    if (!FindApprovalPlace(locationIndex, place)) return true;
    RegKey approvals = OpenRegistryKey(HKEY_CURRENT_USER, ApprovedKeyPath(locationKeyPath), kRegistryRead);
    bool complete = true;
    std::vector<BYTE> bytes;
    for (const StartupItem& item : stored.Items()) {
        if (item.enabled == 0) continue;
        const std::string valueName = ApprovalValueName(place, item.name);
        const bool restored = approvals && ReadRegistryBytes(approvals.get(), item.name, bytes)
                                  ? WriteApproval(place, valueName, bytes)
                                  : DeleteApproval(place, valueName);
        if (!restored) complete = false;
    }
    return complete;
}
