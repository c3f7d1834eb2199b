#pragma once
#include <stddef.h>

// Header edits that keep a rewritten copy of the loader a clean, unsigned
// executable that a signing tool accepts. Both work on the whole file in
// memory and leave anything that is not a 32-bit PE image untouched.
namespace PeImage {

// Clears the security directory (the Authenticode certificate table) and
// returns the file's new length: without the table when the table is the
// file's tail, as signing tools append it; else the length unchanged.
size_t DropCertificateTable(unsigned char* image, size_t length);

// Stores the image's checksum in its optional header; false when the data is
// no 32-bit PE image.
bool UpdateChecksum(unsigned char* image, size_t length);

}  // namespace PeImage
