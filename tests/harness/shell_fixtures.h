#pragma once
// Test fixtures over real shortcut files and folders of the test prefix. They
// drive the shell link object directly, independently of the code under test.

#include <windows.h>

#include <string>
#include <vector>

namespace fixture {

// OleInitialize for the life of the object: the shell link object is created
// in-process on the calling thread.
class OleSession {
public:
    OleSession();
    ~OleSession();
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

    bool ok() const { return ok_; }

private:
    bool ok_;
};

// An empty folder below the temporary folder, removed with everything in it
// when the fixture goes.
class TempFolder {
public:
    explicit TempFolder(const std::string& label);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends in a backslash.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Removes a folder tree, read-only files included.
void RemoveTree(const std::string& folder);

// What the shell reads from a shortcut file (`loaded` is false when it is no
// shortcut), and what MakeShortcut writes into one.
struct ShortcutContent {
    bool loaded = false;
    std::string target;
    std::string arguments;
    std::string workingFolder;
    std::string description;
    std::string iconPath;
    int iconIndex = 0;
    int showCommand = SW_SHOWNORMAL;
    WORD hotKey = 0;
};
bool operator==(const ShortcutContent& first, const ShortcutContent& second);

// Writes a shortcut file with that content. The path may be longer than the
// 8-bit calls allow.
bool MakeShortcut(const std::string& path, const ShortcutContent& content);
// The same with a target (and arguments, when given) only.
bool MakeShortcut(const std::string& path, const std::string& target, const std::string& arguments = "");
ShortcutContent ReadShortcut(const std::string& path);

bool WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// The file's last-write time as FILETIME ticks; 0 when it is missing.
unsigned long long FileWriteTime(const std::string& path);
bool DirectoryExists(const std::string& path);
// File names in the folder (without "." and ".."), as the file system lists them.
std::vector<std::string> FolderEntries(const std::string& folder);
// Widens an 8-bit path for the wide calls, with the "\\?\" prefix when it is
// too long for the ordinary ones.
std::wstring LongPath(const std::string& path);

}  // namespace fixture
