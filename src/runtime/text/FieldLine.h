#pragma once
#include "Text.h"

// A text written as one double-quoted field and a line end: the bytes that
// "Write #" style output produces for a single text value.
Text FieldLine(const Text& value);
