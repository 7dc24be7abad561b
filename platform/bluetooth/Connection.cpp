#include "platform/bluetooth/Connection.h"

namespace platform::bluetooth {

Connection::~Connection() = default;

}  // namespace platform::bluetooth
