#include "ui/SWindowBasePropPage.h"

#include <algorithm>

#include "ui/SDC.h"
#include "ui/SPalette.h"

namespace {
constexpr int kHeadingFont = 113;  // 12 px bold
constexpr int kRowFont = 110;      // 11 px regular
constexpr double kInset = 10;
constexpr uint32_t kStripe = SColor::Make(0xF6, 0xF4, 0xF1);
}  // namespace

SWindowBasePropPage::SWindowBasePropPage(std::string heading, std::size_t capacity, double keyWidth)
    : m_heading(std::move(heading)), m_keyWidth(keyWidth) {
    const std::size_t rows = std::max<std::size_t>(capacity, 1);
    for (std::size_t i = 0; i < rows; ++i) {
        m_keys.push_back(std::make_unique<SLabel>());
        m_values.push_back(std::make_unique<SLabel>());
    }
}

double SWindowBasePropPage::GetPreferredHeight() const {
    return kHeadingHeight + kRowHeight * static_cast<double>(m_keys.size()) + 4;
}

void SWindowBasePropPage::OnCreate() {
    m_heading.SetFont(kHeadingFont);
    m_heading.SetTextColor(SPalette::kAccentDark);
    m_heading.Create("Heading", this, SMargin(kInset, 0, kInset, -1), SSize(0, kHeadingHeight));
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        const double top = kHeadingHeight + kRowHeight * static_cast<double>(i);
        const std::string index = std::to_string(i);
        SLabel& key = *m_keys[i];
        key.SetFont(kRowFont);
        key.SetTextColor(SPalette::kTextSecondary);
        key.Create("Key" + index, this, SMargin(kInset, top, -1, -1),
                   SSize(m_keyWidth, kRowHeight));
        SLabel& value = *m_values[i];
        value.SetFont(kRowFont);
        value.SetTextColor(SPalette::kText);
        value.Create("Value" + index, this, SMargin(kInset + m_keyWidth, top, kInset, -1),
                     SSize(0, kRowHeight));
    }
    SetRows({});
}

void SWindowBasePropPage::SetRows(const std::vector<Row>& rows) {
    const std::size_t capacity = m_keys.size();
    m_shown.clear();
    if (rows.empty()) {
        m_shown.push_back(Row{"", m_placeholder});
    } else if (rows.size() <= capacity) {
        m_shown = rows;
    } else {
        m_shown.assign(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(capacity - 1));
        const std::size_t hidden = rows.size() - (capacity - 1);
        m_shown.push_back(Row{"…", std::to_string(hidden) + " more"});
    }
    for (std::size_t i = 0; i < capacity; ++i) {
        const bool used = i < m_shown.size();
        m_keys[i]->SetText(used ? m_shown[i].key : std::string());
        m_values[i]->SetText(used ? m_shown[i].value : std::string());
    }
    Invalidate();
}

void SWindowBasePropPage::OnPaint(SDC& dc) {
    SPanel::OnPaint(dc);
    // Every other used row on a light stripe, so long values stay with their keys.
    const double width = GetRect(kRectOwnLogical, 0).Width();
    for (std::size_t i = 1; i < m_shown.size(); i += 2) {
        const double top = kHeadingHeight + kRowHeight * static_cast<double>(i);
        dc.FillRect(SRect(kInset / 2, top, width - kInset / 2, top + kRowHeight), kStripe);
    }
}
