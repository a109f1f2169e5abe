#pragma once

#include <string>
#include <utility>

// One startup entry. `enabled` says which place it lives in: 1 the live place
// (what Windows reads at start-up), 0 the disabled place where switched-off
// entries are parked.
struct StartupItem {
    StartupItem() = default;
    StartupItem(std::string itemName, std::string itemCommand, unsigned char itemEnabled)
        : name(std::move(itemName)), command(std::move(itemCommand)), enabled(itemEnabled) {}
    StartupItem(const StartupItem&) = default;
    StartupItem(StartupItem&&) = default;
    StartupItem& operator=(const StartupItem&) = default;
    StartupItem& operator=(StartupItem&&) = default;
    virtual ~StartupItem() = default;

    std::string name;
    std::string command;
    unsigned char enabled = 1;
};
