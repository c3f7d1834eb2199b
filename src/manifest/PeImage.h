#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Header edits that keep a rewritten copy of the loader a clean, unsigned
// executable that a signing tool accepts. Both work on the whole file in
// memory and leave anything that is not a 32-bit PE image untouched.
namespace PeImage {

// Little-endian fields at any alignment. Both the loader's target and the
// machines that test it are little-endian: a copy is then one load or store.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "PE fields are read in the machine's own order");
inline uint32_t Le16(const unsigned char* p) {
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}
inline uint32_t Le32(const unsigned char* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}
inline void PutLe32(unsigned char* p, uint32_t v) { memcpy(p, &v, 4); }

// Where the headers of a 32-bit PE image lie, each inside the image.
struct Headers {
    size_t optional;       // the optional header
    uint32_t directories;  // its data directory entries, 8 bytes each from optional + 96
    size_t sections;       // the section table, 40 bytes a section
    uint32_t sectionCount;
};
bool FindHeaders(const unsigned char* image, size_t length, Headers& headers);

// Clears the security directory (the Authenticode certificate table) and
// returns the file's new length: without the table when the table is the
// file's tail, as signing tools append it; else the length unchanged.
size_t DropCertificateTable(unsigned char* image, size_t length);

// Stores the image's checksum in its optional header; false when the data is
// no 32-bit PE image.
bool UpdateChecksum(unsigned char* image, size_t length);

}  // namespace PeImage
