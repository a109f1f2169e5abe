#include "harness/fixtures.h"

#include <sddl.h>

#include <algorithm>
#include <cstdio>

namespace fixture {

namespace {

// The test prefix is 64-bit Windows. The fixtures always see its 64-bit
// registry view, whichever build they run in, and reach the 32-bit view of
// HKEY_LOCAL_MACHINE through Wow6432Node, so that a path names the same key
// for both builds. HKEY_CURRENT_USER has one view.
constexpr REGSAM kView = KEY_WOW64_64KEY;

}  // namespace

ScratchKey::ScratchKey(HKEY root, std::string path) : root_(root), path_(std::move(path)) {
    DeleteTree(root_, path_);
}

ScratchKey::~ScratchKey() { DeleteTree(root_, path_); }

bool SetKeyDacl(HKEY root, const std::string& path, const char* dacl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    HKEY key = nullptr;
    bool set = false;
    if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC | kView, &key) == ERROR_SUCCESS) {
        set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return set;
}

ReadOnlyKey::ReadOnlyKey(HKEY root, std::string path) : root_(root), path_(std::move(path)) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, READ_CONTROL | kView, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (size == 0 || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) {
            saved_.clear();
        }
        RegCloseKey(key);
    }
    // Read, change the security, delete: the fixture can undo itself.
    SetKeyDacl(root_, path_, "D:P(A;;KRWDSD;;;WD)");
}

ReadOnlyKey::~ReadOnlyKey() {
    HKEY key = nullptr;
    if (saved_.empty() || RegOpenKeyExA(root_, path_.c_str(), 0, WRITE_DAC | kView, &key) != ERROR_SUCCESS) return;
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data());
    RegCloseKey(key);
}

std::string UniqueTestPath(const std::string& label) {
    static int counter = 0;
    return "Software\\VeltraneTests\\" + label + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
}

void DeleteTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | kView, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExA(root, path.c_str(), kView, 0);
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | kView, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

void CreateVolatileKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | kView, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

void SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | kView, &key) != ERROR_SUCCESS &&
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& text) {
    SetRaw(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetWideName(HKEY root, const std::string& path, const std::wstring& name, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

std::string ReadValue(HKEY root, const std::string& path, const std::string& name, DWORD* type) {
    if (type != nullptr) *type = REG_NONE;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return std::string();
    DWORD size = 0;
    DWORD valueType = REG_NONE;
    std::string text;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<char> data(size + 1, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS) {
            text.assign(data.data(), size);
            const bool isText = valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ;
            if (isText && !text.empty() && text.back() == '\0') text.pop_back();
            if (type != nullptr) *type = valueType;
        }
    }
    RegCloseKey(key);
    return text;
}

std::vector<std::wstring> ValueNamesW(HKEY root, const std::string& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD size = 16384;
        if (RegEnumValueW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::string> Snapshot(HKEY root, const std::string& path) {
    std::vector<std::string> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return entries;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameSize = sizeof(name);
        BYTE data[65536];
        DWORD dataSize = sizeof(data) - 1;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, data, &dataSize) != ERROR_SUCCESS) break;
        data[dataSize] = 0;
        entries.push_back(std::string(name, nameSize) + "=" + reinterpret_cast<const char*>(data));
    }
    RegCloseKey(key);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> RawSnapshot(HKEY root, const std::string& path) {
    std::vector<std::string> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameSize = 16384;
        std::vector<BYTE> data(65536);
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        // The wide call shows what is stored, without an 8-bit conversion.
        if (RegEnumValueW(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) break;
        std::string entry(name, name + nameSize);
        entry += " " + std::to_string(type) + ":";
        for (DWORD at = 0; at < dataSize; ++at) {
            char hex[4];
            snprintf(hex, sizeof(hex), "%02x", data[at]);
            entry += hex;
        }
        entries.push_back(entry);
    }
    RegCloseKey(key);
    std::sort(entries.begin(), entries.end());
    return entries;
}

unsigned long long KeyWriteTime(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return 0;
    FILETIME written = {};
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &written);
    RegCloseKey(key);
    return (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

std::vector<std::string> Tree(HKEY root, const std::string& path) {
    if (!KeyExists(root, path)) return {};
    std::vector<std::string> lines = {"\\"};
    for (const std::string& value : RawSnapshot(root, path)) lines.push_back("\\" + value);
    for (const std::string& sub : SubkeyNames(root, path)) {
        for (const std::string& line : Tree(root, path + "\\" + sub)) lines.push_back("\\" + sub + line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

void CopyTree(HKEY root, const std::string& from, const std::string& to) {
    HKEY source = nullptr;
    HKEY target = nullptr;
    if (RegOpenKeyExA(root, from.c_str(), 0, KEY_READ | kView, &source) == ERROR_SUCCESS &&
        RegCreateKeyExA(root, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &target, nullptr) ==
            ERROR_SUCCESS) {
        RegCopyTreeA(source, nullptr, target);
    }
    if (source != nullptr) RegCloseKey(source);
    if (target != nullptr) RegCloseKey(target);
}

std::string ProgramDirectory() {
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

}  // namespace fixture
