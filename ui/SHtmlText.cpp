#include "ui/SHtmlText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
    }
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsBlockTag(const std::string& name) {
    static const char* const kBlocks[] = {
        "p",          "br",      "div", "li",    "ul",    "ol",   "tr",      "h1",
        "h2",         "h3",      "h4",  "h5",    "h6",    "pre",  "hr",      "table",
        "blockquote", "section", "dt",  "dd",    "dl",    "body", "article", "header",
        "footer",     "address", "nav", "aside", "thead", "tbody"};
    return std::any_of(std::begin(kBlocks), std::end(kBlocks),
                       [&](const char* block) { return name == block; });
}

// Collects text and cuts it into paragraphs at block boundaries.
class Collector {
public:
    void Text(std::string_view text) {
        for (const char c : text) {
            if (std::isspace(static_cast<unsigned char>(c))) {
                m_space = true;
            } else {
                Char(std::string(1, c));
            }
        }
    }
    void Char(const std::string& utf8) {
        if (m_space && !m_current.empty()) {
            m_current += ' ';
        }
        m_space = false;
        m_current += utf8;
    }
    void Break() {
        if (!m_current.empty()) {
            m_blocks.push_back({m_current, m_heading});
        }
        m_current.clear();
        m_space = false;
    }
    void SetHeading(bool heading) { m_heading = heading; }
    std::vector<SHtmlText::Block> Take() {
        Break();
        return std::move(m_blocks);
    }

private:
    std::vector<SHtmlText::Block> m_blocks;
    bool m_heading = false;
    std::string m_current;
    bool m_space = false;
};

}  // namespace

std::string SHtmlText::DecodeEntity(const std::string& name) {
    std::string out;
    if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const std::string digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8 ||
            !std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) {
                return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
            })) {
            return out;
        }
        AppendUtf8(out,
                   static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10)));
        return out;
    }
    static const std::pair<const char*, uint32_t> kNamed[] = {
        {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},
        {"apos", '\''},    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},
        {"trade", 0x2122}, {"mdash", 0x2014}, {"ndash", 0x2013}, {"hellip", 0x2026},
        {"laquo", 0xAB},   {"raquo", 0xBB},   {"bull", 0x2022},  {"middot", 0xB7},
        {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
        {"euro", 0x20AC},  {"deg", 0xB0},     {"times", 0xD7},   {"sect", 0xA7}};
    for (const auto& [entity, code] : kNamed) {
        if (name == entity) {
            AppendUtf8(out, code);
            break;
        }
    }
    return out;
}

std::vector<std::string> SHtmlText::ToParagraphs(const std::string& html) {
    std::vector<std::string> paragraphs;
    for (Block& block : ToBlocks(html)) {
        paragraphs.push_back(std::move(block.text));
    }
    return paragraphs;
}

std::vector<SHtmlText::Block> SHtmlText::ToBlocks(const std::string& html) {
    Collector collector;
    std::size_t at = 0;
    const std::size_t size = html.size();
    while (at < size) {
        const char c = html[at];
        if (c == '<') {
            if (html.compare(at, 4, "<!--") == 0) {
                const std::size_t end = html.find("-->", at + 4);
                at = end == std::string::npos ? size : end + 3;
                continue;
            }
            const std::size_t end = html.find('>', at + 1);
            if (end == std::string::npos) {
                break;  // an unfinished tag ends the text
            }
            std::size_t nameStart = at + 1;
            if (nameStart < end && html[nameStart] == '/') {
                ++nameStart;
            }
            std::size_t nameEnd = nameStart;
            while (nameEnd < end && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) {
                ++nameEnd;
            }
            const std::string name =
                Lower(std::string_view(html).substr(nameStart, nameEnd - nameStart));
            const bool closing = html[at + 1] == '/';
            at = end + 1;
            if (!closing && (name == "script" || name == "style" || name == "head")) {
                // Their contents are not text to read.
                const std::string closeTag = "</" + name;
                std::size_t close = at;
                for (;;) {
                    close = html.find('<', close);
                    if (close == std::string::npos) {
                        at = size;
                        break;
                    }
                    if (Lower(std::string_view(html).substr(close, closeTag.size())) == closeTag) {
                        const std::size_t closeEnd = html.find('>', close);
                        at = closeEnd == std::string::npos ? size : closeEnd + 1;
                        break;
                    }
                    ++close;
                }
                continue;
            }
            if (IsBlockTag(name)) {
                collector.Break();
                const bool heading =
                    name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
                if (heading) {
                    collector.SetHeading(!closing);
                }
            }
            continue;
        }
        if (c == '&') {
            const std::size_t semicolon = html.find(';', at + 1);
            if (semicolon != std::string::npos && semicolon - at <= 10) {
                const std::string decoded = DecodeEntity(html.substr(at + 1, semicolon - at - 1));
                if (!decoded.empty()) {
                    if (decoded == "\xC2\xA0") {
                        collector.Text(" ");
                    } else {
                        collector.Char(decoded);
                    }
                    at = semicolon + 1;
                    continue;
                }
            }
            collector.Char("&");
            ++at;
            continue;
        }
        const std::size_t next = html.find_first_of("<&", at);
        const std::size_t stop = next == std::string::npos ? size : next;
        collector.Text(std::string_view(html).substr(at, stop - at));
        at = stop;
    }
    return collector.Take();
}
