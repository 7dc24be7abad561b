#pragma once

#include <cstddef>
#include <string>

namespace fota {

// Release notes as the firmware screen shows them: at most kMaxShownNotesBytes bytes and
// kMaxShownNotesLines lines, cut at a line end where one is near (else at a character
// boundary, never inside a UTF-8 sequence) and ended with "…" when anything was left out.
// Real notes are a few hundred bytes; a text of some hundred kilobytes would be laid out taller
// than any drawing surface can be, and nothing at all would show.
constexpr std::size_t kMaxShownNotesBytes = 8 * 1024;
constexpr std::size_t kMaxShownNotesLines = 120;

std::string limitNotesForScreen(const std::string& notes);

}  // namespace fota
