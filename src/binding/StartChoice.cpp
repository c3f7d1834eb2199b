#include "StartChoice.h"

#include "../runtime/process/ExitCodes.h"

StartChoice ChooseStart(bool bound, bool finalPathSupported, unsigned long finalPathError) {
    if (!bound || !finalPathSupported) return {StartWay::Shell, ExitCode::kSuccess};
    // The path as started could name another file by now.
    if (finalPathError != 0) return {StartWay::Refused, ExitCode::OfFailure(finalPathError)};
    return {StartWay::Exact, ExitCode::kSuccess};
}

unsigned long ExactStartEnd(bool started, unsigned long startError, unsigned long setupCode) {
    return started ? setupCode : ExitCode::OfFailure(startError);
}
