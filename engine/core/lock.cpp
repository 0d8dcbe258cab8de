#include "lock.h"

#include <mutex>
#include <system_error>

#include "errors.h"

namespace Vantrix {
namespace {
// Function-local static: created once, thread-safely, before first use.
std::mutex& Section() {
    static std::mutex section;
    return section;
}
} // namespace

TCriticalSection::TCriticalSection() {
    try {
        Section().lock();
    } catch (const std::system_error&) {
        throw eetAcquireFailure;
    }
}

TCriticalSection::~TCriticalSection() {
    Section().unlock();
}

} // namespace Vantrix
