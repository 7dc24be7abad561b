#pragma once

#include <string>

namespace ctl {

// Text from the air or the network made safe to print on a terminal: it is read as the earbuds'
// text is (up to the first NUL, UTF-8 or else single-byte), then every control character (C0,
// DEL and the C1 range, which terminals may take for the start of an escape sequence) is written
// as a visible \xNN or \uNNNN escape, and a backslash as "\\", so what is printed is exactly what
// was received. With keepLineBreaks, line feeds and tabs pass (multi-line release notes).
std::string printable(const std::string& text, bool keepLineBreaks = false);

}  // namespace ctl
