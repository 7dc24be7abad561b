#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of a drop-down menu: the platform's menu-state bits, the command it gives, its
// caption and how it is first drawn.
struct SMenuEntry {
    static constexpr uint32_t kStateDisabled = 0x2;
    static constexpr uint32_t kStateChecked = 0x8;
    static constexpr uint32_t kStateSeparator = 0x800;
    static constexpr int kSeparatorCommand = 1000;

    uint32_t state = 0;
    int command = 0;
    std::string caption;
    int redrawState = 0;

    bool IsSeparator() const { return (state & kStateSeparator) != 0; }
    bool IsDisabled() const { return (state & kStateDisabled) != 0; }
    bool IsChecked() const { return (state & kStateChecked) != 0; }
    // Whether choosing the entry gives its command.
    bool IsChoosable() const { return !IsSeparator() && !IsDisabled(); }
};

// A named list of menu entries, in display order.
struct SMenuDefinition {
    std::string name;
    std::vector<SMenuEntry> entries;

    // The entry that gives `command`, or null.
    SMenuEntry* FindCommand(int command) {
        for (SMenuEntry& entry : entries) {
            if (entry.command == command) {
                return &entry;
            }
        }
        return nullptr;
    }
};
