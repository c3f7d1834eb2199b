#pragma once
#include <stdint.h>

// ShellExecuteA reports success with a value above 32, read as unsigned:
// so a value with the top bit set counts as success too.
constexpr bool IsShellExecuteSuccess(uint32_t returned) { return returned > 32; }
