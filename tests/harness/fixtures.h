#pragma once
// Test fixtures over the real registry and file system of the test prefix.
// They use the Win32 API directly, independently of the code under test.

#include <windows.h>

#include <string>
#include <vector>

namespace fixture {

// A registry key tree removed when the fixture goes, and before it is made.
class ScratchKey {
public:
    ScratchKey(HKEY root, std::string path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY root() const { return root_; }
    const std::string& path() const { return path_; }
    std::string sub(const std::string& child) const { return path_ + "\\" + child; }

private:
    HKEY root_;
    std::string path_;
};

// Makes an existing key read-only for everyone (values and subkeys can be
// read, not written; the security can still be changed), as a machine-wide
// key is for a user without administrator rights. Its security comes back
// when the fixture goes.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, std::string path);
    ~ReadOnlyKey();
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;

private:
    HKEY root_;
    std::string path_;
    std::vector<BYTE> saved_;
};

// Gives the key the access control list of the SDDL text `dacl`.
bool SetKeyDacl(HKEY root, const std::string& path, const char* dacl);

// A unique path below HKCU\Software\VeltraneTests for one test.
std::string UniqueTestPath(const std::string& label);

// The fixtures open HKEY_LOCAL_MACHINE in its 64-bit view in either build;
// the 32-bit view is below "Software\Wow6432Node".
void DeleteTree(HKEY root, const std::string& path);
void DeleteValue(HKEY root, const std::string& path, const std::string& name);
bool KeyExists(HKEY root, const std::string& path);
void CreateKey(HKEY root, const std::string& path);
void CreateVolatileKey(HKEY root, const std::string& path);
void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& text);
void SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data,
            DWORD size);
void SetWideName(HKEY root, const std::string& path, const std::wstring& name, const std::wstring& text);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
// The value's data (a text without its terminating zero) and type; empty and
// REG_NONE when it is missing.
std::string ReadValue(HKEY root, const std::string& path, const std::string& name, DWORD* type = nullptr);
// Names of the key's values, in enumeration order, read through the W calls
// so that no name is mangled.
std::vector<std::wstring> ValueNamesW(HKEY root, const std::string& path);
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);
// Every value of the key as "name=text", sorted.
std::vector<std::string> Snapshot(HKEY root, const std::string& path);
// Every value of the key as "name type:hex bytes", sorted: its type and its
// data exactly as stored.
std::vector<std::string> RawSnapshot(HKEY root, const std::string& path);

// When the key was last written (a value set or deleted), as FILETIME ticks;
// 0 when it is missing.
unsigned long long KeyWriteTime(HKEY root, const std::string& path);

// The whole tree below the key, sorted: one line per key (`\A\B\`, relative
// to it) and one per value (`\A\name type:hex bytes`, as RawSnapshot shows
// it). Empty when the key is missing.
std::vector<std::string> Tree(HKEY root, const std::string& path);
// Copies the tree at `from` to `to` (RegCopyTreeA).
void CopyTree(HKEY root, const std::string& from, const std::string& to);

// Directory of the running test program, ending in a backslash.
std::string ProgramDirectory();

}  // namespace fixture
