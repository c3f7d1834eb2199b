#include "FieldLine.h"

Text FieldLine(const Text& value) { return Text("\"") + value + "\"\r\n"; }
