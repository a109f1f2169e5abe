#include "startup/shortcut_folder_startup_list.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "startup/shell_link_file.h"

#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr size_t kLongestName = 255;

// By its extension, as Windows opens the file at logon: a shortcut saved as
// Foo.bak is opened as a .bak file, and is one.
bool IsShortcutName(const char* fileName) {
    const char* dot = std::strrchr(fileName, '.');
    return dot != nullptr && _stricmp(dot, ".lnk") == 0;
}

// Windows skips hidden system files at logon, and configurations keep no
// large files.
bool IsLeftOut(DWORD attributes, DWORD sizeHigh, DWORD sizeLow) {
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attributes & kHiddenSystem) == kHiddenSystem ||
           sizeHigh != 0 || sizeLow > kLargestFileItem;
}

StartupItem FileItem(const char* fileName, const std::string& path) {
    StartupItem item(fileName, path, 1);
    item.kind = ItemKind::File;
    return item;
}

// The item name of a shortcut file: its name up to the last dot, at most 255
// characters.
std::string ItemName(const char* fileName) {
    std::string name(fileName);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.size() > kLongestName) name.erase(kLongestName);
    return name;
}

// Windows opens a device for the part of a name before its first dot, spaces
// at its end dropped: "nul.txt" and "CON .lnk" are devices.
bool IsDeviceName(const std::string& fileName) {
    std::string base = fileName.substr(0, fileName.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    for (char& c : base) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

}  // namespace

bool IsFolderFileName(const std::string& fileName) {
    if (fileName.empty() || fileName.back() == '.' || fileName.back() == ' ') return false;
    for (const unsigned char c : fileName) {
        if (c < 32 || c == '\\' || c == '/' || c == ':') return false;
    }
    return !IsDeviceName(fileName);
}

std::string FolderFileName(const StartupItem& item) { return item.IsFile() ? item.name : item.name + ".lnk"; }

ShortcutFolderStartupList::ShortcutFolderStartupList(int index, std::string folderPath, HKEY disabledRootKey,
                                                     std::string disabled)
    : StartupList(index), folder(std::move(folderPath)), disabledRoot(disabledRootKey), disabledPath(std::move(disabled)) {
    ShortcutFolderStartupList::Reload();
}

ShortcutFolderStartupList::~ShortcutFolderStartupList() = default;

bool ShortcutFolderStartupList::Reload() {
    items.clear();
    EnumerateFolder(folder);
    ReadValues(disabledRoot, disabledPath, 0);
    return true;
}

bool ShortcutFolderStartupList::KnownShortcut::Matches(const WIN32_FIND_DATAA& entry) const {
    return sizeHigh == entry.nFileSizeHigh && sizeLow == entry.nFileSizeLow &&
           CompareFileTime(&creationTime, &entry.ftCreationTime) == 0 &&
           CompareFileTime(&lastWriteTime, &entry.ftLastWriteTime) == 0;
}

bool ShortcutFolderStartupList::EnumerateFolder(const std::string& folderPath) {
    // What this walk keeps: the files it returns that parsed, now or before.
    std::map<std::wstring, KnownShortcut> kept;
    // Made when the first file has to be parsed.
    std::optional<ShellLinkFile> shortcut;
    missedShortcut = false;
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA((folderPath + "*.*").c_str(), &entry));
    if (search.get() == INVALID_HANDLE_VALUE) {
        known.clear();
        rewritten.clear();
        return false;
    }
    bool appended = false;
    std::string path;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        path.assign(folderPath).append(entry.cFileName);
        if (!IsShortcutName(entry.cFileName)) {
            // A path the 8-bit calls cannot open could be neither saved nor restored.
            if (IsLeftOut(entry.dwFileAttributes, entry.nFileSizeHigh, entry.nFileSizeLow) || path.size() >= MAX_PATH) {
                continue;
            }
            items.push_back(FileItem(entry.cFileName, path));
            appended = true;
            continue;
        }
        const std::wstring key = NameKey(entry.cFileName);
        auto before = known.extract(key);
        const KnownShortcut* file = nullptr;
        if (!before.empty() && before.mapped().Matches(entry) && !WasRewritten(entry)) {
            file = &kept.insert(std::move(before)).position->second;
        } else {
            if (!shortcut) shortcut.emplace();
            KnownShortcut read{entry.nFileSizeHigh, entry.nFileSizeLow, entry.ftCreationTime, entry.ftLastWriteTime,
                               {}, false, {}};
            // Read once, for the shell and for a configuration; a file too
            // large to keep is left to the shell alone, as is a path the
            // shell refuses (it then stays no item).
            bool unreadable = false;
            read.whole = path.size() < MAX_PATH && ReadWholeFile(path, kLargestShortcut, read.bytes, &unreadable);
            if (unreadable) {
                missedShortcut = true;
                continue;
            }
            if (!read.whole) read.bytes.clear();
            // Damaged shortcut files fail to load.
            if (!(read.whole ? shortcut->LoadFromBytes(read.bytes) : shortcut->LoadFrom(path))) continue;
            if (!shortcut->ReadTarget(read.target)) continue;
            file = &kept.insert_or_assign(key, std::move(read)).first->second;
        }
        items.emplace_back(ItemName(entry.cFileName), file->target, static_cast<unsigned char>(1));
        appended = true;
    } while (FindNextFileA(search.get(), &entry));
    // Files the walk no longer returns are dropped with the rest.
    known = std::move(kept);
    rewritten.clear();
    return appended;
}

void ShortcutFolderStartupList::Rewrote(const std::string& fileName) { rewritten.insert(NameKey(fileName)); }

bool ShortcutFolderStartupList::WasRewritten(const WIN32_FIND_DATAA& entry) const {
    // The list may have written it under its short name.
    return rewritten.count(NameKey(entry.cFileName)) != 0 ||
           (entry.cAlternateFileName[0] != '\0' && rewritten.count(NameKey(entry.cAlternateFileName)) != 0);
}

bool ShortcutFolderStartupList::ShortcutFileBytes(const std::string& name, std::string& bytes,
                                                  std::string* target) const {
    const std::wstring key = NameKey(name + ".lnk");
    if (rewritten.count(key) != 0) {
        if (target != nullptr) target->clear();
        return ReadWholeFile(ShortcutPath(name), kLargestShortcut, bytes);
    }
    auto found = known.find(key);
    if (found == known.end() || !found->second.whole) return false;
    bytes = found->second.bytes;
    if (target != nullptr) *target = found->second.target;
    return true;
}

bool ShortcutFolderStartupList::WriteItem(const StartupItem& item) {
    if (item.IsFile()) return false;  // its bytes come with WriteWholeFile
    if (item.enabled != 0) {
        if (!IsFolderFileName(FolderFileName(item))) return false;
        ShellLinkFile shortcut;
        shortcut.SetTarget(item.command);  // a target the shell refuses still leaves a shortcut, as ever
        const bool saved = shortcut.SaveTo(ShortcutPath(item.name));
        Rewrote(item.name + ".lnk");
        return saved;
    }
    RegKey key = CreateRegistryKey(disabledRoot, disabledPath, kRegistryWrite);
    return key && SetItemValue(key.get(), item);
}

bool ShortcutFolderStartupList::DeleteItem(const StartupItem& item) {
    if (item.IsFile()) return DeleteFileA(FilePath(item.name).c_str()) != FALSE;
    // A file deleted is gone from the next walk; one that was not is unchanged.
    if (item.enabled != 0) return DeleteFileA(ShortcutPath(item.name).c_str()) != FALSE;
    RegKey key = OpenRegistryKey(disabledRoot, disabledPath, kRegistryWrite);
    return key && DeleteRegistryValue(key.get(), item.name);
}

bool ShortcutFolderStartupList::MayChange(unsigned char enabled) const {
    return enabled != 0 ? MayCreateFilesIn(folder) : MayWriteRegistryKey(disabledRoot, disabledPath, kRegistryWrite);
}

bool ShortcutFolderStartupList::WriteShortcutFile(const std::string& name, const std::string& bytes) {
    if (!IsFolderFileName(name + ".lnk")) return false;
    const bool written = ReplaceWholeFile(ShortcutPath(name), bytes);
    Rewrote(name + ".lnk");
    return written;
}

bool ShortcutFolderStartupList::WriteWholeFile(const std::string& name, const std::string& bytes) {
    // Names come from a configuration, which may have been edited by hand.
    if (!IsFolderFileName(name)) return false;
    const std::string path = FilePath(name);
    return path.size() < MAX_PATH && ReplaceWholeFile(path, bytes);
}

bool ShortcutFolderStartupList::LeavesOut(const std::string& name) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(FilePath(name).c_str(), GetFileExInfoStandard, &data) &&
           IsLeftOut(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
}

bool ShortcutFolderStartupList::Add(const StartupItem& item) {
    // `item` may be one of our own items, which Reload destroys.
    WriteItem(item);
    return Reload();
}

bool ShortcutFolderStartupList::Remove(const StartupItem& item) {
    DeleteItem(item);
    return Reload();
}

bool ShortcutFolderStartupList::WriteShortcuts(const std::string& folderPath, int selector) {
    ShellLinkFile shortcut;
    bool allSaved = true;
    for (const StartupItem& item : items) {
        // A file item's bytes are not in the list; its file stays as it is.
        if (!Selects(selector, item) || item.IsFile()) continue;
        if (!IsFolderFileName(FolderFileName(item))) {
            allSaved = false;
            continue;
        }
        const std::string path = folderPath + item.name + ".lnk";
        if (!shortcut.SetTarget(item.command) || !shortcut.SaveTo(path)) allSaved = false;
        Rewrote(item.name + ".lnk");
    }
    return allSaved;
}

bool ShortcutFolderStartupList::Store() {
    DeleteRegistryKey(disabledRoot, disabledPath);
    const bool shortcutsWritten = WriteShortcuts(folder, kSelectEnabled);
    // The disabled key is written back whatever became of the shortcuts: the
    // key is gone, and its items exist nowhere else.
    CreateRegistryKey(disabledRoot, disabledPath, kRegistryWrite);
    const bool disabledWritten = WriteValues(disabledRoot, disabledPath, kSelectDisabled);
    return shortcutsWritten && disabledWritten;
}

HANDLE ShortcutFolderStartupList::StartWatch() {
    char path[MAX_PATH];
    if (folder.empty() || folder.size() >= MAX_PATH) return INVALID_HANDLE_VALUE;
    std::memcpy(path, folder.c_str(), folder.size() + 1);
    // Systems of the Windows 95 family want the folder without its trailing
    // backslash. A folder given without one keeps its last character: cutting
    // it would watch another folder, or none.
    if (!IsWindowsNT() && path[folder.size() - 1] == '\\') path[folder.size() - 1] = '\0';
    return FindFirstChangeNotificationA(path, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
}

HANDLE ShortcutFolderStartupList::RearmWatch(HANDLE handle) {
    FindNextChangeNotification(handle);
    return handle;
}

void ShortcutFolderStartupList::StopWatch(HANDLE handle) { FindCloseChangeNotification(handle); }
