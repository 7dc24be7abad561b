#pragma once

#include <cstdint>

// Message ids of the earbuds' protocol: the first byte of a frame's body.
enum : uint8_t {
    MSG_ID_DEBUG_SERIAL_NUMBER = 0x29,
    MSG_ID_RESET = 0x50,
    MSG_ID_UPDATE_RESPONSE = 0x51,
    MSG_ID_STATUS_UPDATED = 0x60,
    MSG_ID_EXTENDED_STATUS_UPDATED = 0x61,
    MSG_ID_FOTA_SESSION = 0xB0,
    MSG_ID_FOTA_CONTROL = 0xB1,
    MSG_ID_FOTA_DOWNLOAD_DATA = 0xB2,
    MSG_ID_FOTA_UPDATE = 0xB3,
    MSG_ID_FOTA_DEVICE_INFO_SW_VERSION = 0xB4,
    MSG_ID_FOTA2_EMERGENCY = 0xBA,
    MSG_ID_FOTA2_OPEN = 0xBB,
    // The second generation's control and update messages; their log name is that of the
    // first generation's (MSG_ID_FOTA_CONTROL, MSG_ID_FOTA_UPDATE).
    MSG_ID_FOTA2_CONTROL = 0xBC,
    MSG_ID_FOTA2_DATA = 0xBD,
    MSG_ID_FOTA2_UPDATE = 0xBE,
};
