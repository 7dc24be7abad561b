#pragma once

#include <functional>
#include <string>

namespace platform {

// Starts a detached thread running body. The name (at most 15 characters are kept) shows in
// debuggers, `top -H` and the log's thread column.
void startDetachedThread(const std::string& name, std::function<void()> body);

// Names the calling thread (at most 15 characters are kept).
void setCurrentThreadName(const std::string& name);

}  // namespace platform
