#include "a11y/TextSegments.h"

#include <algorithm>

namespace a11y {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == 0x202F;
}

bool EndsSentence(char32_t c) {
    return c == '.' || c == '!' || c == '?' || c == 0x3002;
}

}  // namespace

TextSegments::TextSegments(const std::string& text) : m_text(text) {
    for (std::size_t i = 0; i < m_text.size(); ++i) {
        if (!IsContinuation(static_cast<unsigned char>(m_text[i]))) {
            m_starts.push_back(i);
        }
    }
}

std::string TextSegments::Slice(int start, int end) const {
    const int count = CharacterCount();
    start = std::clamp(start, 0, count);
    end = end < 0 ? count : std::clamp(end, start, count);
    const std::size_t from = start < count ? m_starts[start] : m_text.size();
    const std::size_t to = end < count ? m_starts[end] : m_text.size();
    return m_text.substr(from, to - from);
}

char32_t TextSegments::Code(int offset) const {
    if (offset < 0 || offset >= CharacterCount()) {
        return 0;
    }
    const std::string piece = Slice(offset, offset + 1);
    const auto lead = static_cast<unsigned char>(piece[0]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra && i < static_cast<int>(piece.size()); ++i) {
        code = (code << 6) | (static_cast<unsigned char>(piece[i]) & 0x3F);
    }
    return code;
}

int TextSegments::CharacterAt(int offset) const {
    return static_cast<int>(Code(offset));
}

// Whether a unit begins at offset (offset 0 always does).
bool TextSegments::IsBreakBefore(int offset, Unit unit) const {
    if (offset <= 0 || offset >= CharacterCount()) {
        return true;
    }
    const char32_t before = Code(offset - 1);
    const char32_t here = Code(offset);
    switch (unit) {
        case Unit::Character:
            return true;
        case Unit::Word:
            return IsSpace(before) && !IsSpace(here) && here != '\n';
        case Unit::Sentence: {
            // After the closing mark and the spaces that follow it.
            if (IsSpace(here) || here == '\n') {
                return false;
            }
            int mark = offset - 1;
            while (mark > 0 && IsSpace(Code(mark))) {
                --mark;
            }
            return EndsSentence(Code(mark)) || Code(mark) == '\n';
        }
        case Unit::Line:
        case Unit::Paragraph:
            return before == '\n';
    }
    return true;
}

int TextSegments::UnitStart(int offset, Unit unit) const {
    offset = std::clamp(offset, 0, CharacterCount());
    while (offset > 0 && !IsBreakBefore(offset, unit)) {
        --offset;
    }
    return offset;
}

int TextSegments::UnitEnd(int offset, Unit unit) const {
    const int count = CharacterCount();
    offset = std::clamp(offset + 1, 0, count);
    while (offset < count && !IsBreakBefore(offset, unit)) {
        ++offset;
    }
    return offset;
}

TextSegment TextSegments::Segment(int start, int end) const {
    return TextSegment{Slice(start, end), start, end};
}

TextSegment TextSegments::At(int offset, Unit unit) const {
    const int count = CharacterCount();
    if (offset < 0 || offset >= count) {
        const int edge = offset < 0 ? 0 : count;
        return Segment(edge, edge);
    }
    return Segment(UnitStart(offset, unit), UnitEnd(offset, unit));
}

TextSegment TextSegments::Before(int offset, Unit unit) const {
    const int start = UnitStart(std::min(offset, CharacterCount()), unit);
    if (start <= 0) {
        return Segment(0, 0);
    }
    return At(start - 1, unit);
}

TextSegment TextSegments::After(int offset, Unit unit) const {
    const int count = CharacterCount();
    if (offset >= count) {
        return Segment(count, count);
    }
    const int end = offset < 0 ? 0 : UnitEnd(offset, unit);
    return At(end, unit);
}

}  // namespace a11y
