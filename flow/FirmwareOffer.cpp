#include "flow/FirmwareOffer.h"

#include "fota/NotesLength.h"
#include "fota/ReleaseNotesLanguage.h"
#include "services/WebApiData.h"

namespace {

constexpr const char* kKoreanLanguage = "ko-KR";

}  // namespace

FirmwareOffer FirmwareOffer::fromAnswer(const WEBAPI_FIRMWARE_VERSION& answer,
                                        const std::string& language) {
    FirmwareOffer offer;
    offer.newVersion = answer.version;
    offer.url = answer.url;
    offer.flag = answer.flag;
    offer.notesByLanguage = answer.notes;
    offer.extra = answer.extra;
    offer.notesKorean = answer.notesKorean;
    offer.notes = fota::releaseNotesFor(answer.notes, language);
    offer.shownNotes =
        fota::limitNotesForScreen(language == kKoreanLanguage ? offer.notesKorean : offer.notes);
    return offer;
}
