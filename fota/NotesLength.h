#pragma once

#include <cstddef>
#include <string>

namespace fota {

// Release notes as the firmware screen shows them: at most kMaxShownNotesBytes bytes and
// kMaxShownNotesLines lines, cut at a line end where one is near (else at a character
// boundary, never inside a UTF-8 sequence) and ended with "…" when anything was left out.
// Real notes are a few hundred bytes. The screen draws no text box taller than 4000 pixels, so
// notes of some hundred kilobytes showed nothing at all; within these limits the wrapped notes
// stay below that height up to the largest zoom (4).
constexpr std::size_t kMaxShownNotesBytes = 1200;
constexpr std::size_t kMaxShownNotesLines = 24;

std::string limitNotesForScreen(const std::string& notes);

}  // namespace fota
