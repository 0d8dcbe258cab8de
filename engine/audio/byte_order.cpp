#include "byte_order.h"

#include <algorithm>

namespace Vantrix {

void swapBytes(void* data, size_t count) {
    auto* bytes = static_cast<uint8_t*>(data);
    std::reverse(bytes, bytes + count);
}

} // namespace Vantrix
