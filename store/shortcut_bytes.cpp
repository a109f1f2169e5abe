#include "store/shortcut_bytes.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "startup/shell_link_file.h"
#include "startup/shortcut_folder_startup_list.h"

namespace {

// Shortcut files are a few KiB; anything larger is not kept.
constexpr size_t kLargestShortcut = 64 * 1024;

// The shell reads the bytes: true when they load as a shortcut whose target
// reads back, as the folder list reads it, as `command`. Bytes edited by hand,
// or stored for another command, are not trusted with the item.
bool LeadsTo(const std::string& bytes, const std::string& command) {
    ShellLinkFile shortcut;
    std::string target;
    return shortcut.LoadFromBytes(bytes) && shortcut.ReadTarget(target) && target == command;
}

}  // namespace

bool SaveShortcutBytes(const StartupList& live, const std::string& linksKeyPath) {
    const auto* folder = dynamic_cast<const ShortcutFolderStartupList*>(&live);
    if (folder == nullptr) return true;
    RegKey links;  // created with its first value, so that no empty key is left
    bool allStored = true;
    std::string bytes;
    for (const StartupItem& item : live.Items()) {
        if (item.enabled == 0 || !ReadWholeFile(folder->ShortcutPath(item.name), kLargestShortcut, bytes)) continue;
        if (!links) links = CreateRegistryKey(HKEY_CURRENT_USER, linksKeyPath, kRegistryWrite);
        if (!links || !SetRegistryBinary(links.get(), item.name, bytes)) allStored = false;
    }
    return allStored;
}

bool RestoreShortcutBytes(const StartupList& stored, const StartupList& live, const std::string& linksKeyPath) {
    const auto* folder = dynamic_cast<const ShortcutFolderStartupList*>(&live);
    if (folder == nullptr) return true;
    // A configuration saved before shortcut bytes were kept has no such key.
    const RegKey links = OpenRegistryKey(HKEY_CURRENT_USER, linksKeyPath, kRegistryRead);
    if (!links) return true;
    bool allWritten = true;
    std::string bytes;
    for (const StartupItem& item : stored.Items()) {
        if (item.enabled == 0 || !live.Holds(item.name, 1)) continue;
        if (!GetRegistryBinary(links.get(), item.name, kLargestShortcut, bytes) || !LeadsTo(bytes, item.command)) {
            continue;
        }
        if (!ReplaceWholeFile(folder->ShortcutPath(item.name), bytes)) allWritten = false;
    }
    return allWritten;
}
