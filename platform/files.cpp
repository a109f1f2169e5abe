#include "platform/files.h"

#include "platform/handles.h"
#include "platform/system.h"

#include <windows.h>

#include <cstdio>
#include <limits>

namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
    if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(file);
}

// Creates a new file in `folder` (which ends in a backslash) under a name no
// other file has, open for writing; false when none can be made. The name is
// the program's own rather than GetTempFileNameA's, which makes the file,
// closes it and leaves it to be opened again: one path lookup fewer per file.
bool CreateTemporaryFile(const std::string& folder, std::string& path, UniqueHandle& file) {
    // "~", 8 hex digits of process and count, ".tmp": 13 characters, as
    // GetTempFileNameA's names.
    constexpr size_t kLongestFolder = MAX_PATH - 14;
    if (folder.empty() || folder.size() > kLongestFolder) return false;
    static unsigned counter = 0;
    const unsigned process = static_cast<unsigned>(GetCurrentProcessId()) & 0xFFFFu;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "~%04x%04x.tmp", process, ++counter & 0xFFFFu);
        path = folder + name;
        HANDLE made = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        file.reset(made);
        if (file) return true;
        // Only a name another file has is worth another try.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

bool MoveOver(const std::string& from, const std::string& to) {
    if (IsWindowsNT()) return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    // The Windows 95 family has no MoveFileExA; the old file has to go first.
    DeleteFileA(to.c_str());
    return MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

}  // namespace

bool ReadWholeFile(const std::string& path, size_t largest, std::string& bytes, bool* unreadable) {
    HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    UniqueHandle file(opened);
    if (unreadable != nullptr) {
        *unreadable = !file && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    if (!file) return false;
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file.get(), &sizeHigh);
    if (size == INVALID_FILE_SIZE || sizeHigh != 0 || size > largest) return false;
    bytes.assign(size, '\0');
    DWORD read = 0;
    if (size > 0 && !ReadFile(file.get(), &bytes[0], size, &read, nullptr)) return false;
    // A file that shrank meanwhile was not read whole.
    return read == size;
}

bool ReplaceWholeFile(const std::string& path, const std::string& bytes) {
    // A new file replaces nothing, so it is written in place: one new name
    // for the file system to look up instead of two (under Wine each such
    // lookup reads the whole folder). Should the writing fail, it goes again.
    HANDLE made = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    UniqueHandle created(made);
    if (created) {
        const bool written = WriteAll(created.get(), bytes);
        created.reset();
        if (!written) DeleteFileA(path.c_str());
        return written;
    }
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    const size_t slash = path.find_last_of('\\');
    std::string temporary;
    UniqueHandle file;
    if (slash == std::string::npos || !CreateTemporaryFile(path.substr(0, slash + 1), temporary, file)) return false;
    const bool written = WriteAll(file.get(), bytes);
    file.reset();  // closed before it moves
    if (written && MoveOver(temporary, path)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool MayCreateFilesIn(const std::string& folder) {
    std::string probe;
    UniqueHandle file;
    if (!CreateTemporaryFile(folder, probe, file)) return false;
    file.reset();
    DeleteFileA(probe.c_str());
    return true;
}
