#pragma once

#include <chrono>

// The pauses and time-outs of the device link's threads. The defaults are the link's own; tests
// shorten them through BluetoothHandle::setTimings so that watchdogs fire within milliseconds.
struct LinkTimings {
    using ms = std::chrono::milliseconds;

    // Between two radio checks of the support check (3 tries).
    ms supportCheckPause{1000};
    // Between two discovery cycles; not before the first.
    ms discoveryPause{3000};
    // After a discovery cycle whose scan could not begin.
    ms lookupFailurePause{1000};
    // How long the alive check waits for any received byte after a probe.
    ms aliveWait{2000};
    // The alive check's pause between probes (step × steps), one wait that a stop ends at once.
    ms alivePauseStep{20};
    int alivePauseSteps = 100;
    // The receive watchdog of a firmware transfer: this long without a received byte ends the link.
    ms receiveWatchdog{20000};
    // OpenFotaSession waits this long before the open message leaves.
    ms fotaOpenPause{50};
    // A connect refused because the device is busy (our previous link still closing, or another
    // program holding it) is tried once more after this pause.
    ms busyRetryPause{1000};
};
