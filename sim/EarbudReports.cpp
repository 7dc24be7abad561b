#include "sim/EarbudReports.h"

#include <algorithm>
#include <cstdio>

namespace sim {

uint8_t EarbudReports::byte(int value) {
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

std::vector<uint8_t> EarbudReports::statusUpdated(const EarbudState& state) {
    return {byte(state.earType),    byte(state.batteryLeft), byte(state.batteryRight),
            byte(state.twsStatus),  byte(state.primary),     byte(state.wearing),
            byte(state.batteryCase)};
}

std::vector<uint8_t> EarbudReports::extendedStatusUpdated(const EarbudState& state,
                                                          Generation generation) {
    std::vector<uint8_t> payload = {byte(state.revision),    byte(state.earType),
                                    byte(state.batteryLeft), byte(state.batteryRight),
                                    byte(state.twsStatus),   byte(state.primary),
                                    byte(state.wearing)};
    if (generation == Generation::First) {
        return payload;
    }
    payload.push_back(byte(state.batteryCase));
    payload.resize(15, 0);  // bytes 8-14 carry nothing the program reads
    const auto colour = [&](int value) {
        const auto word = static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF));
        payload.push_back(static_cast<uint8_t>(word & 0xFF));
        payload.push_back(static_cast<uint8_t>(word >> 8));
    };
    colour(state.colorLeft);
    colour(state.colorRight);
    return payload;
}

std::vector<uint8_t> EarbudReports::softwareVersion(char bud, const std::string& version) {
    std::vector<uint8_t> payload(1 + version.size());
    payload[0] = static_cast<uint8_t>(bud);
    std::copy(version.begin(), version.end(), payload.begin() + 1);
    return payload;
}

std::vector<uint8_t> EarbudReports::serialNumbers(const EarbudState& state, Generation generation) {
    const std::size_t width = serialLength(generation);
    std::string fields;
    for (const std::string* serial : {&state.serialLeft, &state.serialRight}) {
        std::string field = serial->substr(0, width);
        field.resize(width, '0');
        fields += field;
    }
    return std::vector<uint8_t>(fields.begin(), fields.end());
}

std::size_t EarbudReports::serialLength(Generation generation) {
    return generation == Generation::Second ? 11 : 12;
}

std::string EarbudReports::defaultSerial(uint64_t address, char bud, Generation generation) {
    char text[16];
    if (generation == Generation::Second) {
        std::snprintf(text, sizeof(text), "R175%c%06llX", bud,
                      static_cast<unsigned long long>(address & 0xFFFFFF));
    } else {
        std::snprintf(text, sizeof(text), "R170%c%07llX", bud,
                      static_cast<unsigned long long>(address & 0xFFFFFFF));
    }
    return text;
}

}  // namespace sim
