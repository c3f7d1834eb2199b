#include "PeImage.h"

namespace {

using PeImage::Le16;
using PeImage::Le32;
using PeImage::PutLe32;

constexpr unsigned kPe32Magic = 0x10B;
constexpr size_t kChecksumField = 64;  // within the optional header
constexpr size_t kDirectoryCountField = 92;
constexpr size_t kDirectories = 96;
constexpr unsigned kSecurityDirectory = 4;

// Offset of the optional header of a 32-bit PE image, or 0 when it is none.
size_t OptionalHeader(const unsigned char* image, size_t length) {
    if (length < 64 || image[0] != 'M' || image[1] != 'Z') return 0;
    unsigned long pe = Le32(image + 0x3C);
    if (pe > length || length - pe < 24 + kDirectories) return 0;
    if (Le32(image + pe) != 0x00004550 || Le16(image + pe + 24) != kPe32Magic) return 0;
    return pe + 24;
}

}  // namespace

namespace PeImage {

bool FindHeaders(const unsigned char* image, size_t length, Headers& headers) {
    size_t optional = OptionalHeader(image, length);
    if (!optional) return false;
    size_t optionalSize = Le16(image + optional - 4);
    headers = {optional, Le32(image + optional + kDirectoryCountField), optional + optionalSize,
               Le16(image + optional - 18)};
    // A count the header has no room for would put the section table inside the directories.
    return optionalSize >= kDirectories && headers.directories <= (optionalSize - kDirectories) / 8 &&
           headers.sections <= length && (length - headers.sections) / 40 >= headers.sectionCount;
}

size_t DropCertificateTable(unsigned char* image, size_t length) {
    size_t optional = OptionalHeader(image, length);
    if (!optional || Le32(image + optional + kDirectoryCountField) <= kSecurityDirectory) return length;
    unsigned char* entry = image + optional + kDirectories + kSecurityDirectory * 8;
    if (entry + 8 > image + length) return length;
    // Unlike every other directory, this one holds a file offset, not an address.
    unsigned long offset = Le32(entry);
    unsigned long size = Le32(entry + 4);
    if (size == 0) return length;
    PutLe32(entry, 0);
    PutLe32(entry + 4, 0);
    return offset < length && length - offset == size ? offset : length;
}

bool UpdateChecksum(unsigned char* image, size_t length) {
    size_t optional = OptionalHeader(image, length);
    if (!optional) return false;
    size_t field = optional + kChecksumField;
    // The sum of all 16-bit words with end-around carry, the field itself
    // counted as zero, plus the file's length.
    unsigned long sum = 0;
    for (size_t i = 0; i < length; i += 2) {
        if (i == field || i == field + 2) continue;
        sum += image[i] | (i + 1 < length ? image[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    PutLe32(image + field, sum + length);
    return true;
}

}  // namespace PeImage
