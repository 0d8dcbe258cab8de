// What an engine call throws, so that a test checks a kind or a message in one line.
#pragma once

#include "errors.h"

// The kind call throws bare; eetSuccess when it throws none.
template <class Call> int32_t ThrownKind(Call call) {
    try {
        call();
    } catch (Vantrix::EErrorType kind) {
        return kind;
    }
    return Vantrix::eetSuccess;
}

// The TError (message and kind) call throws; of kind eetSuccess when it throws none.
template <class Call> Vantrix::TError Thrown(Call call) {
    try {
        call();
    } catch (const Vantrix::TError& error) {
        return error;
    }
    return Vantrix::TError("nothing thrown", Vantrix::eetSuccess);
}
