#pragma once
// The registry operations the program performs, each with the rights and value
// type it relies on. Every operation opens its own key and closes it again.

#include "platform/handles.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Reading values, enumerating subkeys, testing existence.
constexpr REGSAM kRegistryRead = KEY_READ;        // 0x20019
// Setting or deleting a value in an existing key.
constexpr REGSAM kRegistryWrite = KEY_WRITE;      // 0x20006
// Creating a key.
constexpr REGSAM kRegistryCreate = KEY_ALL_ACCESS;  // 0xF003F

static_assert(kRegistryRead == 0x20019 && kRegistryWrite == 0x20006 && kRegistryCreate == 0xF003F,
              "registry rights");

// Opens root\path; an empty path opens the root itself. Empty when the key
// cannot be used.
RegKey OpenRegistryKey(HKEY root, const std::string& path, REGSAM rights);

// Creates root\path, or opens it when it exists (non-volatile, no class,
// default security). Empty on failure.
RegKey CreateRegistryKey(HKEY root, const std::string& path, REGSAM rights);

// Calls visit(name, type, data) for every value of the key, in the registry's
// enumeration order, with the value's type and its data bytes as returned
// (never more than the data length). Unless `everyValue`, nothing is read
// when the key has no values, or when its longest value name or longest value
// data is zero, as a startup list reads a key. Stops at the first enumeration
// call that fails for a reason other than a value too long for the buffers.
// Returns the number of values visited.
template <class Visit>
size_t ForEachRegistryValue(HKEY key, Visit&& visit, bool everyValue = false);

// Writes a REG_SZ value, terminating zero included.
bool SetRegistryString(HKEY key, const std::string& name, const std::string& text);

// Writes a value of any type with exactly these data bytes.
bool SetRegistryValue(HKEY key, const std::string& name, DWORD type, const std::string& data);

// Writes a REG_BINARY value.
bool SetRegistryBinary(HKEY key, const std::string& name, const std::string& bytes);

// Reads the data of one value, whatever its type, into `bytes`, and its type
// into `type` when given. False when the value is missing or holds more than
// `largest` bytes.
bool GetRegistryBinary(HKEY key, const std::string& name, size_t largest, std::string& bytes,
                       DWORD* type = nullptr);

// Reads a REG_DWORD value with one call; false when the key holds no value of
// that name, or one of another type or size.
bool GetRegistryDword(HKEY key, const std::string& name, DWORD& value);

// The size of the key's largest value data, in bytes; 0 when it cannot be asked.
size_t LongestValueData(HKEY key);

// True when the key holds a value of that name (of any type and size).
bool HasRegistryValue(HKEY key, const std::string& name);

// Deletes one value; an empty name deletes the key's default value.
bool DeleteRegistryValue(HKEY key, const std::string& name);

// The names of the key's direct subkeys, in enumeration order (names of up to
// 1023 characters).
std::vector<std::string> EnumerateRegistrySubkeys(HKEY key);

// The names of the key's values, in enumeration order; their data is not read.
std::vector<std::string> EnumerateRegistryValueNames(HKEY key);

// Deletes one key that has no subkeys, in the registry view `view`
// (KEY_WOW64_32KEY or KEY_WOW64_64KEY; 0 for the program's own view).
bool DeleteRegistryKey(HKEY root, const std::string& path, REGSAM view = 0);

// True when the key root\path (in registry view `view`) may be opened with
// `rights`, or, when it does not exist yet, when its nearest existing parent
// may take a new subkey. Nothing is created.
bool MayWriteRegistryKey(HKEY root, const std::string& path, REGSAM rights, REGSAM view = 0);

// Deletes root\path with every subkey and value below it (RegDeleteTreeA where
// the system has it, else key by key, deepest first). True when the key is
// gone afterwards, also when it was never there. An empty path is refused: it
// would name the root.
bool DeleteRegistryTree(HKEY root, const std::string& path);

// Copies every value and subkey of `from` into `to` (RegCopyTreeA where the
// system has it, else key by key). Values of the same name in `to` are
// overwritten; nothing else there is removed.
bool CopyRegistryTree(HKEY from, HKEY to);

// Asks the system to write the key's hive to disk now, so that what was
// written before is on disk before what is written next.
bool FlushRegistryKey(HKEY key);

// True when the 8-bit calls can open root\path: they convert the path into a
// buffer of MAX_PATH characters and refuse a longer one (ERROR_MORE_DATA).
bool FitsRegistryPath(const std::string& path);

// Arms a one-shot notification of changes to the key's own values (not its
// subkeys), signalling the event asynchronously.
bool ArmRegistryValueWatch(HKEY key, HANDLE event);

namespace registry_detail {
struct ValueBuffers {
    std::vector<char> name;
    std::vector<BYTE> data;
};
// Sizes both buffers from RegQueryInfoKeyA; false when the query fails and,
// with `skipEmpty`, when nothing is to be read (no values, or the longest
// name or data is zero).
bool PrepareValueBuffers(HKEY key, ValueBuffers& buffers, bool skipEmpty = true);
// The longest name and data are counted in UTF-16, but with an 8-bit code
// page of several bytes per character (UTF-8) a value can need more than
// that. Grows both buffers for another try; false once a few tries are spent.
bool GrowValueBuffers(ValueBuffers& buffers, DWORD dataSizeNeeded, int& growths);
// The fallbacks of DeleteRegistryTree and CopyRegistryTree for systems before
// Vista, with the 8-bit calls only; apart for their tests.
void DeleteTreeByHand(HKEY root, const std::string& path);
bool CopyTreeByHand(HKEY from, HKEY to);
}  // namespace registry_detail

namespace registry_detail {
// Calls visit(name, type, data) for each value of the key, in enumeration
// order, until it returns false. True when every value was visited.
template <class Visit>
bool WalkValues(HKEY key, ValueBuffers& buffers, Visit&& visit) {
    int growths = 0;
    for (DWORD index = 0;;) {
        DWORD nameSize = static_cast<DWORD>(buffers.name.size());
        DWORD dataSize = static_cast<DWORD>(buffers.data.size());
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueA(key, index, buffers.name.data(), &nameSize, nullptr, &type,
                                          buffers.data.data(), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) return true;
        if (result == ERROR_MORE_DATA && GrowValueBuffers(buffers, dataSize, growths)) continue;
        if (result != ERROR_SUCCESS) return false;
        if (nameSize >= buffers.name.size()) nameSize = static_cast<DWORD>(buffers.name.size() - 1);
        if (dataSize > buffers.data.size()) dataSize = static_cast<DWORD>(buffers.data.size());
        if (!visit(std::string_view(buffers.name.data(), nameSize), type,
                   std::string_view(reinterpret_cast<const char*>(buffers.data.data()), dataSize))) {
            return false;
        }
        ++index;
    }
}
}  // namespace registry_detail

template <class Visit>
size_t ForEachRegistryValue(HKEY key, Visit&& visit, bool everyValue) {
    registry_detail::ValueBuffers buffers;
    if (!registry_detail::PrepareValueBuffers(key, buffers, !everyValue)) return 0;
    size_t visited = 0;
    registry_detail::WalkValues(key, buffers, [&](std::string_view name, DWORD type, std::string_view data) {
        visit(name, type, data);
        ++visited;
        return true;
    });
    return visited;
}
