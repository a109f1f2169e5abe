#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

// What an enabled item of a Startup folder is; every other item is an Entry.
enum class ItemKind : unsigned char {
    Entry,  // a registry value, or a shortcut named after its file without ".lnk"
    File,   // any other file of the folder, named by its whole file name
};

// One startup entry. `enabled` says which place it lives in: 1 the live place
// (what Windows reads at start-up), 0 the disabled place where switched-off
// entries are parked.
//
// An entry kept in the registry is copied as the value it is: `type` and
// `data` are the value's type and its bytes exactly as read, and are what
// every write puts back. `command` is the same data read as text (the bytes up
// to the first zero), which is what a shortcut's target, a comparison of
// commands and the user see.
//
// A file item's `command` is the file's full path, and `data` that path as a
// REG_SZ value: its content is its bytes, which the item does not carry.
struct StartupItem {
    StartupItem() = default;
    // A REG_SZ entry: its data is the command and its terminating zero.
    StartupItem(std::string itemName, std::string itemCommand, unsigned char itemEnabled)
        : name(std::move(itemName)), command(std::move(itemCommand)), enabled(itemEnabled), data(command) {
        data.push_back('\0');
    }
    // An entry read from a registry value of any type.
    static StartupItem FromValue(std::string_view name, DWORD type, std::string_view data, unsigned char enabled) {
        StartupItem item;
        item.name.assign(name);
        item.command.assign(TextOf(data));
        item.enabled = enabled;
        item.type = type;
        item.data.assign(data);
        return item;
    }
    // Data taken as text: the bytes up to the first zero byte.
    static std::string_view TextOf(std::string_view data) { return data.substr(0, data.find('\0')); }

    StartupItem(const StartupItem&) = default;
    StartupItem(StartupItem&&) = default;
    StartupItem& operator=(const StartupItem&) = default;
    StartupItem& operator=(StartupItem&&) = default;
    virtual ~StartupItem() = default;

    // The same value: type and bytes (not the name or the place).
    bool SameValue(const StartupItem& other) const { return type == other.type && data == other.data; }
    bool IsFile() const { return kind == ItemKind::File; }

    std::string name;
    std::string command;
    unsigned char enabled = 1;
    DWORD type = REG_SZ;
    std::string data = std::string(1, '\0');
    ItemKind kind = ItemKind::Entry;
};
