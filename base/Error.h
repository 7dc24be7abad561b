#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace base {

// A failure told in plain words, with an optional cause code that peers and callers act on (a
// WEBAPI_ERROR_CODE, an errno, a finish reason). Each layer that passes an error up puts its own
// step in front with within(), so the message reads from the outermost step to the first cause:
//     "download: writing the package: No space left on device"
// A default-constructed Error is no error: functions that can fail return one, empty on success.
class Error {
public:
    Error() = default;
    explicit Error(std::string cause, int code = 0);

    // True when something failed.
    explicit operator bool() const { return m_failed; }
    // The whole text, every step's prefix included; empty when nothing failed.
    const std::string& message() const { return m_message; }
    // The cause code given where the error began (0 when none); prefixes keep it.
    int code() const { return m_code; }

    // The same error seen from one step further out: "step: message", same code. No error stays
    // no error.
    Error within(std::string_view step) const&;
    Error within(std::string_view step) &&;

private:
    std::string m_message;
    int m_code = 0;
    bool m_failed = false;
};

// A value, or the error that kept it from being made.
template <typename T>
class Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const { return m_value.has_value(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    const Error& error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

}  // namespace base
