#include "link/BluetoothDevice.h"

BluetoothDevice::BluetoothDevice(std::string name, uint64_t address)
    : name(std::move(name)), address(address) {}

std::string BluetoothDevice::modelCode() const {
    std::lock_guard lock(m_mutex);
    return m_modelCode;
}

void BluetoothDevice::setModelCode(const std::string& code) {
    std::lock_guard lock(m_mutex);
    m_modelCode = code;
}
