#include "ui/SZoomFactor.h"

#include <atomic>

namespace {

std::atomic<double> g_zoomFactor{1.0};

}  // namespace

double SZoomFactor::Get() {
    return g_zoomFactor.load();
}

void SZoomFactor::Set(double factor) {
    if (factor > 0) {
        g_zoomFactor = factor;
    }
}
