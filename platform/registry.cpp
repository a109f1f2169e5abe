#include "platform/registry.h"

#include "platform/system.h"

#include <algorithm>
#include <limits>

RegKey OpenRegistryKey(HKEY root, const std::string& path, REGSAM rights) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, rights, &key) != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

RegKey CreateRegistryKey(HKEY root, const std::string& path, REGSAM rights) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, rights, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return RegKey();
    }
    return RegKey(key);
}

bool SetRegistryString(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool SetRegistryValue(HKEY key, const std::string& name, DWORD type, const std::string& data) {
    if (data.size() > std::numeric_limits<DWORD>::max()) return false;
    return RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool SetRegistryBinary(HKEY key, const std::string& name, const std::string& bytes) {
    return SetRegistryValue(key, name, REG_BINARY, bytes);
}

bool GetRegistryBinary(HKEY key, const std::string& name, size_t largest, std::string& bytes, DWORD* type) {
    // Most values fit a small buffer, and are read with one call.
    char small[512];
    DWORD size = sizeof small;
    const LONG read = RegQueryValueExA(key, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(small), &size);
    if (read == ERROR_SUCCESS) {
        if (size > largest) return false;
        bytes.assign(small, size < sizeof small ? size : sizeof small);
        return true;
    }
    if (read != ERROR_MORE_DATA) return false;
    if (size > largest) return false;
    bytes.assign(size, '\0');
    if (size == 0) return true;
    // A value that grew since its size was asked fails here rather than being cut.
    if (RegQueryValueExA(key, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(&bytes[0]), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    bytes.resize(size);  // or it shrank
    return true;
}

bool GetRegistryDword(HKEY key, const std::string& name, DWORD& value) {
    DWORD type = REG_NONE;
    DWORD read = 0;
    DWORD size = sizeof read;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof read) {
        return false;
    }
    value = read;
    return true;
}

size_t LongestValueData(HKEY key) {
    DWORD longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestData,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return longestData;
}

bool HasRegistryValue(HKEY key, const std::string& name) {
    return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY key, const std::string& name) {
    return RegDeleteValueA(key, name.c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> EnumerateRegistrySubkeys(HKEY key) {
    std::vector<std::string> names;
    char name[1024];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof(name);
        FILETIME lastWrite;
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, &lastWrite) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, size < sizeof(name) ? size : sizeof(name) - 1);
    }
    return names;
}

std::vector<std::string> EnumerateRegistryValueNames(HKEY key) {
    std::vector<std::string> names;
    std::vector<char> name(16384);  // the longest value name and its zero
    for (DWORD index = 0;; ++index) {
        DWORD size = static_cast<DWORD>(name.size());
        if (RegEnumValueA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), size < name.size() ? size : name.size() - 1);
    }
    return names;
}

bool DeleteRegistryKey(HKEY root, const std::string& path, REGSAM view) {
    if (view == 0) return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
    // Only 64-bit Windows has views, and only it is sure to have RegDeleteKeyExA.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    auto deleteKeyEx = FindSystemFunction<DeleteKeyEx>("advapi32.dll", "RegDeleteKeyExA");
    return deleteKeyEx != nullptr && deleteKeyEx(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}

bool MayWriteRegistryKey(HKEY root, const std::string& path, REGSAM rights, REGSAM view) {
    std::string existing = path;
    for (;;) {
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExA(root, existing.c_str(), 0, rights | view, &key);
        if (opened == ERROR_SUCCESS) {
            RegCloseKey(key);
            return true;
        }
        // A key that is there but refused is refused; only a missing one
        // sends the question to its parent, which would have to make it.
        const size_t slash = existing.find_last_of('\\');
        if (opened != ERROR_FILE_NOT_FOUND || existing.empty()) return false;
        existing = slash == std::string::npos ? std::string() : existing.substr(0, slash);
        rights = KEY_CREATE_SUB_KEY;
    }
}

bool DeleteRegistryTree(HKEY root, const std::string& path) {
    if (path.empty()) return false;
    using DeleteTree = LONG(WINAPI*)(HKEY, LPCSTR);
    auto deleteTree = FindSystemFunction<DeleteTree>("advapi32.dll", "RegDeleteTreeA");
    if (deleteTree != nullptr) {
        deleteTree(root, path.c_str());
    } else {
        registry_detail::DeleteTreeByHand(root, path);
    }
    // Whatever the call said: what counts is that no key is left.
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(root, path.c_str(), 0, kRegistryRead, &key);
    const RegKey left(opened == ERROR_SUCCESS ? key : nullptr);
    return opened == ERROR_FILE_NOT_FOUND;
}

bool CopyRegistryTree(HKEY from, HKEY to) {
    using CopyTree = LONG(WINAPI*)(HKEY, LPCSTR, HKEY);
    auto copyTree = FindSystemFunction<CopyTree>("advapi32.dll", "RegCopyTreeA");
    if (copyTree != nullptr) return copyTree(from, nullptr, to) == ERROR_SUCCESS;
    return registry_detail::CopyTreeByHand(from, to);
}

bool FlushRegistryKey(HKEY key) { return RegFlushKey(key) == ERROR_SUCCESS; }

bool FitsRegistryPath(const std::string& path) {
    if (path.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return false;
    const int characters =
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    // Text the code page cannot convert is counted in bytes, never fewer.
    return static_cast<size_t>(characters) <= MAX_PATH && (characters > 0 || path.size() <= MAX_PATH);
}

bool ArmRegistryValueWatch(HKEY key, HANDLE event) {
    return RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE) == ERROR_SUCCESS;
}

namespace registry_detail {

bool PrepareValueBuffers(HKEY key, ValueBuffers& buffers, bool skipEmpty) {
    DWORD valueCount = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (skipEmpty && (valueCount == 0 || longestName == 0 || longestData == 0)) return false;
    buffers.name.resize(static_cast<size_t>(longestName) + 1);
    buffers.data.resize(static_cast<size_t>(longestData) + 1);
    return true;
}

bool GrowValueBuffers(ValueBuffers& buffers, DWORD dataSizeNeeded, int& growths) {
    constexpr int kMostGrowths = 8;
    if (++growths > kMostGrowths) return false;
    buffers.name.resize(buffers.name.size() * 3);
    buffers.data.resize(std::max<size_t>(buffers.data.size() * 2, static_cast<size_t>(dataSizeNeeded) + 1));
    return true;
}

void DeleteTreeByHand(HKEY root, const std::string& path) {
    {
        const RegKey key = OpenRegistryKey(root, path, kRegistryRead);
        if (!key) return;
        // One deletion removes one key that has no subkeys, so they go first.
        for (const std::string& name : EnumerateRegistrySubkeys(key.get())) DeleteTreeByHand(key.get(), name);
    }
    RegDeleteKeyA(root, path.c_str());
}

namespace {

// Copies every value of `from` into `to` with its type and bytes unchanged.
bool CopyValuesByHand(HKEY from, HKEY to) {
    ValueBuffers buffers;
    // Values a list would not read (a lone default value, empty data) are copied too.
    return PrepareValueBuffers(from, buffers, false) &&
           WalkValues(from, buffers, [to](std::string_view name, DWORD type, std::string_view data) {
               return RegSetValueExA(to, std::string(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                     static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
           });
}

}  // namespace

bool CopyTreeByHand(HKEY from, HKEY to) {
    if (!CopyValuesByHand(from, to)) return false;
    for (const std::string& name : EnumerateRegistrySubkeys(from)) {
        const RegKey source = OpenRegistryKey(from, name, kRegistryRead);
        const RegKey target = CreateRegistryKey(to, name, kRegistryCreate);
        if (!source || !target || !CopyTreeByHand(source.get(), target.get())) return false;
    }
    return true;
}

}  // namespace registry_detail
