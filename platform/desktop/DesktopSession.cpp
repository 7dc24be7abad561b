#include "platform/desktop/DesktopSession.h"

#include <sdbus-c++/sdbus-c++.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "base/Log.h"
#include "platform/Thread.h"
#include "platform/dbus/BusThreadWait.h"
#include "platform/desktop/dbus/DbusMenuObject.h"
#include "platform/desktop/dbus/NotificationSender.h"
#include "platform/desktop/dbus/SniTypes.h"
#include "platform/desktop/dbus/StatusNotifierItemObject.h"

namespace platform::desktop {

struct DesktopSession::Impl {
    Handlers handlers;
    std::string appName;
    std::string itemId;

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<TrayContent> wantedTray;  // what the panel should show; nothing: no item
    std::deque<DesktopNotice> pendingNotices;
    uint64_t wishes = 0;   // counts calls
    uint64_t applied = 0;  // calls the thread has carried out
    bool stopping = false;
    bool started = false;
    std::string busName;
    std::atomic<bool> shown{false};
    std::thread thread;
    int wakeFd = -1;

    // Only the thread touches these.
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IProxy> watcher;
    sdbus::Slot watcherMatch;
    std::unique_ptr<StatusNotifierItemObject> item;
    std::unique_ptr<DbusMenuObject> menu;
    std::unique_ptr<NotificationSender> notices;
    std::string itemName;  // the well-known name the item owns while it exists
    bool watcherPresent = false;
    bool registering = false;
    bool unavailable = false;
    std::optional<TrayContent> shownTray;

    void wish(const std::function<void()>& change);
    void run();
    void waitForWork();
    bool connect();
    void applyTray(const std::optional<TrayContent>& next);
    void createItem();
    void withdrawItem();
    void registerWithWatcher();
    void setShown(bool value);
    void watcherChanged(bool present);
};

void DesktopSession::Impl::wish(const std::function<void()>& change) {
    {
        std::lock_guard lock(mutex);
        change();
        ++wishes;
        if (!started) {
            started = true;
            wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            thread = std::thread([this] {
                setCurrentThreadName("desktop");
                run();
            });
        }
    }
    const uint64_t one = 1;
    if (wakeFd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    }
}

bool DesktopSession::Impl::connect() {
    if (connection) {
        return true;
    }
    if (unavailable) {
        return false;
    }
    try {
        connection = sdbus::createSessionBusConnection();
        {
            std::lock_guard lock(mutex);
            busName = connection->getUniqueName();
        }
        const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',") +
                                 "interface='org.freedesktop.DBus',member='NameOwnerChanged'," +
                                 "arg0='" + kWatcherName + "'";
        watcherMatch = connection->addMatch(rule, [this](sdbus::Message& message) {
            std::string name;
            std::string oldOwner;
            std::string newOwner;
            message >> name >> oldOwner >> newOwner;
            watcherChanged(!newOwner.empty());
        });
        // Asked once; from then on NameOwnerChanged tells when a panel comes or goes.
        bool present = false;
        auto bus = sdbus::createProxy(*connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        bus->callMethod("NameHasOwner")
            .onInterface("org.freedesktop.DBus")
            .withArguments(std::string(kWatcherName))
            .storeResultsTo(present);
        watcherPresent = present;
        if (!present) {
            _Log(LOG_INFO, "DesktopSession", __LINE__,
                 "no tray on this desktop (%s is not on the session bus)", kWatcherName);
        }
    } catch (const sdbus::Error& error) {
        _Log(LOG_INFO, "DesktopSession", __LINE__,
             "no session bus: no tray item and no notifications (%s)", error.getMessage().c_str());
        watcherMatch.reset();
        connection.reset();
        unavailable = true;
        return false;
    }
    return true;
}

void DesktopSession::Impl::setShown(bool value) {
    if (shown.exchange(value) != value && handlers.trayShown) {
        handlers.trayShown(value);
    }
}

void DesktopSession::Impl::watcherChanged(bool present) {
    watcherPresent = present;
    registering = false;
    if (!present) {
        _Log(LOG_INFO, "DesktopSession", __LINE__, "the tray went away");
        setShown(false);
        return;
    }
    // A panel (re)started: it knows nothing of us yet.
    setShown(false);
    if (item) {
        registerWithWatcher();
    }
}

void DesktopSession::Impl::createItem() {
    itemName = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1";
    connection->requestName(itemName);
    menu = std::make_unique<DbusMenuObject>(*connection, kMenuPath, [this](int id) {
        if (handlers.menuChosen) {
            handlers.menuChosen(id);
        }
    });
    item = std::make_unique<StatusNotifierItemObject>(*connection, itemId, kMenuPath, [this] {
        if (handlers.activate) {
            handlers.activate();
        }
    });
}

void DesktopSession::Impl::registerWithWatcher() {
    if (!watcherPresent || registering || shown.load()) {
        return;
    }
    registering = true;
    if (!watcher) {
        watcher = sdbus::createProxy(*connection, kWatcherName, sni::kWatcherPath);
    }
    // Asynchronous: a panel reads our properties before it answers, and this thread serves them.
    watcher->callMethodAsync("RegisterStatusNotifierItem")
        .onInterface(sni::kWatcherInterface)
        .withArguments(itemName)
        .uponReplyInvoke([this](const sdbus::Error* error) {
            registering = false;
            if (error != nullptr) {
                _Log(LOG_WARNING, "DesktopSession", __LINE__, "the tray refused the item: %s %s",
                     error->getName().c_str(), error->getMessage().c_str());
                return;
            }
            if (item) {
                _Log(LOG_INFO, "DesktopSession", __LINE__, "tray item shown");
                setShown(true);
            }
        });
}

void DesktopSession::Impl::withdrawItem() {
    if (!item) {
        return;
    }
    item.reset();
    menu.reset();
    try {
        connection->releaseName(itemName);
    } catch (const sdbus::Error& error) {
        _Log(LOG_WARNING, "DesktopSession", __LINE__, "releasing %s: %s", itemName.c_str(),
             error.getMessage().c_str());
    }
    registering = false;
    setShown(false);
}

void DesktopSession::Impl::applyTray(const std::optional<TrayContent>& next) {
    if (next == shownTray) {
        return;
    }
    if (!next) {
        withdrawItem();
        shownTray.reset();
        return;
    }
    if (!connect()) {
        return;
    }
    if (!item) {
        createItem();
    }
    menu->update(next->menu, next->rightToLeft);
    item->update(*next);
    shownTray = next;
    registerWithWatcher();
}

void DesktopSession::Impl::run() {
    while (true) {
        std::optional<TrayContent> tray;
        std::deque<DesktopNotice> toSend;
        uint64_t upTo = 0;
        {
            std::lock_guard lock(mutex);
            if (stopping) {
                break;
            }
            tray = wantedTray;
            toSend.swap(pendingNotices);
            upTo = wishes;
        }
        if (upTo != applied) {
            try {
                applyTray(tray);
                if (!toSend.empty() && connect()) {
                    if (!notices) {
                        notices =
                            std::make_unique<NotificationSender>(*connection, appName, [this] {
                                if (handlers.noticeActivated) {
                                    handlers.noticeActivated();
                                }
                            });
                    }
                    for (const DesktopNotice& notice : toSend) {
                        notices->send(notice);
                    }
                }
            } catch (const sdbus::Error& error) {
                _Log(LOG_WARNING, "DesktopSession", __LINE__, "desktop update failed: %s %s",
                     error.getName().c_str(), error.getMessage().c_str());
            }
            std::lock_guard lock(mutex);
            applied = upTo;
            changed.notify_all();
        }
        waitForWork();
    }
    if (connection) {
        try {
            withdrawItem();
            while (connection->processPendingRequest()) {
            }
        } catch (const sdbus::Error&) {
            // The bus is going away with us; nothing left to tidy.
        }
        notices.reset();
        watcher.reset();
        watcherMatch.reset();
        connection.reset();
    }
}

void DesktopSession::Impl::waitForWork() {
    platform::dbus::BusThreadWait::wait(connection.get(), wakeFd, [](const sdbus::Error& error) {
        _Log(LOG_WARNING, "DesktopSession", __LINE__, "session bus failed: %s",
             error.getMessage().c_str());
    });
}

DesktopSession::DesktopSession(Handlers handlers, std::string appName, std::string itemId)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->handlers = std::move(handlers);
    m_impl->appName = std::move(appName);
    m_impl->itemId = std::move(itemId);
}

DesktopSession::~DesktopSession() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    if (m_impl->thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_impl->wakeFd, &one, sizeof one);
        m_impl->thread.join();
    }
    if (m_impl->wakeFd >= 0) {
        ::close(m_impl->wakeFd);
    }
}

void DesktopSession::showTray(const TrayContent& content) {
    m_impl->wish([&] { m_impl->wantedTray = content; });
}

void DesktopSession::hideTray() {
    {
        // Nothing to withdraw before anything was shown: no thread, no bus.
        std::lock_guard lock(m_impl->mutex);
        if (!m_impl->started) {
            return;
        }
    }
    m_impl->wish([&] { m_impl->wantedTray.reset(); });
}

void DesktopSession::notify(const DesktopNotice& notice) {
    m_impl->wish([&] { m_impl->pendingNotices.push_back(notice); });
}

bool DesktopSession::trayShown() const {
    return m_impl->shown.load();
}

bool DesktopSession::settle(int timeoutMs) {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this] { return m_impl->applied == m_impl->wishes; });
}

std::string DesktopSession::busName() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->busName;
}

}  // namespace platform::desktop
