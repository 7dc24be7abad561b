#include "platform/bluetooth/Backend.h"

namespace platform::bluetooth {

Backend::~Backend() = default;

}  // namespace platform::bluetooth
