#pragma once
// A small reader of the resources in a 32-bit Windows executable, for tests
// that check what the build put into the loader.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

using Bytes = std::vector<uint8_t>;

struct Resource {
    std::string typeName;  // a type named by a string; type is then 0
    uint32_t type;
    uint32_t name;
    uint32_t language;
    Bytes data;
};

// Thrown for anything that is not a well-formed PE image, including data that
// ends early or offsets that point outside the file.
struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Bytes ReadFile(const std::string& path);

// Every resource of the image, in directory order. The loader names its
// resources by number, and only a type by a string (its binding record's),
// so a name or language given as a string is a FormatError.
std::vector<Resource> ReadResources(const Bytes& image);

// A few hundred bytes whose every tree entry points at the same table below
// it: count^3 resources, for readers that must stop rather than list them.
Bytes SharedTablesImage();

uint32_t Le16(const Bytes& data, size_t at);
uint32_t Le32(const Bytes& data, size_t at);

}  // namespace pe
