#include "sim/Generation.h"

#include <cctype>

namespace sim {

Generation generationOfName(const std::string& name) {
    return devlink::isSecondGenerationName(name) ? Generation::Second : Generation::First;
}

std::string_view serviceUuidOf(Generation generation) {
    return generation == Generation::Second ? "00001101-0000-1000-8000-00805F9B34FB"
                                            : "00001102-0000-1000-8000-00805F9B34FD";
}

std::string_view modelCodeOf(Generation generation) {
    return generation == Generation::Second ? "VX-R175" : "VX-R170";
}

const char* generationLabel(Generation generation) {
    return generation == Generation::Second ? "second" : "first";
}

bool sameUuid(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace sim
