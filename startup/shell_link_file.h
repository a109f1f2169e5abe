#pragma once

#include "platform/handles.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

// What a shortcut holds beside its target, as the shell reads it; texts in
// the program's code page.
struct ShortcutProperties {
    std::string arguments;
    std::string workingFolder;
    std::string iconPath;
    int iconIndex = 0;
    std::string description;
    WORD hotKey = 0;
    int showCommand = SW_SHOWNORMAL;
    bool runAsAdministrator = false;
};

// One shell link object, held for one walk of a folder or one write. Every
// operation is false when the object could not be created. Texts go in and
// out in the program's code page, and reach the object through its wide
// interface, so that under the UTF-8 code page no character is lost.
class ShellLinkFile {
public:
    ShellLinkFile();
    ShellLinkFile(const ShellLinkFile&) = delete;
    ShellLinkFile& operator=(const ShellLinkFile&) = delete;
    ~ShellLinkFile();

    // False for a path of 260 characters or more, which does not fit the
    // shell's wide path buffer.
    bool LoadFrom(const std::string& path);
    bool SaveTo(const std::string& path);
    // Loads the shortcut from the bytes of a shortcut file held in memory.
    bool LoadFromBytes(const std::string& bytes);
    // The bytes SaveTo would write into a file, made in memory.
    bool SaveToBytes(std::string& bytes);
    // Reads the target path into `buffer` (of `size` bytes, zero-terminated;
    // a longer path is cut).
    bool GetTarget(char* buffer, int size, WIN32_FIND_DATAA* findData, DWORD flags);
    // The target path as a shortcut folder's items carry it: read without
    // flags.
    bool ReadTarget(std::string& target);
    bool SetTarget(const std::string& text);
    // Everything but the target of the loaded shortcut.
    bool ReadProperties(ShortcutProperties& properties);

private:
    // The target path, read into a MAX_PATH buffer of wide characters and
    // given in the program's code page.
    bool ReadWideTarget(std::string& target, WIN32_FIND_DATAW* findData, DWORD flags);
    template <class Action>
    bool WithPersistFile(const std::string& path, Action&& action);
    // The link's stream persistence and an empty stream in memory.
    bool OpenMemoryStream(ComPtr<IPersistStream>& persist, ComPtr<IStream>& stream);

    ComPtr<IShellLinkW> link;
};
