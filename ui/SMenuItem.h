#pragma once

#include <cstddef>

#include "ui/SMenuEntry.h"
#include "ui/SWindowBase.h"

class IMenuItemDelegate;
class SImage;

// One row of a drop-down menu, drawn from its entry: a separator line, or the caption 8 units in
// from each side of the row. While the entry has the check-mark bit the check picture stands
// 8 units in and the caption follows it. The row is wide enough for the check either way.
// Disabled captions are grey and cannot be chosen. The entry is read at every paint, so a
// state changed while the menu is open shows at once.
class SMenuItem : public SWindowBase {
public:
    static constexpr double kPadding = 8;
    static constexpr double kCheckColumn = 18;
    static constexpr double kHeight = 30;
    static constexpr double kSeparatorHeight = 9;
    static constexpr int kFont = 112;

    SMenuItem();
    ~SMenuItem() override;
    const char* GetClassName() const override { return "SMenuItem"; }

    // The entry `index` of `menu`; the definition outlives the item.
    void SetEntry(SMenuDefinition* menu, std::size_t index);
    const SMenuEntry* GetEntry() const;
    void SetDelegate(IMenuItemDelegate* delegate) { m_delegate = delegate; }
    // Drawn for a checked entry; owned by the menu.
    void SetCheckImage(const SImage* image) { m_check = image; }
    // Highlighted by the keyboard (arrow keys), drawn like the hovered row.
    void SetKeyHighlight(int highlighted);
    int HasKeyHighlight() const { return m_keyHighlight; }
    // A command entry that is enabled (not a separator, not greyed).
    bool IsChoosable() const;

    // The height of an entry's row and the width its caption needs, in logical units.
    static double HeightFor(const SMenuEntry& entry);
    static double WidthFor(const SMenuEntry& entry);

    void OnPaint(SDC& dc) override;
    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;

private:
    SMenuDefinition* m_menu = nullptr;
    std::size_t m_index = 0;
    IMenuItemDelegate* m_delegate = nullptr;
    const SImage* m_check = nullptr;
    int m_pressed = 0;
    int m_keyHighlight = 0;
};
