#include "ui/SDispatcherFrame.h"

#include "ui/SDispatcher.h"

void SDispatcherFrame::Exit() {
    keepRunning = 0;
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->GetBackend().wake();
    }
}
