// Input: a Windows executable, given a manifest and a binding record.
#include "manifest/ResourceSection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ResourceSection::Item items[] = {{nullptr, 24, 1, 0, "<assembly/>", 11}, {"SETUPBINDING", 0, 1, 0, "x", 1}};
    ByteBlock out, again;
    // What it wrote, it must understand again.
    if (ResourceSection::SetResources(data, size, items, 2, out) &&
        !ResourceSection::SetResources(out.data, out.length, items, 1, again))
        __builtin_trap();
    return 0;
}
