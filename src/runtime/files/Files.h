#pragma once
#include "../text/Text.h"

// Whole-file queries by path.
namespace Files {

// The attribute bits of a path; false, with nothing raised, when the query fails.
bool Attributes(const Text& path, unsigned long& attributes);

}  // namespace Files
