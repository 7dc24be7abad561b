#pragma once

#include <map>
#include <string>

namespace artgen {

// SVG text with {{name}} placeholders.
class SvgTemplate {
public:
    explicit SvgTemplate(std::string text) : m_text(std::move(text)) {}

    // The text with every placeholder replaced. A placeholder without a value is an error
    // (returned in `missing`), so a typo cannot silently draw nothing.
    std::string Fill(const std::map<std::string, std::string>& values, std::string& missing) const;

private:
    std::string m_text;
};

}  // namespace artgen
