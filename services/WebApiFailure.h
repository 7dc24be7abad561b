#pragma once

#include <string>

#include "base/Error.h"

namespace services {

// What a failed request to the update server means for the person using the program, by its
// WEBAPI_DATA error code. The one table of causes that the firmware screen (texts from
// res/strings) and auralis-ctl (its JSON word and an English text) both read, so that a cause
// is named the same way everywhere.
struct WebApiFailure {
    // auralis-ctl's word for the cause: "no-network", "server-error", "download-failed",
    // "disk-full", "refused-address" or "no-temp-folder".
    const char* why = "server-error";
    // The user text in res/strings; "%1" in it takes argument.
    const char* textKey = "MSG_InternetUnavailableDescription";
    std::string argument;
    // The same for a terminal, in English.
    std::string english;
    // The text leaves room for the error's own words (it does not already tell all there is).
    bool roomForCause = true;

    static WebApiFailure of(int error);

    // The localised text, followed by the cause's own words where there is room for them.
    std::string userText(const base::Error& cause) const;
    // The English text, followed by the cause's own words where there is room for them.
    std::string englishText(const base::Error& cause) const;
};

}  // namespace services
