#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/SLabel.h"
#include "ui/SPanel.h"

// One page of the widget inspector: a heading over a table of key / value rows drawn with
// labels. The page makes its rows once (a fixed capacity) and fills them on every change;
// rows beyond the capacity are summed up in the last row, so the page never grows out of
// its window.
class SWindowBasePropPage : public SPanel {
public:
    struct Row {
        std::string key;
        std::string value;
    };
    static constexpr double kHeadingHeight = 26;
    static constexpr double kRowHeight = 21;
    static constexpr double kKeyWidth = 78;

    SWindowBasePropPage(std::string heading, std::size_t capacity, double keyWidth = kKeyWidth);
    const char* GetClassName() const override { return "SWindowBasePropPage"; }

    // Shows the rows (a placeholder line when empty).
    void SetRows(const std::vector<Row>& rows);
    // What the page shows, as the user reads it (overflow summary included).
    const std::vector<Row>& GetShownRows() const { return m_shown; }
    void SetPlaceholder(const std::string& text) { m_placeholder = text; }
    std::size_t GetCapacity() const { return m_keys.size(); }
    // The height the page needs for its capacity.
    double GetPreferredHeight() const;

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

private:
    SLabel m_heading;
    std::vector<std::unique_ptr<SLabel>> m_keys;
    std::vector<std::unique_ptr<SLabel>> m_values;
    std::vector<Row> m_shown;
    std::string m_placeholder = "-";
    double m_keyWidth;
};
