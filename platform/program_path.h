#pragma once
// Whether the program a startup entry starts exists, worked out as Windows
// finds it when the entry runs.

#include <windows.h>

#include <string>

// While it lives, a 32-bit build on 64-bit Windows sees the system folder as
// 64-bit programs see it, rather than its 32-bit stand-in: the shell that
// starts the entries, and the service control manager, are 64-bit programs.
class NativeFolders {
public:
    NativeFolders();
    ~NativeFolders();
    NativeFolders(const NativeFolders&) = delete;
    NativeFolders& operator=(const NativeFolders&) = delete;

private:
    PVOID saved = nullptr;
    bool redirectionOff = false;
};

// `text` with its environment strings (%windir% and the like) expanded, as
// Windows expands a REG_EXPAND_SZ value; unknown ones stay as they are.
std::string ExpandEnvironment(const std::string& text);

// True when `path` names an existing file or folder.
bool PathExists(const std::string& path);

// True when the program a command line starts exists, read as CreateProcess
// reads a command line without a separate program name: a quoted program runs
// to the closing quote; an unquoted one is the shortest prefix, ending at a
// space or tab, that names an existing file. A name without an extension
// also matches with ".exe", and a name without a folder is looked up on the
// system's search path (the program's folder, the current folder, the system
// folders, PATH). On 64-bit Windows the 32-bit build looks at the folders as
// the 64-bit shell that starts the entries sees them.
bool CommandProgramExists(const std::string& commandLine);

// The full path of the program a command line starts, found as
// CommandProgramExists finds it; empty when there is none.
std::string CommandProgramPath(const std::string& commandLine);
