#include "tools/artgen/SvgTemplate.h"

namespace artgen {

std::string SvgTemplate::Fill(const std::map<std::string, std::string>& values,
                              std::string& missing) const {
    std::string out;
    out.reserve(m_text.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = m_text.find("{{", at);
        if (open == std::string::npos) {
            out.append(m_text, at, std::string::npos);
            return out;
        }
        const std::size_t close = m_text.find("}}", open + 2);
        if (close == std::string::npos) {
            out.append(m_text, at, std::string::npos);
            return out;
        }
        out.append(m_text, at, open - at);
        const std::string name = m_text.substr(open + 2, close - open - 2);
        const auto it = values.find(name);
        if (it == values.end()) {
            missing = name;
        } else {
            out += it->second;
        }
        at = close + 2;
    }
}

}  // namespace artgen
