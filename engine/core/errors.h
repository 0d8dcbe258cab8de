// Error kinds of the engine: returned (0 = success) or thrown by value.
#pragma once

#include <cstdint>
#include <string>

namespace Vantrix {

enum EErrorType : int32_t {
    eetSuccess = 0,
    eetCatastrophicFailure = 1,
    eetArgumentFailure = 2,
    eetDataFailure = 3,
    eetRangeFailure = 4,
    eetFindFailure = 5,
    eetCreateFailure = 6,
    eetDestroyFailure = 7,
    eetOpenFailure = 8,
    eetCloseFailure = 9,
    eetWriteFailure = 10,
    eetReadFailure = 11,
    eetAcquireFailure = 12,
    eetReleaseFailure = 13,
    eetInsertFailure = 14,
    eetWrongState = 15,
};

// Name and fixed text of a kind; nullptr for a value outside the table.
const char* NameOf(int32_t kind);
const char* TextOf(int32_t kind);

// A kind with a message, held or thrown by the recognizer.
class TError {
public:
    TError(std::string message, EErrorType kind) : message(std::move(message)), kind(kind) {}
    std::string message;
    EErrorType kind;
};

// A data file the user installed is unusable; the message names the file and what is wrong, and
// the interface shows it as the failure's detail.
class TDataFileError : public TError {
public:
    using TError::TError;
};

// Traces "Caught an exception (%s): %s\n" for a caught kind and returns it.
EErrorType TraceCaught(EErrorType kind);

} // namespace Vantrix
