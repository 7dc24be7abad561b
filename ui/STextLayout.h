#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/SRect.h"

// One text laid out by Pango for a box of device pixels, following the toolkit's text flags
// (TextFlags.h):
//   DT_SINGLELINE      line breaks become spaces
//   DT_WORDBREAK       wraps at word boundaries; with DT_EDITCONTROL long words break too.
//                      In Korean a word is what lies between spaces: Hangul is kept whole
//                      unless a word is longer than a line
//   DT_END_ELLIPSIS,
//   DT_WORD_ELLIPSIS   "…" at the end of a line that does not fit (Pango has no word-wise
//                      ellipsis); with DT_WORDBREAK the last line that fits the box height
//   DT_PATH_ELLIPSIS   "…" in the middle
//   DT_CENTER/RIGHT    horizontal alignment; mirrored contexts swap left and right
//   DT_VCENTER/BOTTOM  vertical alignment of single-line text
//   DT_NOPREFIX        '&' is literal; without it "&x" underlines x and "&&" is '&'
//                      (DT_HIDEPREFIX drops the underline)
//   DT_NOCLIP          drawing may leave the box (else it is clipped to it)
//   DT_CALCRECT        measuring: the natural extent, ellipsis flags ignored
//   DT_RTLREADING      right-to-left paragraph direction (in mirrored contexts so for every
//                      text but one of left-to-right letters only, which keeps its order
//                      and is aligned to the right; elsewhere the first strong character
//                      decides)
// Font options are pinned (grey antialiasing, slight hinting, unhinted metrics) so the same
// text gives the same pixels and the same measurements everywhere. UI thread only.
class STextLayout {
public:
    STextLayout(cairo_t* cr, const std::string& text, unsigned format,
                const PangoFontDescription* font, double boxWidth, double boxHeight, bool mirrored);
    ~STextLayout();
    STextLayout(const STextLayout&) = delete;
    STextLayout& operator=(const STextLayout&) = delete;

    // Logical extent of the laid out text in pixels.
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    int LineCount() const;
    bool IsEllipsized() const;
    // Where the glyphs' ink lands, in pixels relative to the box's top-left corner (empty for
    // blank text). Ink outside (0, 0, box width, box height) is cut unless DT_NOCLIP.
    const SRect& InkInBox() const { return m_ink; }
    // Glyphs no installed font could show (drawn as boxes).
    int UnknownGlyphs() const;
    // The visible text after '&' prefixes were processed.
    std::string VisibleText() const;
    // Where the character at `byteIndex` of the visible text lands: its left edge in pixels
    // from the box's left (the reading order of mixed-direction text is checked with it).
    double CharacterLeft(std::size_t byteIndex) const;
    // The visible text of each laid out line, in order (a line keeps its trailing space).
    std::vector<std::string> Lines() const;

    // How far glyphs of a text that fits its box may reach past the box's left and right edges
    // without being clipped: a glyph's side bearing (the hook of a "J", an italic overhang)
    // lies outside its advance and scales with the font, so a fixed one-pixel margin would cut
    // it at a larger zoom. 0 for a text wider than its box.
    double SideBearingRoom() const { return m_sideRoom; }

    // Draws into the box whose top-left corner is (x, y) in the context's pixels.
    void Draw(cairo_t* cr, double x, double y, uint32_t colour) const;

    // The pinned font options (owned by the class).
    static const cairo_font_options_t* FontOptions();
    // A run that must read left to right inside a right-to-left sentence (a size with its
    // unit, "98 KB"; "12 KB/98 KB"), held together by left-to-right marks while the program
    // reads right to left; unchanged otherwise, and when the run has right-to-left letters of
    // its own (a date with Arabic month names reads right to left like its sentence).
    static std::string KeepLeftToRight(const std::string& run);

private:
    PangoLayout* m_layout = nullptr;
    unsigned m_format;
    double m_boxWidth;
    double m_boxHeight;
    double m_width = 0;
    double m_height = 0;
    double m_offsetX = 0;
    double m_offsetY = 0;
    double m_sideRoom = 0;
    SRect m_ink;
};
