#pragma once

#include <string>

#include "base/Error.h"
#include "services/WebApiData.h"

// Reads the update server's JSON answers:
//   GET {base}/firmware/latest?model={model}
//     {"version": str, "url": str, "flag": int 0..255, "notes": {"ENG": str, "DEU": str, …},
//      "extra": str, "notesKorean": str}
//   GET {base}/app/latest
//     {"version": str, "url": str, "notice": str}
// "version" and "url" are required and must be non-empty texts; the other fields may be
// missing (empty, flag 0). A field of the wrong type, a flag outside 0..255 or a text that is
// not JSON makes the whole answer invalid. Notes that are not texts are skipped.
// An invalid answer leaves answer as it was and says which field is wrong
// ("field \"url\": missing or not a text").
class WebApiAnswer {
public:
    static base::Error ParseFirmwareVersion(const std::string& text,
                                            WEBAPI_FIRMWARE_VERSION& answer);
    static base::Error ParseTesselVersion(const std::string& text, WEBAPI_TESSEL_VERSION& answer);
};
