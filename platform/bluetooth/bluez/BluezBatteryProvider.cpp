#include "platform/bluetooth/bluez/BluezBatteryProvider.h"

#include <sdbus-c++/sdbus-c++.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "base/Log.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/dbus/BusThreadWait.h"

namespace platform::bluetooth {

namespace {

constexpr const char* kBatteryInterface = "org.bluez.BatteryProvider1";
constexpr const char* kManagerInterface = "org.bluez.BatteryProviderManager1";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr auto kCallTimeout = std::chrono::seconds(3);

using Properties = std::map<std::string, sdbus::Variant>;
using ManagedObjects = std::map<sdbus::ObjectPath, std::map<std::string, Properties>>;

struct Battery {
    uint64_t address = 0;
    int percent = -1;

    bool operator==(const Battery&) const = default;
};

}  // namespace

struct BluezBatteryProvider::Impl {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Battery> wanted;  // what the desktop should show
    uint64_t wishes = 0;            // counts show/remove calls
    uint64_t applied = 0;           // wishes the thread has carried out
    bool stopping = false;
    std::string busName;
    std::thread thread;

    // Only the thread below touches these.
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IObject> root;
    std::unique_ptr<sdbus::IObject> batteryObject;
    std::optional<Battery> shown;
    std::string registeredAdapter;
    std::shared_ptr<std::atomic<int>> shownPercent = std::make_shared<std::atomic<int>>(0);
    bool unavailable = false;

    int wakeFd = -1;  // eventfd: a new wish or the end

    void run();
    void waitForWork();
    void wake();
    void apply(const std::optional<Battery>& next);
    bool connect();
    bool findDevice(uint64_t address, std::string& device, std::string& adapter);
    void exportBattery(const Battery& battery, const std::string& device);
    void withdrawBattery();
    void registerWith(const std::string& adapter);
    void giveUp(const std::string& why);
};

void BluezBatteryProvider::Impl::giveUp(const std::string& why) {
    _Log(LOG_INFO, "BluezBatteryProvider", __LINE__,
         "the desktop's battery indicator cannot show the earbuds: %s", why.c_str());
    unavailable = true;
}

bool BluezBatteryProvider::Impl::connect() {
    if (connection) {
        return true;
    }
    try {
        connection = sdbus::createSystemBusConnection();
        root = sdbus::createObject(*connection, kRootPath);
        root->addObjectManager();
        root->finishRegistration();
        std::lock_guard lock(mutex);
        busName = connection->getUniqueName();
    } catch (const sdbus::Error& error) {
        root.reset();
        connection.reset();
        giveUp("no system bus (" + error.getMessage() + ")");
        return false;
    }
    return true;
}

bool BluezBatteryProvider::Impl::findDevice(uint64_t address, std::string& device,
                                            std::string& adapter) {
    ManagedObjects objects;
    try {
        auto bluez = sdbus::createProxy(*connection, "org.bluez", "/");
        bluez->callMethod("GetManagedObjects")
            .onInterface(kObjectManager)
            .withTimeout(kCallTimeout)
            .storeResultsTo(objects);
    } catch (const sdbus::Error& error) {
        _Log(LOG_INFO, "BluezBatteryProvider", __LINE__, "BlueZ's objects cannot be read: %s",
             error.getMessage().c_str());
        return false;
    }
    const std::string wanted = formatAddress(address);
    for (const auto& [path, interfaces] : objects) {
        const auto deviceInterface = interfaces.find("org.bluez.Device1");
        if (deviceInterface == interfaces.end()) {
            continue;
        }
        const Properties& properties = deviceInterface->second;
        const auto addressProperty = properties.find("Address");
        const auto adapterProperty = properties.find("Adapter");
        if (addressProperty == properties.end() || adapterProperty == properties.end() ||
            !addressProperty->second.containsValueOfType<std::string>() ||
            addressProperty->second.get<std::string>() != wanted) {
            continue;
        }
        device = path;
        adapter = adapterProperty->second.get<sdbus::ObjectPath>();
        return true;
    }
    _Log(LOG_INFO, "BluezBatteryProvider", __LINE__, "BlueZ lists no device %s", wanted.c_str());
    return false;
}

void BluezBatteryProvider::Impl::exportBattery(const Battery& battery, const std::string& device) {
    std::string leaf = "dev_" + formatAddress(battery.address);
    for (char& c : leaf) {
        c = c == ':' ? '_' : c;
    }
    shownPercent->store(battery.percent);
    batteryObject = sdbus::createObject(*connection, std::string(kRootPath) + "/" + leaf);
    const sdbus::ObjectPath devicePath(device);
    const std::shared_ptr<std::atomic<int>> percent = shownPercent;
    batteryObject->registerProperty("Device")
        .onInterface(kBatteryInterface)
        .withGetter([devicePath] { return devicePath; });
    batteryObject->registerProperty("Percentage")
        .onInterface(kBatteryInterface)
        .withGetter([percent] { return static_cast<uint8_t>(percent->load()); });
    batteryObject->registerProperty("Source").onInterface(kBatteryInterface).withGetter([] {
        return std::string(kSource);
    });
    batteryObject->finishRegistration();
    batteryObject->emitInterfacesAddedSignal({kBatteryInterface});
}

void BluezBatteryProvider::Impl::withdrawBattery() {
    if (!batteryObject) {
        return;
    }
    try {
        batteryObject->emitInterfacesRemovedSignal({kBatteryInterface});
    } catch (const sdbus::Error& error) {
        _Log(LOG_INFO, "BluezBatteryProvider", __LINE__, "battery removal not announced: %s",
             error.getMessage().c_str());
    }
    batteryObject.reset();
}

void BluezBatteryProvider::Impl::registerWith(const std::string& adapter) {
    if (registeredAdapter == adapter) {
        return;
    }
    try {
        auto manager = sdbus::createProxy(*connection, "org.bluez", adapter);
        manager->callMethod("RegisterBatteryProvider")
            .onInterface(kManagerInterface)
            .withTimeout(kCallTimeout)
            .withArguments(sdbus::ObjectPath(kRootPath));
        registeredAdapter = adapter;
        _Log(LOG_INFO, "BluezBatteryProvider", __LINE__,
             "the earbuds' battery shows in the desktop's indicator (provider on %s)",
             adapter.c_str());
    } catch (const sdbus::Error& error) {
        withdrawBattery();
        giveUp("BlueZ offers no battery provider interface on " + adapter + " (" + error.getName() +
               ")");
    }
}

void BluezBatteryProvider::Impl::apply(const std::optional<Battery>& next) {
    if (next == shown || unavailable) {
        return;
    }
    if (shown && next && shown->address == next->address && batteryObject) {
        shownPercent->store(next->percent);
        batteryObject->emitPropertiesChangedSignal(kBatteryInterface, {"Percentage"});
        shown = next;
        return;
    }
    withdrawBattery();
    shown.reset();
    if (!next || !connect()) {
        return;
    }
    std::string device;
    std::string adapter;
    if (!findDevice(next->address, device, adapter)) {
        return;
    }
    // The object exists before the registration, so BlueZ finds it in its first look.
    exportBattery(*next, device);
    registerWith(adapter);
    if (!unavailable) {
        shown = next;
    }
}

// One thread owns the bus connection: it applies wishes and answers BlueZ's reads of the
// battery object, sleeping in poll() on the bus and on a wake-up descriptor in between.
void BluezBatteryProvider::Impl::run() {
    while (true) {
        std::optional<Battery> next;
        uint64_t upTo = 0;
        {
            std::lock_guard lock(mutex);
            if (stopping) {
                break;
            }
            next = wanted;
            upTo = wishes;
        }
        if (upTo != applied) {
            try {
                apply(next);
            } catch (const sdbus::Error& error) {
                _Log(LOG_WARNING, "BluezBatteryProvider", __LINE__, "battery update failed: %s",
                     error.getMessage().c_str());
            }
            std::lock_guard lock(mutex);
            applied = upTo;
            changed.notify_all();
        }
        waitForWork();
    }
    if (connection) {
        withdrawBattery();
        while (connection->processPendingRequest()) {
        }
        root.reset();
        connection.reset();
    }
}

void BluezBatteryProvider::Impl::waitForWork() {
    platform::dbus::BusThreadWait::wait(connection.get(), wakeFd, [](const sdbus::Error& error) {
        _Log(LOG_WARNING, "BluezBatteryProvider", __LINE__, "bus connection failed: %s",
             error.getMessage().c_str());
    });
}

void BluezBatteryProvider::Impl::wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
}

BluezBatteryProvider::BluezBatteryProvider() : m_impl(std::make_unique<Impl>()) {
    m_impl->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->run(); });
}

BluezBatteryProvider::~BluezBatteryProvider() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->wake();
    m_impl->thread.join();
    ::close(m_impl->wakeFd);
}

void BluezBatteryProvider::show(uint64_t address, int percent) {
    if (percent < 0 || percent > 100) {
        return;
    }
    std::lock_guard lock(m_impl->mutex);
    m_impl->wanted = Battery{address, percent};
    ++m_impl->wishes;
    m_impl->wake();
}

void BluezBatteryProvider::remove() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->wanted.reset();
    ++m_impl->wishes;
    m_impl->wake();
}

bool BluezBatteryProvider::settle(int timeoutMs) {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this] { return m_impl->applied == m_impl->wishes; });
}

std::string BluezBatteryProvider::busName() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->busName;
}

}  // namespace platform::bluetooth
