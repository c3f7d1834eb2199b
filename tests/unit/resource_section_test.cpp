// The resource writer on the built loader, read back with the test's own
// reader: what it sets, what it keeps, and the headers it leaves.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "manifest/ResourceSection.h"
#include "pe_resources.h"

namespace {

using pe::Bytes;
using pe::Le32;

struct Section {
    uint32_t address, virtualSize, rawSize, raw;
    size_t header;
};

size_t Optional(const Bytes& image) { return Le32(image, 0x3C) + 24; }

Section Find(const Bytes& image, const char* name) {
    size_t table = Optional(image) + pe::Le16(image, Optional(image) - 4);
    for (size_t s = table; s < table + 40 * pe::Le16(image, Optional(image) - 18); s += 40)
        if (std::string(image.begin() + s, image.begin() + s + 8).c_str() == std::string(name))
            return {Le32(image, s + 12), Le32(image, s + 8), Le32(image, s + 16), Le32(image, s + 20), s};
    throw pe::FormatError(name);
}

Bytes Raw(const Bytes& image, const Section& s) { return Bytes(&image[s.raw], &image[s.raw] + s.rawSize); }
uint32_t Field(const Bytes& image, size_t at) { return Le32(image, Optional(image) + at); }
uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

using Row = std::tuple<std::string, uint32_t, uint32_t, uint32_t, Bytes>;
std::vector<Row> Rows(const std::vector<pe::Resource>& resources) {
    std::vector<Row> rows;
    for (const pe::Resource& r : resources) rows.emplace_back(r.typeName, r.type, r.name, r.language, r.data);
    return rows;
}

bool Set(const Bytes& image, const std::vector<ResourceSection::Item>& items, Bytes& result) {
    ByteBlock out;
    if (!ResourceSection::SetResources(image.data(), image.size(), items.data(), items.size(), out)) return false;
    result.assign(out.data, out.data + out.length);
    return true;
}

const Bytes kManifest(6000, 0xC3);  // far past the room left before .reloc
const std::string kRecord = "SetupLoaderBinding 1\r\n";
const std::vector<ResourceSection::Item> kItems = {
    {nullptr, 24, 1, 0, kManifest.data(), uint32_t(kManifest.size())},
    {"SETUPBINDING", 0, 1, 0, kRecord.data(), uint32_t(kRecord.size())},
    {nullptr, 24, 1, 1033, "en", 2},  // another language is another resource
};

TEST(ResourceSection, ALargerManifestAndARecordMoveTheRelocationsAndKeepEveryOtherResource) {
    Bytes loader = pe::ReadFile(LOADER_EXE), image;
    ASSERT_TRUE(Set(loader, kItems, image));

    std::vector<Row> expected = Rows(pe::ReadResources(loader));
    for (Row& row : expected)
        if (std::get<1>(row) == 24) std::get<4>(row) = kManifest;
    expected.emplace(expected.end(), "", 24, 1, 1033, Bytes{'e', 'n'});
    // Named types come before numbered ones.
    expected.emplace(expected.begin(), "SETUPBINDING", 0, 1, 0, Bytes(kRecord.begin(), kRecord.end()));
    EXPECT_EQ(Rows(pe::ReadResources(image)), expected);

    Section rsrc = Find(image, ".rsrc"), reloc = Find(image, ".reloc"), oldRsrc = Find(loader, ".rsrc"),
            oldReloc = Find(loader, ".reloc");
    uint32_t fileAlignment = Field(image, 36), sectionAlignment = Field(image, 32);
    ASSERT_GT(reloc.address, oldReloc.address);
    EXPECT_EQ(Raw(image, reloc), Raw(loader, oldReloc));
    EXPECT_EQ(reloc.raw, rsrc.raw + rsrc.rawSize);
    EXPECT_EQ(rsrc.rawSize, AlignUp(rsrc.virtualSize, fileAlignment));
    EXPECT_EQ(reloc.address, AlignUp(rsrc.address + rsrc.virtualSize, sectionAlignment));
    EXPECT_EQ(image.size(), loader.size() + rsrc.rawSize - oldRsrc.rawSize);
    EXPECT_EQ(Field(image, 56), AlignUp(reloc.address + reloc.virtualSize, sectionAlignment)) << "SizeOfImage";
    EXPECT_EQ(Field(image, 8) - Field(loader, 8), rsrc.rawSize - oldRsrc.rawSize) << "SizeOfInitializedData";
    EXPECT_EQ(Field(image, 112), rsrc.address);
    EXPECT_EQ(Field(image, 116), rsrc.virtualSize);
    EXPECT_EQ(Field(image, 136) - reloc.address, Field(loader, 136) - oldReloc.address);
    EXPECT_EQ(Field(image, 140), Field(loader, 140));
    // What lies before the section is the loader's own, its header apart.
    Bytes head(loader.begin(), loader.begin() + oldRsrc.raw);
    for (size_t header : {rsrc.header, reloc.header}) std::copy_n(image.begin() + header, 40, head.begin() + header);
    for (size_t field : {8, 56, 116, 136})
        std::copy_n(image.begin() + Optional(image) + field, 4, head.begin() + Optional(image) + field);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + rsrc.raw), head);

    // What it wrote, it reads again.
    Bytes again;
    ASSERT_TRUE(Set(image, {kItems[0]}, again));
    EXPECT_EQ(Rows(pe::ReadResources(again)), expected);
}

TEST(ResourceSection, RefusesImagesItDoesNotUnderstand) {
    Bytes loader = pe::ReadFile(LOADER_EXE);
    Section rsrc = Find(loader, ".rsrc");
    Bytes unnamedRelocations = loader, dataOutside = loader, leafAtTheTop = loader;
    // Without its directory, .reloc is a section nothing may move.
    std::fill_n(unnamedRelocations.begin() + Optional(loader) + 136, 8, 0);
    // The first resource's data entry names an address outside the section.
    auto below = [&](size_t table) { return rsrc.raw + (Le32(loader, table + 20) & 0x7FFFFFFF); };
    std::fill_n(dataOutside.begin() + below(below(below(rsrc.raw))), 4, 0x10);
    leafAtTheTop[rsrc.raw + 23] &= 0x7F;  // a type that is no table
    // Cut inside .rsrc, and with .rsrc the last section.
    Bytes cut(unnamedRelocations.begin(), unnamedRelocations.begin() + rsrc.raw + 64);
    cut[Optional(loader) - 18] -= 1;
    for (const Bytes& image :
         {unnamedRelocations, dataOutside, leafAtTheTop, cut, pe::SharedTablesImage(), Bytes(512, 'M')}) {
        Bytes result;
        EXPECT_FALSE(Set(image, kItems, result));
    }
}

}  // namespace
