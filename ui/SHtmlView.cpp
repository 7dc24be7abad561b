#include "ui/SHtmlView.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "base/Log.h"
#include "ui/SDC.h"
#include "ui/SHtmlText.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

namespace {
constexpr unsigned kFormat = DT_WORDBREAK | DT_NOPREFIX;
// A paragraph is drawn in one text box, which may not grow beyond what the context draws.
constexpr std::size_t kLongestParagraph = 3000;

// Splits very long paragraphs at a space near the limit.
std::vector<SHtmlText::Block> Split(const std::vector<SHtmlText::Block>& blocks) {
    std::vector<SHtmlText::Block> out;
    for (const SHtmlText::Block& block : blocks) {
        const std::string& paragraph = block.text;
        std::size_t at = 0;
        while (paragraph.size() - at > kLongestParagraph) {
            std::size_t cut = paragraph.rfind(' ', at + kLongestParagraph);
            if (cut == std::string::npos || cut <= at) {
                cut = at + kLongestParagraph;
                // never inside a UTF-8 sequence
                while (cut > at && (static_cast<unsigned char>(paragraph[cut]) & 0xC0) == 0x80) {
                    --cut;
                }
            }
            out.push_back({paragraph.substr(at, cut - at), block.heading});
            at = cut < paragraph.size() && paragraph[cut] == ' ' ? cut + 1 : cut;
        }
        out.push_back({paragraph.substr(at), block.heading});
    }
    return out;
}

}  // namespace

// The scrolled content: every paragraph at its place, drawn only when in sight.
class SHtmlView::Page : public SWindowBase {
public:
    struct Block {
        double top;
        double height;
    };
    void Layout(const std::vector<std::string>* paragraphs, const std::vector<bool>* headings,
                double width) {
        m_paragraphs = paragraphs;
        m_headings = headings;
        m_width = width;
        m_blocks.clear();
        double y = kMargin;
        for (std::size_t i = 0; i < paragraphs->size(); ++i) {
            const SSize size =
                SDC::MeasureText((*paragraphs)[i], FontOf(i), kFormat, width - 2 * kMargin);
            const double height = std::ceil(size.height);
            m_blocks.push_back({y, height});
            y += height + kParagraphGap;
        }
        m_height = y - kParagraphGap + kMargin;
    }
    double Height() const { return m_height; }
    int FontOf(std::size_t index) const {
        return m_headings != nullptr && index < m_headings->size() && (*m_headings)[index]
                   ? kHeadingFont
                   : kFont;
    }
    void OnPaint(SDC& dc) override {
        if (m_paragraphs == nullptr) {
            return;
        }
        // The part of the page in sight, in the page's own units.
        const double visibleTop = dc.scrollRect.top - dc.visibleArea.top;
        const double visibleBottom = dc.scrollRect.bottom - dc.visibleArea.top;
        for (std::size_t i = 0; i < m_blocks.size(); ++i) {
            const Block& block = m_blocks[i];
            if (block.top + block.height < visibleTop || block.top > visibleBottom) {
                continue;
            }
            dc.DrawText((*m_paragraphs)[i],
                        SRect(kMargin, block.top, m_width - kMargin, block.top + block.height + 2),
                        kFormat, FontOf(i), SPalette::kText);
        }
    }

private:
    const std::vector<std::string>* m_paragraphs = nullptr;
    const std::vector<bool>* m_headings = nullptr;
    std::vector<Block> m_blocks;
    double m_width = 0;
    double m_height = 0;
};

SHtmlView::SHtmlView() : m_page(std::make_unique<Page>()) {}

SHtmlView::~SHtmlView() {
    // The page unlinks itself before the view's lists go.
    m_page.reset();
}

void SHtmlView::SetHtml(const std::string& html) {
    m_paragraphs.clear();
    m_headings.clear();
    for (SHtmlText::Block& block : Split(SHtmlText::ToBlocks(html))) {
        m_paragraphs.push_back(std::move(block.text));
        m_headings.push_back(block.heading);
    }
    m_laidOutWidth = -1;
    ArrangeChildren();
}

bool SHtmlView::LoadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        _Log(LOG_WARNING, "SHtmlView::LoadFile", __LINE__, "cannot read %s", path.c_str());
        m_paragraphs = {path};
        m_headings = {false};
        m_laidOutWidth = -1;
        ArrangeChildren();
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    SetHtml(text.str());
    return true;
}

void SHtmlView::OnCreate() {
    SCustomSView::OnCreate();
    m_page->Create("HtmlPage", this, SMargin(0, 0, 0, -1), SSize(0, 1));
    // The pages shown (the licence notice) are written left to right, in English: their text
    // keeps its own layout in a mirrored window; only the view around it is mirrored.
    m_page->SetKeepsPhysicalSides(1);
}

int SHtmlView::ArrangeChildren() {
    LayoutPage();
    return SCustomSView::ArrangeChildren();
}

void SHtmlView::LayoutPage() {
    if (IsCreated() == 0) {
        return;
    }
    const double width = GetClientRect(kRectOwnLogical).Width();
    if (width <= 0 || width == m_laidOutWidth) {
        return;
    }
    m_laidOutWidth = width;
    // Room for the vertical bar, so the text never runs under it.
    m_page->Layout(&m_paragraphs, &m_headings, width - 10);
    m_page->SetSize(SSize(0, m_page->Height()));
    Invalidate();
}
