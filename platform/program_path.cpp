#include "platform/program_path.h"

#include "platform/system.h"

#include <windows.h>

#include <vector>

NativeFolders::NativeFolders() {
#if !defined(_WIN64)
    // Looked up at run time: systems without WOW64 lack the functions.
    using Disable = BOOL(WINAPI*)(PVOID*);
    auto disable = FindSystemFunction<Disable>("kernel32.dll", "Wow64DisableWow64FsRedirection");
    redirectionOff = IsWindows64() && disable != nullptr && disable(&saved);
#endif
}

NativeFolders::~NativeFolders() {
    using Revert = BOOL(WINAPI*)(PVOID);
    auto revert = FindSystemFunction<Revert>("kernel32.dll", "Wow64RevertWow64FsRedirection");
    if (redirectionOff && revert != nullptr) revert(saved);
}

namespace {

constexpr char kBlanks[] = " \t";

bool IsFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Finds a program as CreateProcess does: with ".exe" when the name has no
// extension, on the search path when it names no folder. Empty when there is
// no such file.
std::string FindProgramFile(const std::string& name) {
    if (name.empty()) return std::string();
    std::vector<char> found(MAX_PATH);
    for (;;) {
        const DWORD length = SearchPathA(nullptr, name.c_str(), ".exe", static_cast<DWORD>(found.size()),
                                         found.data(), nullptr);
        if (length == 0) return std::string();
        // The search path also finds folders, which no command starts.
        if (length < found.size()) return IsFile(found.data()) ? std::string(found.data(), length) : std::string();
        found.resize(length + 1);
    }
}

}  // namespace

std::string ExpandEnvironment(const std::string& text) {
    std::vector<char> expanded(text.size() + 1);
    // Each try learns the size the next one needs; a few are plenty.
    for (int tries = 0; tries < 4; ++tries) {
        const DWORD needed =
            ExpandEnvironmentStringsA(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0) return text;
        if (needed <= expanded.size()) return std::string(expanded.data());
        expanded.resize(needed + 1);
    }
    return text;
}

bool PathExists(const std::string& path) {
    const NativeFolders native;
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CommandProgramPath(const std::string& commandLine) {
    const NativeFolders native;
    const size_t start = commandLine.find_first_not_of(kBlanks);
    if (start == std::string::npos) return std::string();
    if (commandLine[start] == '"') {
        const size_t close = commandLine.find('"', start + 1);
        return FindProgramFile(commandLine.substr(start + 1, close == std::string::npos ? close : close - start - 1));
    }
    // "C:\Program Files\App\app.exe -x" tries "C:\Program", then "C:\Program Files\App\app.exe".
    size_t end = start;
    do {
        end = commandLine.find_first_of(kBlanks, end + 1);
        std::string found = FindProgramFile(commandLine.substr(start, end == std::string::npos ? end : end - start));
        if (!found.empty()) return found;
    } while (end != std::string::npos);
    return std::string();
}

bool CommandProgramExists(const std::string& commandLine) { return !CommandProgramPath(commandLine).empty(); }
