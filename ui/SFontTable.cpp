#include "ui/SFontTable.h"

#include <cmath>

#include "services/LanguageCatalogue.h"
#include "ui/SZoomFactor.h"

namespace {

using services::LanguageCatalogue;
using services::LanguageRow;

std::pair<std::string, std::string> FontsOf(const LanguageRow& row) {
    return {std::string(row.face.empty() ? LanguageCatalogue::kDefaultFace : row.face),
            std::string(row.families)};
}

// A right-to-left language's fonts and direction hold in every region of it: every region reads
// its table (the locale falls back to it).
bool ServesEveryRegion(const LanguageRow& row, const std::string& localeTag) {
    return row.rightToLeft &&
           LanguageCatalogue::LanguageOf(localeTag) == LanguageCatalogue::LanguageOf(row.tag);
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
    for (const LanguageRow& row : LanguageCatalogue::Rows()) {
        if (!row.families.empty() && localeTag.find(row.tag) != std::string::npos) {
            return FontsOf(row);
        }
    }
    for (const LanguageRow& row : LanguageCatalogue::Rows()) {
        if (!row.families.empty() && ServesEveryRegion(row, localeTag)) {
            return FontsOf(row);
        }
    }
    return {std::string(LanguageCatalogue::kDefaultFace),
            std::string(LanguageCatalogue::kDefaultFamilies)};
}

void SFontTable::SetLanguage(const std::string& localeTag) {
    m_language = localeTag;
    std::tie(m_face, m_families) = FaceForLocale(localeTag);
    m_rightToLeft = IsRightToLeftLocale(localeTag);
    Rebuild();
}

bool SFontTable::IsRightToLeftLocale(const std::string& localeTag) {
    for (const LanguageRow& row : LanguageCatalogue::Rows()) {
        if (row.rightToLeft &&
            (localeTag.find(row.tag) != std::string::npos || ServesEveryRegion(row, localeTag))) {
            return true;
        }
    }
    return false;
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
        zoom = entry.zoom > 0 ? entry.zoom : SZoomFactor::Get();
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
