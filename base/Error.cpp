#include "base/Error.h"

namespace base {

Error::Error(std::string cause, int code)
    : m_message(std::move(cause)), m_code(code), m_failed(true) {}

Error Error::within(std::string_view step) const& {
    Error copy = *this;
    return std::move(copy).within(step);
}

Error Error::within(std::string_view step) && {
    if (m_failed) {
        m_message.insert(0, std::string(step) + ": ");
    }
    return std::move(*this);
}

}  // namespace base
