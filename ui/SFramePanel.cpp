#include "ui/SFramePanel.h"

#include "base/Log.h"
#include "ui/SDialogFrame.h"

void SFramePanel::CloseDialog() {
    if (m_parentFrame == nullptr || !m_parentFrame->IsWindow()) {
        _Log(LOG_INFO, "SFramePanel::CloseDialog", __LINE__, "_parentFrame is invalid");
        return;
    }
    _Log(LOG_INFO, "SFramePanel::CloseDialog", __LINE__, "Send Close Message to Frame");
    m_parentFrame->OnClose();
}

void SFramePanel::OnAnimationEnd(int key) {
    if (auto* dialog = dynamic_cast<SDialogFrame*>(m_parentFrame)) {
        dialog->OnRootAnimationEnd(key);
    }
}
