// Input: manifest bytes, read as a binding record too.
#include <stdint.h>

#include "binding/Binding.h"
#include "binding/ElevationRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text bytes(reinterpret_cast<const char*>(data), size);
    AsksForElevation(bytes);
    Binding binding;
    if (DecodeBinding(bytes, binding) && EncodeBinding(binding) != bytes) __builtin_trap();
    return 0;
}
