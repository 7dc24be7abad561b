#pragma once

#include <string>
#include <string_view>

#include "link/FrameCodec.h"

namespace sim {

// The two generations of earbuds; the device name decides (devlink::isSecondGenerationName).
using devlink::Generation;

Generation generationOfName(const std::string& name);

// RFCOMM service class id a program must ask for when it connects.
std::string_view serviceUuidOf(Generation generation);
// Model code under which the update server offers firmware for the generation.
std::string_view modelCodeOf(Generation generation);
const char* generationLabel(Generation generation);

// Service ids compare without regard to letter case.
bool sameUuid(std::string_view a, std::string_view b);

}  // namespace sim
