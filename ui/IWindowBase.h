#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/SKeyMessage.h"
#include "ui/SMouseEventArgs.h"
#include "ui/SRect.h"

class SWindowBase;

// The operations through which a frame's agent drives a widget tree, in their slot order.
// Pointer operations take the event record (point in frame client pixels) and a flag: 0 = the
// receiver first hit-tests from itself for the target; 1 = the target is already chosen (mouse
// capture) and the receiver handles the event itself.
class IWindowBase {
public:
    virtual ~IWindowBase() = default;

    virtual void SetFrameRect(const SRect& rect) = 0;                              // 0
    virtual void Repaint() = 0;                                                    // 1
    virtual IWindowBase* GetLayer() = 0;                                           // 2
    virtual SWindowBase* MouseMove(SMouseEventArgs& event, int targetChosen) = 0;  // 3
    virtual void MouseLeave() = 0;                                                 // 4
    virtual int LButtonUp(SMouseEventArgs& event, int targetChosen) = 0;           // 5
    virtual int LButtonDown(SMouseEventArgs& event, int targetChosen) = 0;         // 6
    virtual int LButtonDoubleClick(SMouseEventArgs& event, int targetChosen) = 0;  // 7
    virtual int RButtonUp(SMouseEventArgs& event, int targetChosen) = 0;           // 8
    virtual int RButtonDown(SMouseEventArgs& event, int targetChosen) = 0;         // 9
    virtual int MouseWheel(SMouseEventArgs& event, int targetChosen) = 0;          // 10
    virtual void Resize(double width, double height) = 0;                          // 11
    virtual void SetInheritedStateA(int value) = 0;                                // 12
    virtual void SetInheritedStateB(int value) = 0;                                // 13
    virtual int HitTestArea(SMouseEventArgs& event, int targetChosen) = 0;         // 14
    virtual int SetCursor(SMouseEventArgs& event, int targetChosen) = 0;           // 15
    virtual int PreTranslateKey(const SKeyMessage& message) = 0;                   // 16
    virtual void Activate(int state) = 0;                                          // 17
    virtual void BroadcastNotifyA(int value) = 0;                                  // 18
    virtual void BroadcastNotifyB() = 0;                                           // 19
    virtual void BroadcastNotifyC() = 0;                                           // 20
    virtual void Timer(uint32_t id) = 0;                                           // 21
    virtual void BroadcastNotifyD(int value) = 0;                                  // 22
    virtual void FocusChanged(int gained) = 0;                                     // 23
    virtual int KeyDown(int key, uint32_t flags) = 0;                              // 24
    virtual int KeyUp(int key, uint32_t flags) = 0;                                // 25
    virtual int DragEnter(const std::vector<std::string>& files, uint32_t keys,
                          const SPoint& point) = 0;                        // 26
    virtual int DragOver(const SPoint& point) = 0;                         // 27
    virtual int Drop(uint32_t keys, const SPoint& point, int effect) = 0;  // 28
    virtual void DragLeave() = 0;                                          // 29
    virtual SWindowBase* GetLayerWidget() = 0;                             // 30
};
