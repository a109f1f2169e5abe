#include "platform/files.h"

#include "platform/handles.h"
#include "platform/system.h"

#include <windows.h>

#include <limits>

namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
    if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(file);
}

// A new empty file in `folder` (which ends in a backslash) with a name no
// other file has; false when none can be made.
bool MakeTemporaryFile(const std::string& folder, std::string& path) {
    // GetTempFileNameA appends up to 13 characters into a MAX_PATH buffer.
    constexpr size_t kLongestFolder = MAX_PATH - 14;
    if (folder.empty() || folder.size() > kLongestFolder) return false;
    char name[MAX_PATH];
    if (GetTempFileNameA(folder.c_str(), "vlt", 0, name) == 0) return false;
    name[MAX_PATH - 1] = '\0';
    path = name;
    return true;
}

bool MoveOver(const std::string& from, const std::string& to) {
    if (IsWindowsNT()) return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    // The Windows 95 family has no MoveFileExA; the old file has to go first.
    DeleteFileA(to.c_str());
    return MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

}  // namespace

bool ReadWholeFile(const std::string& path, size_t largest, std::string& bytes) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
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
    const size_t slash = path.find_last_of('\\');
    std::string temporary;
    if (slash == std::string::npos || !MakeTemporaryFile(path.substr(0, slash + 1), temporary)) return false;
    bool written;
    {
        UniqueHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        written = file && WriteAll(file.get(), bytes);
    }  // closed before it moves
    if (written && MoveOver(temporary, path)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool MayCreateFilesIn(const std::string& folder) {
    std::string probe;
    if (!MakeTemporaryFile(folder, probe)) return false;
    DeleteFileA(probe.c_str());
    return true;
}
