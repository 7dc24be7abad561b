#include "platform/Thread.h"

#include <pthread.h>

#include <thread>

namespace platform {

void setCurrentThreadName(const std::string& name) {
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

void startDetachedThread(const std::string& name, std::function<void()> body) {
    std::thread([name, body = std::move(body)] {
        setCurrentThreadName(name);
        body();
    }).detach();
}

}  // namespace platform
