#pragma once
#include "../runtime/text/Text.h"

// Whether an application manifest asks for elevation: a requestedExecutionLevel
// element (with or without a namespace prefix) whose level is
// requireAdministrator or highestAvailable. The bytes may be UTF-8 or UTF-16
// of either byte order, with or without a byte order mark; commented-out
// elements do not count.
bool AsksForElevation(const Text& manifestBytes);
