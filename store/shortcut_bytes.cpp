#include "store/shortcut_bytes.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "startup/shell_link_file.h"
#include "startup/shortcut_folder_startup_list.h"

namespace {

// The shell reads the bytes: true when they load as a shortcut whose target
// reads back, as the folder list reads it, as `command`. Bytes edited by hand,
// or stored for another command, are not trusted with the item.
bool LeadsTo(ShellLinkFile& reader, const std::string& bytes, const std::string& command) {
    std::string target;
    return reader.LoadFromBytes(bytes) && reader.ReadTarget(target) && target == command;
}

}  // namespace

StoredValues ReadShortcutFiles(const ShortcutFolderStartupList* folder) {
    StoredValues files;
    if (folder == nullptr) return files;
    std::string bytes;
    for (const StartupItem& item : folder->Items()) {
        if (item.enabled != 0 && !item.IsFile() && folder->ShortcutFileBytes(item.name, bytes)) {
            files[item.name] = bytes;
        }
    }
    return files;
}

bool ShortcutFileFor(ShellLinkFile& reader, const std::string* stored, const StartupItem& item, std::string& bytes,
                     bool& fromStore) {
    // A configuration saved before shortcut bytes were kept has none.
    fromStore = stored != nullptr && LeadsTo(reader, *stored, item.command);
    if (fromStore) {
        bytes = *stored;
        return true;
    }
    ShellLinkFile shortcut;
    shortcut.SetTarget(item.command);
    return shortcut.SaveToBytes(bytes);
}
