#pragma once

class BluetoothDevice;

// How the screens and the firmware update flow ask the connection controller to switch screens,
// connect, or reconnect after an update. Implemented by SMainView; called on the UI thread,
// except ReconnectDevice, which returns at once whatever thread calls it.
class IMainViewDelegate {
public:
    // 0 welcome, 1 connecting, 2 one-side failure, 3 connection failure, 4 home.
    virtual void UpdateMainView(int viewType) { (void)viewType; }
    virtual void OnConnectButtonClick() {}
    virtual void ReconnectDevice(BluetoothDevice* device) { (void)device; }

protected:
    ~IMainViewDelegate() = default;
};
