#include "store/approvals.h"

#include "platform/registry.h"
#include "platform/system.h"

#include <string>

namespace {

// Where the approvals of one location live.
struct ApprovalPlace {
    HKEY root;
    const char* key;
    bool shortcutFiles;  // value names are shortcut file names, item name + ".lnk"
};

// Windows writes 12 bytes; anything up to this is copied as it is.
constexpr size_t kLargestApproval = 64 * 1024;

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
    std::string bytes;
    if (!readable || !GetRegistryBinary(readable.get(), valueName, kLargestApproval, bytes)) return true;
    RegKey writable = OpenRegistryKey(place.root, path, kRegistryWrite | ApprovalView());
    return writable && DeleteRegistryValue(writable.get(), valueName);
}

bool WriteApproval(const ApprovalPlace& place, const std::string& valueName, const std::string& bytes) {
    RegKey key = CreateRegistryKey(place.root, ApprovalKeyPath(place), kRegistryCreate | ApprovalView());
    return key && SetRegistryBinary(key.get(), valueName, bytes);
}

}  // namespace

bool SaveApprovals(int locationIndex, const StartupList& live, const std::string& approvedKeyPath) {
    ApprovalPlace place;
    if (!FindApprovalPlace(locationIndex, place)) return true;
    RegKey approvals = OpenRegistryKey(place.root, ApprovalKeyPath(place), kRegistryRead | ApprovalView());
    if (!approvals) return true;
    RegKey stored;  // made with the first value, so that a location without approvals leaves no key
    bool complete = true;
    std::string bytes;
    for (const StartupItem& item : live.Items()) {
        if (item.enabled == 0 || !GetRegistryBinary(approvals.get(), ApprovalValueName(place, item.name), kLargestApproval, bytes)) {
            continue;
        }
        if (!stored) stored = CreateRegistryKey(HKEY_CURRENT_USER, approvedKeyPath, kRegistryCreate);
        if (!stored || !SetRegistryBinary(stored.get(), item.name, bytes)) complete = false;
    }
    return complete;
}

bool RestoreApprovals(int locationIndex, const StartupList& stored, const std::string& approvedKeyPath) {
    ApprovalPlace place;
    if (!FindApprovalPlace(locationIndex, place)) return true;
    RegKey approvals = OpenRegistryKey(HKEY_CURRENT_USER, approvedKeyPath, kRegistryRead);
    bool complete = true;
    std::string bytes;
    for (const StartupItem& item : stored.Items()) {
        if (item.enabled == 0) continue;
        const std::string valueName = ApprovalValueName(place, item.name);
        const bool restored = approvals && GetRegistryBinary(approvals.get(), item.name, kLargestApproval, bytes)
                                  ? WriteApproval(place, valueName, bytes)
                                  : DeleteApproval(place, valueName);
        if (!restored) complete = false;
    }
    return complete;
}
