#pragma once

// The process zoom factor: how many screen pixels one layout unit takes. The dispatcher sets it
// from the desktop when it starts; drawing, images and fonts read it. Safe from any thread.
class SZoomFactor {
public:
    // 1.0 until something sets it.
    static double Get();
    // A factor of 0 or below is ignored.
    static void Set(double factor);
};
