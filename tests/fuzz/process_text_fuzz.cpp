// Input: a command line, which also stands for the module path.
#include "FuzzText.h"
#include "runtime/text/ProcessText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text line = NextText(data, size);
    ArgumentTextFrom(line.c_str());
    ModulePath parts;
    SplitModulePath(line, parts);
    RunnerObjectName(line);
    return 0;
}
