#include "ui/IToolTipHost.h"

namespace {
IToolTipHost* g_toolTipHost = nullptr;  // UI thread only
}

void IToolTipHost::Set(IToolTipHost* host) {
    g_toolTipHost = host;
}

IToolTipHost* IToolTipHost::Get() {
    return g_toolTipHost;
}
