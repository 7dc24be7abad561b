#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/Error.h"

// The record passed to SWebApi callbacks, and the answers it can point to.

// WEBAPI_DATA::type
enum WEBAPI_RESULT_TYPE : int {
    WRT_ERROR = 0,               // the request failed; error says why
    WRT_ANSWER = 1,              // GetFirmwareVersion / GetTesselVersion: answer is set
    WRT_PROGRESS = 2,            // GetDownLoad: progress is set
    WRT_DOWNLOAD_COMPLETED = 3,  // GetDownLoad: the file is complete at the given path
};

// WEBAPI_DATA::error
enum WEBAPI_ERROR_CODE : int {
    WEBAPI_ERROR_NONE = 0,
    WEBAPI_ERROR_FAILED = 1,       // another transfer failure (detail: the libcurl code)
    WEBAPI_ERROR_BAD_ADDRESS = 2,  // not http(s), plain http to another machine, or malformed
    WEBAPI_ERROR_FILE = 3,         // the download target cannot be written
    WEBAPI_ERROR_BAD_ANSWER = 4,   // the server's answer is not the expected JSON
    WEBAPI_ERROR_TLS = 5,          // certificate or TLS failure (detail: the libcurl code)
    // No connection to the server could be made (detail: the libcurl code).
    WEBAPI_ERROR_NETWORK = 6,
    // The temporary folder for downloads is refused (shared or someone else's): nothing was
    // requested. Never from SWebApi itself; the callers that build the download path report it.
    WEBAPI_ERROR_NO_TEMP_FOLDER = 30,
    // The server was reached but its answer broke off, stalled, crawled below the least speed,
    // or was longer than announced or allowed (detail: the libcurl code, 0 for a length limit).
    WEBAPI_ERROR_INTERRUPTED = 7,
    // The download cannot be stored: the disk or the user's quota is full (detail: errno).
    WEBAPI_ERROR_DISK_FULL = 8,
    // No update server is set (neither $AURALIS_UPDATE_URL nor the setting "ServerUrl").
    WEBAPI_ERROR_NO_SERVER = 9,
    // Codes of 400 and above are the HTTP status the server answered with.
};

struct WEBAPI_PROGRESS {
    std::uint32_t totalLength;  // expected size in bytes; 0 when the server did not say
    int curLength;              // bytes received so far
    int percent;                // 0..100; 0 while the size is unknown
};

struct WEBAPI_DATA {
    int type;                         // WEBAPI_RESULT_TYPE
    int error;                        // WEBAPI_ERROR_CODE or HTTP status; 0 on success
    std::uint32_t detail;             // with an error: the libcurl code or HTTP status behind it
    const void* answer;               // type 1: WEBAPI_FIRMWARE_VERSION or WEBAPI_TESSEL_VERSION
    const WEBAPI_PROGRESS* progress;  // type 2 (and 3): the download's progress
    // Type 0: what failed, in plain words, with error as its code ("no connection to the server
    // could be made (Could not connect to server)"); may be null.
    const base::Error* cause = nullptr;
};

// The answer of GetFirmwareVersion, fields in the order callers rely on.
struct WEBAPI_FIRMWARE_VERSION {
    std::string version;                       // e.g. "1.0.4"
    std::string url;                           // where the firmware package is downloaded
    std::uint8_t flag = 0;                     // passed on, not interpreted
    std::map<std::string, std::string> notes;  // release notes by code: "ENG", "DEU", "ESP_LAT"…
    std::string extra;                         // passed on, not interpreted
    std::string notesKorean;                   // Korean release notes
};

// The answer of GetTesselVersion (the PC application).
struct WEBAPI_TESSEL_VERSION {
    std::string version;
    std::string url;  // the installer's download address
    std::string notice;
};
