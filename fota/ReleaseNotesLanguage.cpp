#include "fota/ReleaseNotesLanguage.h"

#include "services/LanguageCatalogue.h"

namespace fota {

std::string releaseNotesKey(const std::string& language) {
    const services::LanguageRow* row = services::LanguageCatalogue::Find(language);
    return std::string(row != nullptr ? row->releaseNotesKey : "ENG");
}

std::string releaseNotesFor(const std::map<std::string, std::string>& notes,
                            const std::string& language) {
    const auto found = notes.find(releaseNotesKey(language));
    return found != notes.end() ? found->second : std::string();
}

}  // namespace fota
