#include "ctl/Output.h"

#include <cstdio>

namespace ctl {

void Output::line(const std::string& text) {
    if (!m_json) {
        m_out << text << '\n';
    }
}

void Output::object(const Json& value) {
    if (m_json) {
        m_out << value.dump() << '\n';
        m_out.flush();
    }
}

void Output::error(const std::string& text) {
    m_err << "auralis-ctl: " << text << '\n';
}

void Output::warning(const std::string& text) {
    m_err << "auralis-ctl: warning: " << text << '\n';
}

std::string Output::hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08x", value);
    return text;
}

}  // namespace ctl
