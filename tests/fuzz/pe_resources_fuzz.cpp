// Input: a Windows executable.
#include "pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        pe::ReadResources(pe::Bytes(data, data + size));
    } catch (const pe::FormatError&) {}
    return 0;
}
