#pragma once

#include <filesystem>

#include "platform/bluetooth/SystemFacts.h"

namespace platform::bluetooth {

// Where the kernel's and the system's files are read: $AURALIS_SYSTEM_ROOT when set (tests put a
// made-up /sys, /proc and /usr tree there), else "/".
std::filesystem::path systemRoot();

// The radios and rfkill switches below root/sys, and whether an RFCOMM socket can be created.
// Under the real root the socket is created and closed at once; under another root the answer
// is read from root/proc/net/protocols (the kernel lists "RFCOMM" there once it offers it).
KernelFacts readKernelFacts(const std::filesystem::path& root);

// BlueZ's version: what bluetoothd says with --version (root/usr/libexec/bluetooth/bluetoothd or
// root/usr/sbin/bluetoothd), else, under the real root, the installed package's version.
BluezVersion readBluezVersion(const std::filesystem::path& root);

}  // namespace platform::bluetooth
