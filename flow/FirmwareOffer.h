#pragma once

#include <cstdint>
#include <map>
#include <string>

struct WEBAPI_FIRMWARE_VERSION;

// What the update server offers for the connected earbuds, as the update flow hands it to the
// screen and to auralis-ctl.
struct FirmwareOffer {
    // The earbuds' current version when the offer was made (before the guest rule).
    std::string currentVersion;
    // From the server's answer, in its order.
    std::string newVersion;
    std::string url;
    uint8_t flag = 0;
    std::map<std::string, std::string> notesByLanguage;
    std::string extra;
    std::string notesKorean;
    // The notes for the user's language (releaseNotesKey), and what the screen shows: the Korean
    // notes when the language is "ko-KR", else these.
    std::string notes;
    std::string shownNotes;
    // The package size the server announces (HEAD; 0 when unknown) and its text
    // (SUtil::GetStringSizeFromByte).
    uint32_t size = 0;
    std::string sizeText;
    // newVersion compares greater than currentVersion (the value of the new-firmware badge).
    bool newer = false;
    // An update is offered: newer, or the guest setting offers firmware whatever the version.
    bool offered = false;

    // The answer's fields and the notes for language; size, comparison and flags left as they
    // are (the flow fills them).
    static FirmwareOffer fromAnswer(const WEBAPI_FIRMWARE_VERSION& answer,
                                    const std::string& language);
};
