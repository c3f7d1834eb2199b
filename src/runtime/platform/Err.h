#pragma once
#include "../text/Text.h"

// The process's one error state. A procedure that suppresses errors clears it
// on entry, skips failing steps, and may look at it afterwards; a failure
// that nobody traps reaches ReportUntrappedFailure.
namespace Err {

void Clear();
void Raise(unsigned long number, const Text& description);
// Raises the system's error code with its message, naming what failed.
void RaiseSystem(unsigned long code, const Text& what);
unsigned long Number();
const Text& Description();

}  // namespace Err

// Error numbers of the loader's own failures (system codes are used as they are).
constexpr unsigned long kErrFunctionMissing = 453;  // a bound-at-first-call function is absent
