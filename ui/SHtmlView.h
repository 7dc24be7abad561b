#pragma once

#include <string>
#include <vector>

#include "ui/SCustomSView.h"

// Shows the text of an HTML page (SHtmlText) as wrapped paragraphs in a scrolling view.
// Paragraphs are laid out for the view's width and only those in sight are drawn.
class SHtmlView : public SCustomSView {
public:
    static constexpr int kFont = 112;
    static constexpr int kHeadingFont = 117;
    static constexpr double kParagraphGap = 8;
    static constexpr double kMargin = 14;

    SHtmlView();
    ~SHtmlView() override;
    const char* GetClassName() const override { return "SHtmlView"; }

    void SetHtml(const std::string& html);
    // Reads a local file; false (and a placeholder paragraph) when it cannot be read.
    bool LoadFile(const std::string& path);
    const std::vector<std::string>& GetParagraphs() const { return m_paragraphs; }
    bool IsHeading(std::size_t index) const {
        return index < m_headings.size() && m_headings[index];
    }

    void OnCreate() override;
    // Lays the paragraphs out again whenever the view's width changed.
    int ArrangeChildren() override;

private:
    class Page;
    void LayoutPage();

    std::vector<std::string> m_paragraphs;
    std::vector<bool> m_headings;
    std::unique_ptr<Page> m_page;
    double m_laidOutWidth = -1;
};
