#pragma once

#include "ui/SWindowBase.h"

class SPopupDialog;

// The base of a popup dialog's content that wants to know its dialog (to close it with a
// result, or to find its window). The dialog hands itself over when it adopts the content.
class SPopupPanelBase : public SWindowBase {
public:
    const char* GetClassName() const override { return "SPopupPanelBase"; }

    void SetDialog(SPopupDialog* dialog) { m_dialog = dialog; }
    SPopupDialog* GetDialog() const { return m_dialog; }

private:
    SPopupDialog* m_dialog = nullptr;
};
