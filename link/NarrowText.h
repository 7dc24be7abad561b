#pragma once

#include <string>
#include <string_view>

namespace devlink {

// Text the earbuds send as 8-bit characters, as UTF-8 for the rest of the program: valid UTF-8
// (plain ASCII included) is kept as it is, anything else is read byte by byte as Latin-1.
std::string narrowTextToUtf8(std::string_view text);

}  // namespace devlink
