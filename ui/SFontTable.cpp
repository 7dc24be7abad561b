#include "ui/SFontTable.h"

#include <cmath>

#include "ui/SDispatcher.h"

namespace {

struct LocaleFace {
    const char* locale;
    const char* face;
    const char* families;
};

// The faces the product was designed with, and the installed families (Debian's Noto and
// DejaVu packages) that stand for them. fontconfig falls back further for other scripts.
constexpr LocaleFace kDefaultFace{"", "Segoe UI", "Noto Sans, DejaVu Sans, Noto Sans CJK KR"};
constexpr LocaleFace kLocaleFaces[] = {
    {"ko-KR", "Malgun Gothic", "Noto Sans CJK KR, Noto Sans, DejaVu Sans"},
    {"zh-TW", "SimSun", "Noto Serif CJK TC, Noto Sans CJK TC, Noto Sans"},
    {"zh-CN", "SimSun", "Noto Serif CJK SC, Noto Sans CJK SC, Noto Sans"},
    {"zh-HK", "SimSun", "Noto Serif CJK TC, Noto Sans CJK HK, Noto Sans"},
    {"ja-JP", "Meiryo UI", "Noto Sans CJK JP, Noto Sans, DejaVu Sans"},
};

// Arabic and Hebrew keep the default face; Noto's own script families come before DejaVu,
// whose Arabic would otherwise be picked for every Arabic letter.
constexpr LocaleFace kScriptFaces[] = {
    {"ar", kDefaultFace.face, "Noto Sans, Noto Sans Arabic, DejaVu Sans"},
    {"he", kDefaultFace.face, "Noto Sans, Noto Sans Hebrew, DejaVu Sans"},
};

// The language part of a tag: "ar" of "ar-SA".
std::string LanguageOf(const std::string& localeTag) {
    return localeTag.substr(0, localeTag.find_first_of("-_"));
}

}  // namespace

SFontTable& SFontTable::Instance() {
    static SFontTable table;
    return table;
}

SFontTable::SFontTable() {
    SetLanguage("");
}

SFontTable::~SFontTable() {
    Clear();
}

std::pair<std::string, std::string> SFontTable::FaceForLocale(const std::string& localeTag) {
    for (const LocaleFace& entry : kLocaleFaces) {
        if (localeTag.find(entry.locale) != std::string::npos) {
            return {entry.face, entry.families};
        }
    }
    for (const LocaleFace& entry : kScriptFaces) {
        if (LanguageOf(localeTag) == entry.locale) {
            return {entry.face, entry.families};
        }
    }
    return {kDefaultFace.face, kDefaultFace.families};
}

void SFontTable::SetLanguage(const std::string& localeTag) {
    m_language = localeTag;
    std::tie(m_face, m_families) = FaceForLocale(localeTag);
    m_rightToLeft = IsRightToLeftLocale(localeTag);
    Rebuild();
}

bool SFontTable::IsRightToLeftLocale(const std::string& localeTag) {
    // Every region of Arabic and Hebrew reads those tables (the locale falls back to them), so
    // every region is laid out right to left too.
    const std::string language = LanguageOf(localeTag);
    return localeTag.find("ar-AE") != std::string::npos ||
           localeTag.find("he-IL") != std::string::npos || language == "ar" || language == "he";
}

void SFontTable::Clear() {
    for (auto& [id, entry] : m_entries) {
        if (entry.description != nullptr) {
            pango_font_description_free(entry.description);
        }
    }
    m_entries.clear();
}

void SFontTable::Rebuild() {
    Clear();
    AddFont(kDefaultFontId, 12, 400);
    for (int id = kFirstSizedId; id <= kLastSizedId; ++id) {
        const int height = (id - kFirstSizedId) / 2 + 7;
        AddFont(id, height, id % 2 == 0 ? 400 : 700);
    }
}

void SFontTable::AddFont(int id, int pixelHeight, int weight) {
    if (m_entries.count(id) != 0) {
        return;
    }
    SFontEntry entry;
    entry.id = id;
    entry.face = m_face;
    entry.families = m_families;
    entry.pixelHeight = pixelHeight;
    entry.weight = weight;
    m_entries.emplace(id, std::move(entry));
}

const SFontEntry* SFontTable::Find(int id) const {
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : &it->second;
}

int SFontTable::ScaledHeight(int baseHeight, double zoom) {
    // A small epsilon keeps products like 7 x 1.45 = 10.15 from cutting to 10 - 1 through
    // binary rounding of exact decimal values.
    return static_cast<int>(((zoom - 1) * 0.9 + 1) * baseHeight + 1e-9);
}

const PangoFontDescription* SFontTable::GetFont(int id, double zoom) {
    auto it = m_entries.find(id);
    if (it == m_entries.end()) {
        it = m_entries.find(kDefaultFontId);
        if (it == m_entries.end()) {
            return nullptr;
        }
    }
    SFontEntry& entry = it->second;
    if (zoom <= 0) {
        zoom = entry.zoom > 0 ? entry.zoom : SDispatcher::GetZoomFactor();
    }
    if (entry.description != nullptr && entry.zoom == zoom) {
        return entry.description;
    }
    if (entry.description != nullptr) {
        pango_font_description_free(entry.description);
    }
    entry.description = pango_font_description_from_string(entry.families.c_str());
    pango_font_description_set_absolute_size(entry.description,
                                             ScaledHeight(entry.pixelHeight, zoom) * PANGO_SCALE);
    pango_font_description_set_weight(entry.description, static_cast<PangoWeight>(entry.weight));
    entry.zoom = zoom;
    return entry.description;
}
