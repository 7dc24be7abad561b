#include "platform/bluetooth/bluez/BluezAgent.h"

#include "base/Log.h"

namespace platform::bluetooth {
namespace {

constexpr const char* kInterface = "org.bluez.Agent1";

}  // namespace

BluezAgent::BluezAgent(sdbus::IConnection& bus) : m_object(sdbus::createObject(bus, kPath)) {
    registerMethods();
    m_object->finishRegistration();
}

BluezAgent::~BluezAgent() = default;

void BluezAgent::setTarget(const std::string& devicePath) {
    std::lock_guard lock(m_mutex);
    m_target = devicePath;
}

void BluezAgent::admit(const sdbus::ObjectPath& device, const char* request) const {
    bool accepted = false;
    {
        std::lock_guard lock(m_mutex);
        accepted = !m_target.empty() && device == m_target;
    }
    _Log(LOG_INFO, "BluezAgent::admit", __LINE__, "%s for %s: %s", request, device.c_str(),
         accepted ? "accepted" : "rejected (not the device being paired)");
    if (!accepted) {
        throw sdbus::Error("org.bluez.Error.Rejected", "not the device being paired");
    }
}

void BluezAgent::registerMethods() {
    m_object->registerMethod("Release").onInterface(kInterface).implementedAs([] {
        _Log(LOG_INFO, "BluezAgent::Release", __LINE__, "agent released by BlueZ");
    });
    m_object->registerMethod("Cancel").onInterface(kInterface).implementedAs([] {
        _Log(LOG_INFO, "BluezAgent::Cancel", __LINE__, "BlueZ cancelled the pending request");
    });
    m_object->registerMethod("RequestPinCode")
        .onInterface(kInterface)
        .implementedAs([this](const sdbus::ObjectPath& device) {
            admit(device, "RequestPinCode");
            return std::string(kPinCode);
        });
    m_object->registerMethod("DisplayPinCode")
        .onInterface(kInterface)
        .implementedAs([this](const sdbus::ObjectPath& device, const std::string& /*pin*/) {
            admit(device, "DisplayPinCode");
        });
    m_object->registerMethod("RequestPasskey")
        .onInterface(kInterface)
        .implementedAs([this](const sdbus::ObjectPath& device) {
            admit(device, "RequestPasskey");
            return uint32_t{0};
        });
    m_object->registerMethod("DisplayPasskey")
        .onInterface(kInterface)
        .implementedAs([this](const sdbus::ObjectPath& device, uint32_t /*passkey*/,
                              uint16_t /*entered*/) { admit(device, "DisplayPasskey"); });
    m_object->registerMethod("RequestConfirmation")
        .onInterface(kInterface)
        .implementedAs([this](const sdbus::ObjectPath& device, uint32_t /*passkey*/) {
            admit(device, "RequestConfirmation");
        });
    m_object->registerMethod("RequestAuthorization")
        .onInterface(kInterface)
        .implementedAs(
            [this](const sdbus::ObjectPath& device) { admit(device, "RequestAuthorization"); });
    m_object->registerMethod("AuthorizeService")
        .onInterface(kInterface)
        .implementedAs([this](const sdbus::ObjectPath& device, const std::string& /*uuid*/) {
            admit(device, "AuthorizeService");
        });
}

}  // namespace platform::bluetooth
