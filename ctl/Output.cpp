#include "ctl/Output.h"

#include <cstdio>

namespace ctl {

namespace {

// One line of JSON. Texts may hold what the user typed or a device sent, which need not be
// UTF-8: such bytes become U+FFFD instead of ending the program.
std::string serialized(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

void Output::line(const std::string& text) {
    if (!m_json) {
        m_out << text << '\n';
    }
}

void Output::object(const Json& value) {
    if (!m_json) {
        return;
    }
    if (!m_pendingError.empty() && value.is_object() && !value.contains("error")) {
        Json carried = value;
        carried["error"] = m_pendingError;
        m_out << serialized(carried) << '\n';
    } else {
        m_out << serialized(value) << '\n';
    }
    m_out.flush();
    m_lastObjectHadError =
        value.is_object() && (value.contains("error") || !m_pendingError.empty());
    m_pendingError.clear();
}

void Output::error(const std::string& text) {
    m_err << "auralis-ctl: " << text << '\n';
    m_pendingError = text;
    m_lastError = text;
}

void Output::endCommand(int exitCode) {
    if (!m_json || exitCode == 0 || m_lastObjectHadError) {
        return;
    }
    const std::string text = m_lastError.empty() ? "the command failed" : m_lastError;
    m_out << serialized(Json{{"error", text}}) << '\n';
    m_out.flush();
    m_lastObjectHadError = true;
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
