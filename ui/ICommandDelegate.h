#pragma once

// Receives a frame's menu and accelerator commands.
class ICommandDelegate {
public:
    // The window message that carries a command posted to a frame (a menu's choice): the
    // command identifier is the message's parameter.
    static constexpr int kCommandMessage = 0x0111;

    virtual ~ICommandDelegate() = default;
    // Nonzero when the command was handled.
    virtual int OnCommand(int commandId) = 0;
};
