#include "platform/program_path.h"

#include "platform/system.h"

#include <windows.h>

#include <vector>

namespace {

constexpr char kBlanks[] = " \t";

// While it lives, a 32-bit build on 64-bit Windows sees the system folder as
// 64-bit programs see it, rather than its 32-bit stand-in: the shell that
// starts the entries is a 64-bit program.
class NativeFolders {
public:
    NativeFolders() {
#if !defined(_WIN64)
        // Looked up at run time: systems without WOW64 lack the functions.
        using Disable = BOOL(WINAPI*)(PVOID*);
        auto disable = FindSystemFunction<Disable>("kernel32.dll", "Wow64DisableWow64FsRedirection");
        redirectionOff = IsWindows64() && disable != nullptr && disable(&saved);
#endif
    }
    ~NativeFolders() {
        using Revert = BOOL(WINAPI*)(PVOID);
        auto revert = FindSystemFunction<Revert>("kernel32.dll", "Wow64RevertWow64FsRedirection");
        if (redirectionOff && revert != nullptr) revert(saved);
    }
    NativeFolders(const NativeFolders&) = delete;
    NativeFolders& operator=(const NativeFolders&) = delete;

private:
    PVOID saved = nullptr;
    bool redirectionOff = false;
};

bool IsFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Finds a program as CreateProcess does: with ".exe" when the name has no
// extension, on the search path when it names no folder.
bool ProgramFileExists(const std::string& name) {
    if (name.empty()) return false;
    std::vector<char> found(MAX_PATH);
    for (;;) {
        const DWORD length = SearchPathA(nullptr, name.c_str(), ".exe", static_cast<DWORD>(found.size()),
                                         found.data(), nullptr);
        if (length == 0) return false;
        // The search path also finds folders, which no command starts.
        if (length < found.size()) return IsFile(found.data());
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

bool CommandProgramExists(const std::string& commandLine) {
    const NativeFolders native;
    const size_t start = commandLine.find_first_not_of(kBlanks);
    if (start == std::string::npos) return false;
    if (commandLine[start] == '"') {
        const size_t close = commandLine.find('"', start + 1);
        return ProgramFileExists(commandLine.substr(start + 1, close == std::string::npos ? close : close - start - 1));
    }
    // "C:\Program Files\App\app.exe -x" tries "C:\Program", then "C:\Program Files\App\app.exe".
    size_t end = start;
    do {
        end = commandLine.find_first_of(kBlanks, end + 1);
        if (ProgramFileExists(commandLine.substr(start, end == std::string::npos ? end : end - start))) return true;
    } while (end != std::string::npos);
    return false;
}
