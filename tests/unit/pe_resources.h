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

// Every resource of the image, in directory order. The loader names all its
// resources by number, so a name or type given as a string is a FormatError.
std::vector<Resource> ReadResources(const Bytes& image);

uint32_t Le16(const Bytes& data, size_t at);
uint32_t Le32(const Bytes& data, size_t at);

}  // namespace pe
