#include "fota/NotesLength.h"

#include <algorithm>

namespace fota {
namespace {

constexpr const char* kEllipsis = "\xe2\x80\xa6";

// How much may be kept at most: kMaxShownNotesBytes bytes, or up to the line end that
// closes line kMaxShownNotesLines (the position of that line end), whichever comes first.
std::size_t hardEnd(const std::string& notes) {
    std::size_t end = std::min(notes.size(), kMaxShownNotesBytes);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (notes[i] == '\n' && ++lines == kMaxShownNotesLines) {
            return i;
        }
    }
    return end;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string limitNotesForScreen(const std::string& notes) {
    const std::size_t end = hardEnd(notes);
    if (end >= notes.size()) {
        return notes;
    }
    // Prefer to end after a line end in the last quarter of what may be kept.
    std::size_t keep = end;
    const std::size_t lineEnd = notes.rfind('\n', end);
    if (lineEnd != std::string::npos && lineEnd + 1 >= end - end / 4) {
        keep = lineEnd + 1;
    } else {
        while (keep > 0 && isContinuationByte(notes[keep])) {
            --keep;
        }
    }
    std::string shown = notes.substr(0, keep);
    if (!shown.empty() && shown.back() != '\n') {
        shown += ' ';
    }
    return shown + kEllipsis;
}

}  // namespace fota
