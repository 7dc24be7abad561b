#pragma once

// Receives a frame's menu and accelerator commands.
class ICommandDelegate {
public:
    virtual ~ICommandDelegate() = default;
    // Nonzero when the command was handled.
    virtual int OnCommand(int commandId) = 0;
};
