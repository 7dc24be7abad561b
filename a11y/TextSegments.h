#pragma once

#include <string>
#include <vector>

namespace a11y {

// A piece of a text by character offsets: [start, end) and the piece itself.
struct TextSegment {
    std::string text;
    int start = 0;
    int end = 0;
    bool operator==(const TextSegment&) const = default;
};

// Character-offset reading of a UTF-8 text, as screen readers walk it: offsets count code
// points; words are runs of non-space characters with the spaces after them; lines end after
// a line feed. Offsets outside the text give an empty segment at the nearest end.
class TextSegments {
public:
    enum class Unit { Character, Word, Sentence, Line, Paragraph };

    explicit TextSegments(const std::string& text);

    int CharacterCount() const { return static_cast<int>(m_starts.size()); }
    // Characters [start, end); end -1 or past the text means to the end.
    std::string Slice(int start, int end) const;
    // The code point at offset, 0 outside the text.
    int CharacterAt(int offset) const;
    // The unit that holds offset.
    TextSegment At(int offset, Unit unit) const;
    // The unit just before or just after the one that holds offset.
    TextSegment Before(int offset, Unit unit) const;
    TextSegment After(int offset, Unit unit) const;

private:
    int UnitStart(int offset, Unit unit) const;
    int UnitEnd(int offset, Unit unit) const;
    bool IsBreakBefore(int offset, Unit unit) const;
    char32_t Code(int offset) const;
    TextSegment Segment(int start, int end) const;

    const std::string m_text;
    std::vector<std::size_t> m_starts;  // the byte offset of each character
};

}  // namespace a11y
