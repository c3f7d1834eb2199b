// The header edits that keep a rewritten copy of the loader clean and
// unsigned, checked on the built loader: the linker wrote its checksum.

#include <gtest/gtest.h>

#include "manifest/PeImage.h"
#include "pe_resources.h"

namespace {

using pe::Bytes;
using pe::Le32;

constexpr size_t kChecksum = 24 + 64, kSecurity = 24 + 96 + 4 * 8;  // from the PE signature

size_t Pe(const Bytes& image) { return Le32(image, 0x3C); }

void Put32(Bytes& image, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[at + i] = uint8_t(value >> (8 * i));
}

// The loader as a signing tool leaves it: a certificate table appended, the
// security directory naming it, a checksum over the new length.
Bytes Signed(const Bytes& loader, size_t tableSize) {
    Bytes image = loader;
    Put32(image, Pe(image) + kSecurity, uint32_t(loader.size()));
    Put32(image, Pe(image) + kSecurity + 4, uint32_t(tableSize));
    image.resize(loader.size() + tableSize, 0x5A);
    PeImage::UpdateChecksum(image.data(), image.size());
    return image;
}

TEST(PeImage, TheChecksumIsTheOneTheLinkerWrites) {
    Bytes loader = pe::ReadFile(LOADER_EXE);
    Bytes image = loader;
    Put32(image, Pe(image) + kChecksum, 0);
    ASSERT_TRUE(PeImage::UpdateChecksum(image.data(), image.size()));
    EXPECT_EQ(Le32(image, Pe(image) + kChecksum), Le32(loader, Pe(loader) + kChecksum));
    EXPECT_NE(Le32(loader, Pe(loader) + kChecksum), 0u);
    // An odd length counts the last byte as a word of its own.
    image.push_back(0x01);
    PeImage::UpdateChecksum(image.data(), image.size());
    EXPECT_EQ(Le32(image, Pe(image) + kChecksum), Le32(loader, Pe(loader) + kChecksum) + 1 + 1);
}

TEST(PeImage, DroppingTheCertificateTableGivesBackTheUnsignedLoader) {
    Bytes loader = pe::ReadFile(LOADER_EXE);
    ASSERT_EQ(Le32(loader, Pe(loader) + kSecurity + 4), 0u) << "the built loader is unsigned";

    Bytes image = Signed(loader, 1488);
    size_t length = PeImage::DropCertificateTable(image.data(), image.size());
    ASSERT_EQ(length, loader.size());
    image.resize(length);
    PeImage::UpdateChecksum(image.data(), image.size());
    EXPECT_EQ(image, loader);

    // Unsigned: nothing to drop, nothing changed.
    image = loader;
    EXPECT_EQ(PeImage::DropCertificateTable(image.data(), image.size()), loader.size());
    EXPECT_EQ(image, loader);
}

TEST(PeImage, ATableThatIsNotTheFilesTailIsUnlistedButNoDataIsCut) {
    Bytes loader = pe::ReadFile(LOADER_EXE);
    // The layout a resource update leaves: the directory names an offset past
    // where the moved table now lies.
    Bytes image = Signed(loader, 1488);
    image.erase(image.begin() + loader.size() - 512, image.begin() + loader.size());
    size_t before = image.size();
    EXPECT_EQ(PeImage::DropCertificateTable(image.data(), image.size()), before);
    EXPECT_EQ(Le32(image, Pe(image) + kSecurity), 0u);
    EXPECT_EQ(Le32(image, Pe(image) + kSecurity + 4), 0u);
}

TEST(PeImage, DataThatIsNoPe32ImageIsLeftAlone) {
    Bytes loader = pe::ReadFile(LOADER_EXE);
    Bytes truncated(loader.begin(), loader.begin() + Pe(loader) + 40);
    Bytes notMz = loader;
    notMz[0] = 'X';
    Bytes pe32plus = Signed(loader, 16);
    pe32plus[Pe(pe32plus) + 24] = 0x0B;
    pe32plus[Pe(pe32plus) + 25] = 0x02;
    for (Bytes* image : {&truncated, &notMz, &pe32plus}) {
        Bytes before = *image;
        EXPECT_EQ(PeImage::DropCertificateTable(image->data(), image->size()), image->size());
        EXPECT_FALSE(PeImage::UpdateChecksum(image->data(), image->size()));
        EXPECT_EQ(*image, before);
    }
}

}  // namespace
