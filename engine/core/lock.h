// Scoped hold on the one process-wide engine lock.
#pragma once

namespace Vantrix {

class TCriticalSection {
public:
    // Waits for the lock; throws eetAcquireFailure when the platform lock fails.
    TCriticalSection();
    ~TCriticalSection();
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;
};

} // namespace Vantrix
