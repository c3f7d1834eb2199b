#pragma once
#include "../runtime/forms/Form.h"

// The hidden owner window: loaded, never shown; its handle owns every shell
// call of the process.
Form& hw();
