#pragma once

#include <cstdint>

// The earbuds' reported state: 17 integers, 0 until a status report sets them. Each report
// overwrites only the fields it carries; the record is passed by value.
struct DeviceStatus {
    int32_t messageRevision = 0;  // 0x61 only
    int32_t earType = 0;
    int32_t batteryLeft = 0;
    int32_t batteryRight = 0;
    int32_t batteryCase = 0;
    int32_t twsStatus = 0;
    int32_t mainConnection = 0;  // "PrimaryEarbud" in the extended report
    int32_t wearingDetection = 0;
    int32_t unused[7] = {};    // fields 8-14: no report sets them
    int32_t DeviceColorL = 0;  // second-generation 0x61 only
    int32_t DeviceColorR = 0;  // second-generation 0x61 only

    bool operator==(const DeviceStatus&) const = default;
};

static_assert(sizeof(DeviceStatus) == 17 * sizeof(int32_t));
