#pragma once

#include <pango/pango.h>

#include <map>
#include <string>

// One font of the table: a face, a pixel height and a weight, made into a Pango description
// for one zoom factor on first use and remade when the zoom changes.
struct SFontEntry {
    int id = 0;
    std::string face;      // the face name the product asks for, e.g. "Segoe UI"
    std::string families;  // the installed families that stand for it, as a Pango list
    int pixelHeight = 0;
    int weight = 400;
    double zoom = 0;  // the zoom factor the description was made for; 0 = not made yet
    PangoFontDescription* description = nullptr;
};

// The process-wide font table and the language choices that go with it: the face of every
// font and the right-to-left switch. UI thread only.
//
// Ids: 101 is 12 px regular; 102 to 169 run through pixel heights 7 to 40, two ids per height,
// the even id regular (400) and the odd id bold (700).
class SFontTable {
public:
    static constexpr int kDefaultFontId = 101;
    static constexpr int kFirstSizedId = 102;
    static constexpr int kLastSizedId = 169;

    static SFontTable& Instance();

    SFontTable(const SFontTable&) = delete;
    SFontTable& operator=(const SFontTable&) = delete;
    ~SFontTable();

    // Chooses the face for a locale tag ("ko-KR"; a tag matches a locale when it contains it)
    // and the right-to-left flag (IsRightToLeftLocale), then rebuilds the table.
    void SetLanguage(const std::string& localeTag);
    const std::string& GetLanguage() const { return m_language; }
    const std::string& GetFaceName() const { return m_face; }
    const std::string& GetFamilies() const { return m_families; }
    bool IsRightToLeft() const { return m_rightToLeft; }
    // Sets the right-to-left flag alone (tests and the gallery's mirrored preview).
    void SetRightToLeft(bool rightToLeft) { m_rightToLeft = rightToLeft; }

    // Adds a font; an id already present keeps its first description.
    void AddFont(int id, int pixelHeight, int weight);
    const SFontEntry* Find(int id) const;
    std::size_t Size() const { return m_entries.size(); }

    // The description of font `id` for a zoom factor (zoom <= 0: the entry's last factor,
    // else the process zoom factor). An unknown id falls back to the default font.
    const PangoFontDescription* GetFont(int id, double zoom);

    // Text grows 90 % as fast as the zoom: cut(((zoom - 1) x 0.9 + 1) x base height).
    static int ScaledHeight(int baseHeight, double zoom);
    // Whether a locale tag reads right to left: it contains the tag of a right-to-left language
    // of the catalogue ("ar-AE"), or is any region of such a language.
    static bool IsRightToLeftLocale(const std::string& localeTag);
    // The face name and installed families chosen for a locale tag: those of the catalogue row
    // whose tag it contains, else of the right-to-left language it is a region of, else the
    // default.
    static std::pair<std::string, std::string> FaceForLocale(const std::string& localeTag);

private:
    SFontTable();
    void Rebuild();
    void Clear();

    std::map<int, SFontEntry> m_entries;
    std::string m_language;
    std::string m_face;
    std::string m_families;
    bool m_rightToLeft = false;
};
