#include "Files.h"

#include "../platform/Win32.h"

namespace Files {

bool Attributes(const Text& path, unsigned long& attributes) {
    DWORD value = ::GetFileAttributesA(path.c_str());
    if (value == INVALID_FILE_ATTRIBUTES) return false;
    attributes = value;
    return true;
}

}  // namespace Files
