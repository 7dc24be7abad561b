#include "ui/STextLayout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/SColor.h"
#include "ui/SFontTable.h"
#include "ui/TextFlags.h"

namespace {

// One Pango context for every layout of the UI thread; pango_cairo_update_context adapts it
// to each cairo context before a layout is made from it.
PangoContext* SharedContext() {
    static PangoContext* context = [] {
        PangoContext* created = pango_font_map_create_context(pango_cairo_font_map_get_default());
        pango_cairo_context_set_font_options(created, STextLayout::FontOptions());
        return created;
    }();
    return context;
}

std::string SingleLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// "&x" marks a mnemonic, "&&" is a literal '&'; a trailing single '&' is dropped.
std::string StripPrefixes(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                plain += '&';
                ++i;
            }
            continue;
        }
        plain += text[i];
    }
    return plain;
}

void SetLayoutText(PangoLayout* layout, const std::string& text, unsigned format) {
    const bool prefixes = (format & DT_NOPREFIX) == 0 && text.find('&') != std::string::npos;
    if (!prefixes || (format & (DT_HIDEPREFIX | DT_PREFIXONLY)) != 0) {
        const std::string plain = prefixes ? StripPrefixes(text) : text;
        pango_layout_set_text(layout, plain.c_str(), static_cast<int>(plain.size()));
        return;
    }
    gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
    gunichar accel = 0;
    pango_layout_set_markup_with_accel(layout, escaped, -1, '&', &accel);
    g_free(escaped);
}

// The UI language steers fontconfig's fallback for characters the chosen families lack, and
// picks the regional forms of Han characters.
void SetContextLanguage(PangoContext* context) {
    const std::string& tag = SFontTable::Instance().GetLanguage();
    PangoLanguage* language = pango_language_from_string(tag.empty() ? "en-US" : tag.c_str());
    if (pango_context_get_language(context) != language) {
        pango_context_set_language(context, language);
    }
}

// Whether the first strongly directed character of the text reads right to left. Pure ASCII
// text never does, which spares the common case a second pass.
bool ReadsRightToLeft(PangoContext* context, const std::string& text) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return false;
    }
    pango_context_set_base_dir(context, PANGO_DIRECTION_LTR);
    PangoLayout* probe = pango_layout_new(context);
    pango_layout_set_auto_dir(probe, TRUE);
    pango_layout_set_text(probe, text.c_str(), static_cast<int>(text.size()));
    const bool rtl = pango_layout_get_direction(probe, 0) == PANGO_DIRECTION_RTL;
    g_object_unref(probe);
    return rtl;
}

// A character of a script written right to left, or a mark that turns text right to left.
bool IsRightToLeftCharacter(gunichar c) {
    switch (c) {
        case 0x200F:  // right-to-left mark
        case 0x202B:  // right-to-left embedding
        case 0x202E:  // right-to-left override
        case 0x2067:  // right-to-left isolate
            return true;
        default:
            break;
    }
    switch (g_unichar_get_script(c)) {
        case G_UNICODE_SCRIPT_ARABIC:
        case G_UNICODE_SCRIPT_HEBREW:
        case G_UNICODE_SCRIPT_SYRIAC:
        case G_UNICODE_SCRIPT_THAANA:
        case G_UNICODE_SCRIPT_NKO:
        case G_UNICODE_SCRIPT_SAMARITAN:
        case G_UNICODE_SCRIPT_MANDAIC:
            return true;
        default:
            return false;
    }
}

bool HasRightToLeftCharacter(const std::string& text) {
    const char* at = text.c_str();
    const char* end = at + text.size();
    while (at < end) {
        const gunichar c = g_utf8_get_char_validated(at, end - at);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            return false;
        }
        if (IsRightToLeftCharacter(c)) {
            return true;
        }
        at = g_utf8_next_char(at);
    }
    return false;
}

// A letter of a left-to-right script (Latin, Cyrillic, Hangul, Han...), or a mark that
// turns text left to right. Digits and punctuation are neither.
bool IsLeftToRightCharacter(gunichar c) {
    switch (c) {
        case 0x200E:  // left-to-right mark
        case 0x202A:  // left-to-right embedding
        case 0x202D:  // left-to-right override
        case 0x2066:  // left-to-right isolate
            return true;
        default:
            return g_unichar_isalpha(c) != FALSE;
    }
}

// Whether a text in a mirrored window gets a right-to-left paragraph: unless it holds only
// left-to-right letters ("98 KB", a pair's name "Auralis2 (Blue)"), which keep their own order
// and are only aligned to the right. A translation that quotes a Latin name first still reads
// right to left, and a text without letters (a percentage) follows the window.
bool MirroredTextReadsRightToLeft(const std::string& text) {
    bool leftToRight = false;
    const char* at = text.c_str();
    const char* end = at + text.size();
    while (at < end) {
        const gunichar c = g_utf8_get_char_validated(at, end - at);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            return true;  // not UTF-8: the window's direction
        }
        if (IsRightToLeftCharacter(c)) {
            return true;
        }
        leftToRight = leftToRight || IsLeftToRightCharacter(c);
        at = g_utf8_next_char(at);
    }
    return !leftToRight;
}

// Korean is written with spaces between words (eojeol) and wraps at them, like English, while
// Unicode's line breaking rules let Hangul break between any two syllables (as Chinese and
// Japanese do). A language tag of Korean keeps each space-free word in one piece.
bool WrapsAtSpacesOnly(const std::string& languageTag) {
    return languageTag.rfind("ko", 0) == 0;
}

bool IsWordSeparator(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Forbids line breaks inside every run of non-space characters of the layout's text, on top
// of the attributes the text already has (a mnemonic's underline).
void KeepWordsWhole(PangoLayout* layout) {
    const char* text = pango_layout_get_text(layout);
    PangoAttrList* existing = pango_layout_get_attributes(layout);
    PangoAttrList* attributes =
        existing != nullptr ? pango_attr_list_copy(existing) : pango_attr_list_new();
    const std::size_t length = std::strlen(text);
    std::size_t start = 0;
    while (start < length) {
        while (start < length && IsWordSeparator(text[start])) {
            ++start;
        }
        std::size_t end = start;
        while (end < length && !IsWordSeparator(text[end])) {
            ++end;
        }
        if (end > start) {
            PangoAttribute* whole = pango_attr_allow_breaks_new(FALSE);
            whole->start_index = static_cast<guint>(start);
            whole->end_index = static_cast<guint>(end);
            pango_attr_list_insert(attributes, whole);
        }
        start = end;
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
}

// Whether a line of the layout is wider than the layout's width (a word longer than a line).
bool OverflowsItsWidth(PangoLayout* layout) {
    const int width = pango_layout_get_width(layout);
    for (GSList* line = pango_layout_get_lines_readonly(layout); line != nullptr;
         line = line->next) {
        PangoRectangle logical;
        pango_layout_line_get_extents(static_cast<PangoLayoutLine*>(line->data), nullptr, &logical);
        if (logical.width > width) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string STextLayout::KeepLeftToRight(const std::string& run) {
    // A run with right-to-left letters of its own (a date with Arabic month names) reads
    // right to left like its sentence and is left alone.
    if (!SFontTable::Instance().IsRightToLeft() || HasRightToLeftCharacter(run)) {
        return run;
    }
    static const std::string kMark = "\xE2\x80\x8E";  // U+200E LEFT-TO-RIGHT MARK
    return kMark + run + kMark;
}

const cairo_font_options_t* STextLayout::FontOptions() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* created = cairo_font_options_create();
        cairo_font_options_set_antialias(created, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(created, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(created, CAIRO_HINT_METRICS_OFF);
        return created;
    }();
    return options;
}

STextLayout::STextLayout(cairo_t* cr, const std::string& text, unsigned format,
                         const PangoFontDescription* font, double boxWidth, double boxHeight,
                         bool mirrored)
    : m_format(format), m_boxWidth(boxWidth), m_boxHeight(boxHeight) {
    PangoContext* context = SharedContext();
    pango_cairo_update_context(cr, context);
    SetContextLanguage(context);
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    const std::string shown = singleLine ? SingleLine(text) : text;
    // A mirrored context reads right to left (save texts of left-to-right letters only);
    // elsewhere an Arabic or Hebrew text still needs its own paragraph direction, or its
    // punctuation and mixed runs land on the wrong side.
    const bool rightToLeft =
        (format & DT_RTLREADING) != 0 ||
        (mirrored ? MirroredTextReadsRightToLeft(shown) : ReadsRightToLeft(context, shown));
    pango_context_set_base_dir(context, rightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
    m_layout = pango_layout_new(context);
    // The paragraph direction follows the context, so alignment stays physical: a mirrored
    // context swaps left and right itself below.
    pango_layout_set_auto_dir(m_layout, FALSE);
    if (font != nullptr) {
        pango_layout_set_font_description(m_layout, font);
    }
    SetLayoutText(m_layout, shown, format);

    const bool measuring = (format & DT_CALCRECT) != 0;
    const bool wrap = (format & DT_WORDBREAK) != 0 && !singleLine;
    PangoEllipsizeMode ellipsize = PANGO_ELLIPSIZE_NONE;
    if (!measuring && (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) != 0) {
        ellipsize = PANGO_ELLIPSIZE_END;
    } else if (!measuring && (format & DT_PATH_ELLIPSIS) != 0) {
        ellipsize = PANGO_ELLIPSIZE_MIDDLE;
    }
    const bool fixedWidth = (wrap || ellipsize != PANGO_ELLIPSIZE_NONE) && boxWidth > 0;
    if (fixedWidth) {
        pango_layout_set_width(m_layout, static_cast<int>(boxWidth * PANGO_SCALE));
    }
    if (wrap) {
        pango_layout_set_wrap(
            m_layout, (format & DT_EDITCONTROL) != 0 ? PANGO_WRAP_WORD_CHAR : PANGO_WRAP_WORD);
        if (fixedWidth && WrapsAtSpacesOnly(SFontTable::Instance().GetLanguage())) {
            KeepWordsWhole(m_layout);
        }
    }
    if (ellipsize != PANGO_ELLIPSIZE_NONE) {
        pango_layout_set_ellipsize(m_layout, ellipsize);
        if (wrap && boxHeight > 0) {
            pango_layout_set_height(m_layout, static_cast<int>(boxHeight * PANGO_SCALE));
        }
    }

    enum class Align { Left, Center, Right };
    Align align = (format & DT_CENTER) != 0  ? Align::Center
                  : (format & DT_RIGHT) != 0 ? Align::Right
                                             : Align::Left;
    if (mirrored && align != Align::Center) {
        align = align == Align::Left ? Align::Right : Align::Left;
    }
    pango_layout_set_alignment(m_layout, align == Align::Center  ? PANGO_ALIGN_CENTER
                                         : align == Align::Right ? PANGO_ALIGN_RIGHT
                                                                 : PANGO_ALIGN_LEFT);

    if (wrap && fixedWidth && pango_layout_get_attributes(m_layout) != nullptr &&
        WrapsAtSpacesOnly(SFontTable::Instance().GetLanguage()) && OverflowsItsWidth(m_layout)) {
        // A word longer than a line: breaking it between syllables beats reaching past the box.
        pango_layout_set_attributes(m_layout, nullptr);
        SetLayoutText(m_layout, shown, format);
    }

    PangoRectangle ink;
    PangoRectangle logical;
    pango_layout_get_pixel_extents(m_layout, &ink, &logical);
    m_width = logical.width;
    m_height = logical.height;
    if (fixedWidth) {
        // Pango placed the lines inside the width; only its own offset is undone.
        m_offsetX = 0;
    } else {
        // Without a width Pango aligns lines against the widest one; the block is placed here.
        const double room = boxWidth - logical.width;
        m_offsetX = (align == Align::Center  ? room / 2
                     : align == Align::Right ? room
                                             : 0) -
                    logical.x;
    }
    if (singleLine && (format & DT_VCENTER) != 0) {
        m_offsetY = (boxHeight - logical.height) / 2 - logical.y;
    } else if (singleLine && (format & DT_BOTTOM) != 0) {
        m_offsetY = boxHeight - logical.height - logical.y;
    } else {
        m_offsetY = -logical.y;
    }
    // An eighth of a line: the widest side bearings of text fonts stay within it. Only a text
    // whose advance fits the box keeps them; a text wider than its box is cut at the box.
    const int lines = std::max(1, pango_layout_get_line_count(m_layout));
    m_sideRoom = logical.width <= boxWidth
                     ? std::ceil(logical.height / static_cast<double>(lines) / 8.0)
                     : 0;
    m_ink = SRect(ink.x + m_offsetX, ink.y + m_offsetY, ink.x + ink.width + m_offsetX,
                  ink.y + ink.height + m_offsetY);
}

STextLayout::~STextLayout() {
    g_object_unref(m_layout);
}

int STextLayout::LineCount() const {
    return pango_layout_get_line_count(m_layout);
}

bool STextLayout::IsEllipsized() const {
    return pango_layout_is_ellipsized(m_layout) != FALSE;
}

int STextLayout::UnknownGlyphs() const {
    return pango_layout_get_unknown_glyphs_count(m_layout);
}

std::string STextLayout::VisibleText() const {
    const char* text = pango_layout_get_text(m_layout);
    return text != nullptr ? text : "";
}

std::vector<std::string> STextLayout::Lines() const {
    const std::string text = VisibleText();
    std::vector<std::string> lines;
    for (GSList* line = pango_layout_get_lines_readonly(m_layout); line != nullptr;
         line = line->next) {
        const auto* laid = static_cast<const PangoLayoutLine*>(line->data);
        const auto start = static_cast<std::size_t>(laid->start_index);
        if (start <= text.size()) {
            lines.push_back(text.substr(start, static_cast<std::size_t>(laid->length)));
        }
    }
    return lines;
}

double STextLayout::CharacterLeft(std::size_t byteIndex) const {
    PangoRectangle position;
    pango_layout_index_to_pos(m_layout, static_cast<int>(byteIndex), &position);
    // A right-to-left character's rectangle has its origin at its right edge (negative width).
    const int left = std::min(position.x, position.x + position.width);
    return static_cast<double>(left) / PANGO_SCALE + m_offsetX;
}

void STextLayout::Draw(cairo_t* cr, double x, double y, uint32_t colour) const {
    const SColor c(colour);
    if (c.IsInvisible()) {
        return;
    }
    cairo_save(cr);
    if ((m_format & DT_NOCLIP) == 0) {
        cairo_new_path(cr);
        cairo_rectangle(cr, x - m_sideRoom, y, m_boxWidth + 2 * m_sideRoom, m_boxHeight);
        cairo_clip(cr);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgba(cr, c.Red(), c.Green(), c.Blue(), c.Alpha());
    cairo_move_to(cr, x + m_offsetX, y + m_offsetY);
    pango_cairo_show_layout(cr, m_layout);
    cairo_restore(cr);
}

// fontconfig keeps its configuration and font patterns for the life of the process (Pango's
// font map holds them); LeakSanitizer would report them at exit in every program that draws
// text. Programs built with the sanitizer pick this up through the toolkit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// Pango loads the fontconfig configuration on a thread of its own and hands it over through
// GLib's futex-based locks, which ThreadSanitizer cannot see; it would report the hand-over as
// races inside fontconfig.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n";
}
