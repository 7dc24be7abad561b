#include "app/LastUpdateDate.h"

#include <locale.h>
#include <clocale>
#include <ctime>

#include "services/LanguageCatalogue.h"

namespace {

constexpr const char* kEnglishLocale = "en_US.UTF-8";

// A C-library locale for time formatting, freed on scope exit.
class TimeLocale {
public:
    explicit TimeLocale(const std::string& name)
        : m_locale(newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr))) {}
    ~TimeLocale() {
        if (m_locale != static_cast<locale_t>(nullptr)) {
            freelocale(m_locale);
        }
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;

    bool IsValid() const { return m_locale != static_cast<locale_t>(nullptr); }
    locale_t Get() const { return m_locale; }

private:
    locale_t m_locale;
};

std::string FormatTime(const char* format, const std::tm& time, locale_t locale) {
    char text[LastUpdateDate::kMaxLength + 1] = {};
    const std::size_t length = strftime_l(text, sizeof(text), format, &time, locale);
    return std::string(text, length);
}

std::size_t CountCharacters(const std::string& utf8) {
    std::size_t count = 0;
    for (const unsigned char byte : utf8) {
        if ((byte & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

// The C library's Korean abbreviated month names already end in "월" (" 12월"), so the month
// is written as its number: the text reads "2026년 12월 08일, 오후 04:48" as intended.
std::string FormatKorean(const std::tm& time, locale_t locale) {
    const std::string format = "%Y년 " + std::to_string(time.tm_mon + 1) + "월 %d일, %p %I:%M";
    return FormatTime(format.c_str(), time, locale);
}

// A short month name when the full name is longer than three characters, the full name
// otherwise (so "May" is never cut).
std::string FormatOther(const std::tm& time, locale_t locale) {
    const std::string fullMonth = FormatTime("%B", time, locale);
    const char* format =
        CountCharacters(fullMonth) > 3 ? "%b %d, %Y %I:%M %p" : "%B %d, %Y %I:%M %p";
    return FormatTime(format, time, locale);
}

}  // namespace

std::string LastUpdateDate::LocaleName(const std::string& language) {
    std::string name = language;
    for (char& c : name) {
        if (c == '-') {
            c = '_';
        }
    }
    return name + ".UTF-8";
}

std::string LastUpdateDate::Format(std::uint32_t seconds, const std::string& language) {
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return {};
    }
    const services::LanguageRow* row = services::LanguageCatalogue::Find(language);
    const bool korean = row != nullptr && row->dateForm == services::DateForm::Korean;
    TimeLocale own(LocaleName(language));
    if (korean && own.IsValid()) {
        std::string text = FormatKorean(local, own.Get());
        if (!text.empty()) {
            return text;
        }
    }
    if (own.IsValid() && !korean) {
        return FormatOther(local, own.Get());
    }
    // The language's locale is not installed: English month names, from en_US or else the
    // C library's own.
    TimeLocale english(kEnglishLocale);
    TimeLocale plain("C");
    return FormatOther(local, english.IsValid() ? english.Get() : plain.Get());
}
