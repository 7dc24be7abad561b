#include "tools/appshots/ShotFrame.h"

int ShotFrame::OnCreate() {
    root.CreateRoot(&agent, "Root");
    root.SetBackgroundColor(0x00FFFFFFu);
    const SMargin fill(0, 0, 0, 0);
    home.Create("_homeView", &root, fill, SSize(), 0);
    connecting.Create("_connectingView", &root, fill, SSize(), 0);
    fail.Create("_failView", &root, fill, SSize(), 0);
    return 0;
}

void ShotFrame::ShowScreen(SWindowBase* screen) {
    for (SWindowBase* each :
         {static_cast<SWindowBase*>(&home), static_cast<SWindowBase*>(&connecting),
          static_cast<SWindowBase*>(&fail)}) {
        if (each != screen) {
            each->SetVisible(0);
        }
    }
    screen->SetVisible(1);
}
