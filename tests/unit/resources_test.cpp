// Reads the built loader back and checks every resource it carries against
// the committed icon and manifest and the version it must report.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "pe_resources.h"

#ifndef LOADER_EXE
#error "LOADER_EXE must name the built loader"
#endif
#ifndef ARTWORK_ROOT
#error "ARTWORK_ROOT must name the repository root"
#endif

namespace {

using pe::Bytes;
using pe::Le16;
using pe::Le32;

constexpr uint32_t kIcon = 3, kGroupIcon = 14, kVersion = 16, kManifest = 24;

std::string SourceFile(const std::string& name) { return std::string(ARTWORK_ROOT) + "/resources/" + name; }

// One node of a version-information block: length, value length, type, key,
// value, children.
struct VersionNode {
    uint32_t length = 0, valueLength = 0, type = 0;
    std::string key;
    Bytes value;
    std::vector<VersionNode> children;
};

std::string Utf16ToAscii(const Bytes& data, size_t& at, size_t end) {
    std::string text;
    for (; at + 2 <= end; at += 2) {
        uint32_t c = Le16(data, at);
        if (c == 0) return at += 2, text;
        text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    throw pe::FormatError("text without its terminating zero");
}

size_t Align4(size_t at) { return (at + 3) & ~size_t(3); }

VersionNode ParseVersionNode(const Bytes& data, size_t at, size_t end) {
    VersionNode node;
    node.length = Le16(data, at);
    node.valueLength = Le16(data, at + 2);
    node.type = Le16(data, at + 4);
    size_t nodeEnd = at + node.length;
    if (node.length < 6 || nodeEnd > end) throw pe::FormatError("version node outside its parent");
    size_t cursor = at + 6;
    node.key = Utf16ToAscii(data, cursor, nodeEnd);
    cursor = Align4(cursor);
    // A text value fills its node; whether its length counts characters or
    // bytes differs between resource tools, so it is not used to find the end.
    size_t valueEnd = node.type == 1 && node.valueLength ? nodeEnd : cursor + node.valueLength;
    if (valueEnd > nodeEnd) throw pe::FormatError("version value outside its node");
    node.value.assign(data.begin() + cursor, data.begin() + valueEnd);
    for (cursor = Align4(valueEnd); cursor < nodeEnd; cursor = Align4(cursor + node.children.back().length))
        node.children.push_back(ParseVersionNode(data, cursor, nodeEnd));
    return node;
}

std::vector<std::string> Keys(const VersionNode& node) {
    std::vector<std::string> keys;
    for (const VersionNode& child : node.children) keys.push_back(child.key);
    return keys;
}

class LoaderResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { resources_ = pe::ReadResources(pe::ReadFile(LOADER_EXE)); }

    static const Bytes& Data(uint32_t type, uint32_t name) {
        for (const pe::Resource& r : resources_)
            if (r.type == type && r.name == name) return r.data;
        static const Bytes none;
        ADD_FAILURE() << "no resource of type " << type << " named " << name;
        return none;
    }

    static VersionNode Version() {
        const Bytes& block = Data(kVersion, 1);
        return ParseVersionNode(block, 0, block.size());
    }

    static std::vector<pe::Resource> resources_;
};

std::vector<pe::Resource> LoaderResources::resources_;

TEST_F(LoaderResources, AreExactlyTheIconsGroupVersionAndManifestWithNumericIds) {
    using Row = std::tuple<uint32_t, uint32_t, uint32_t, size_t>;  // type, name, language, size
    std::vector<Row> rows;
    for (const pe::Resource& r : resources_) rows.emplace_back(r.type, r.name, r.language, r.data.size());
    std::vector<Row> expected = {
        {kIcon, 30001, 0, 3752}, {kIcon, 30002, 0, 2216},  {kIcon, 30003, 0, 1384},
        {kIcon, 30004, 0, 9640}, {kIcon, 30005, 0, 4264},  {kIcon, 30006, 0, 1128},
        {kGroupIcon, 1, 0, 92},  {kVersion, 1, 1033, 944}, {kManifest, 1, 0, 519},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(LoaderResources, IconImagesAreTheImagesOfAppIcoInItsOrder) {
    Bytes icon = pe::ReadFile(SourceFile("app.ico"));
    ASSERT_EQ(Le16(icon, 4), 6u);
    for (uint32_t i = 0; i < 6; ++i) {
        uint32_t size = Le32(icon, 6 + 16 * i + 8), offset = Le32(icon, 6 + 16 * i + 12);
        ASSERT_LE(offset + size, icon.size());
        EXPECT_TRUE(Data(kIcon, 30001 + i) == Bytes(icon.begin() + offset, icon.begin() + offset + size))
            << "image " << 30001 + i;
    }
}

TEST_F(LoaderResources, IconGroupListsEightBitThenTrueColourImagesLargestFirst) {
    struct Entry {
        uint32_t size, bits, bytes, id;
    };
    const Entry expected[6] = {{48, 8, 3752, 30001},  {32, 8, 2216, 30002},  {16, 8, 1384, 30003},
                               {48, 32, 9640, 30004}, {32, 32, 4264, 30005}, {16, 32, 1128, 30006}};
    const Bytes& group = Data(kGroupIcon, 1);
    ASSERT_EQ(group.size(), 92u);
    EXPECT_EQ(Le16(group, 0), 0u);  // reserved
    EXPECT_EQ(Le16(group, 2), 1u);  // icon, not cursor
    EXPECT_EQ(Le16(group, 4), 6u);  // count
    for (int i = 0; i < 6; ++i) {
        size_t at = 6 + 14 * i;
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        EXPECT_EQ(group[at], expected[i].size);      // width
        EXPECT_EQ(group[at + 1], expected[i].size);  // height
        EXPECT_EQ(group[at + 2], 0u);                // colour count
        EXPECT_EQ(group[at + 3], 0u);                // reserved
        EXPECT_EQ(Le16(group, at + 4), 1u);          // planes
        EXPECT_EQ(Le16(group, at + 6), expected[i].bits);
        EXPECT_EQ(Le32(group, at + 8), expected[i].bytes);
        EXPECT_EQ(Le16(group, at + 12), expected[i].id);
    }
    EXPECT_EQ(Le16(group, 90), 0u);
}

TEST_F(LoaderResources, ManifestIsTheCommittedFileByteForByte) {
    const Bytes& manifest = Data(kManifest, 1);
    EXPECT_TRUE(manifest == pe::ReadFile(SourceFile("prjLomdra.exe.manifest")));
    std::string text(manifest.begin(), manifest.end());
    EXPECT_EQ(text.size(), 519u);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?> \r\n", 0), 0u);
    ASSERT_GE(text.size(), 11u);
    EXPECT_EQ(text.substr(text.size() - 11), "</assembly>");
    EXPECT_NE(text.find("<requestedExecutionLevel level=\"asInvoker\"/>"), std::string::npos);
    size_t lineBreaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++lineBreaks;
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
    }
    EXPECT_EQ(lineBreaks, 11u);
}

TEST_F(LoaderResources, VersionFixedPartIs1_0_0_61ForA32BitApplication) {
    VersionNode root = Version();
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    EXPECT_EQ(root.length, 944u);
    EXPECT_EQ(root.type, 0u);
    ASSERT_EQ(root.value.size(), 52u);
    const Bytes& v = root.value;
    EXPECT_EQ(Le32(v, 0), 0xFEEF04BDu);   // signature
    EXPECT_EQ(Le32(v, 4), 0x00010000u);   // structure version
    EXPECT_EQ(Le32(v, 8), 0x00010000u);   // file version 1.0
    EXPECT_EQ(Le32(v, 12), 0x0000003Du);  // file version .0.61
    EXPECT_EQ(Le32(v, 16), 0x00010000u);  // product version 1.0
    EXPECT_EQ(Le32(v, 20), 0x0000003Du);  // product version .0.61
    EXPECT_EQ(Le32(v, 24), 0u);           // flags mask
    EXPECT_EQ(Le32(v, 28), 0u);           // flags
    EXPECT_EQ(Le32(v, 32), 4u);           // OS: 32-bit Windows
    EXPECT_EQ(Le32(v, 36), 1u);           // type: application
    EXPECT_EQ(Le32(v, 40), 0u);           // subtype
    EXPECT_EQ(Le32(v, 44), 0u);           // date, high word
    EXPECT_EQ(Le32(v, 48), 0u);           // date, low word
}

TEST_F(LoaderResources, VersionTranslationComesBeforeTheStringTable) {
    VersionNode root = Version();
    ASSERT_EQ(Keys(root), (std::vector<std::string>{"VarFileInfo", "StringFileInfo"}));
    const VersionNode& var = root.children[0];
    ASSERT_EQ(Keys(var), std::vector<std::string>{"Translation"});
    const VersionNode& translation = var.children[0];
    EXPECT_EQ(translation.type, 0u);
    ASSERT_EQ(translation.value.size(), 4u);
    EXPECT_EQ(Le16(translation.value, 0), 0x0409u);
    EXPECT_EQ(Le16(translation.value, 2), 0x04B0u);
    EXPECT_EQ(Keys(root.children[1]), std::vector<std::string>{"040904B0"});
}

TEST_F(LoaderResources, VersionStringsAreTheNineInTheirOrder) {
    VersionNode root = Version();
    ASSERT_EQ(root.children.size(), 2u);
    ASSERT_EQ(root.children[1].children.size(), 1u);
    std::vector<std::pair<std::string, std::string>> strings;
    for (const VersionNode& s : root.children[1].children[0].children) {
        size_t at = 0;
        std::string value = Utf16ToAscii(s.value, at, s.value.size());
        strings.emplace_back(s.key, value);
        EXPECT_EQ(s.type, 1u) << s.key;
        // Characters or bytes, each counting the terminating zero.
        EXPECT_TRUE(s.valueLength == value.size() + 1 || s.valueLength == 2 * (value.size() + 1))
            << s.key << ": " << s.valueLength;
    }
    std::vector<std::pair<std::string, std::string>> expected = {
        {"Comments", "Setup loader application for silent driver installation."},
        {"CompanyName", "Quarnel Systems Ltd"},
        {"FileDescription", "Setup Loader application"},
        {"LegalCopyright", "Copyright (C) 2026 Quarnel Systems Ltd"},
        {"ProductName", "Quarnel Setup Loader"},
        {"FileVersion", "1.00.0061"},
        {"ProductVersion", "1.00.0061"},
        {"InternalName", "prjLomdra"},
        {"OriginalFilename", "prjLomdra.exe"},
    };
    EXPECT_EQ(strings, expected);
}

// The reader must fail loudly on a damaged file rather than return less.
TEST(PeResourceReader, RejectsTruncatedFilesAndNonExecutables) {
    Bytes loader = pe::ReadFile(LOADER_EXE);
    ASSERT_FALSE(pe::ReadResources(loader).empty());
    Bytes manifest = pe::ReadFile(SourceFile("prjLomdra.exe.manifest"));
    auto found = std::search(loader.begin(), loader.end(), manifest.begin(), manifest.end());
    ASSERT_NE(found, loader.end());
    // Cuts in the headers, at the manifest data and one byte short of its end.
    size_t manifestStart = static_cast<size_t>(found - loader.begin());
    for (size_t length : {size_t(0), size_t(0x40), size_t(0x200), manifestStart, manifestStart + manifest.size() - 1}) {
        Bytes cut(loader.begin(), loader.begin() + length);
        EXPECT_THROW(pe::ReadResources(cut), pe::FormatError) << "cut to " << length << " bytes";
    }
    EXPECT_THROW(pe::ReadResources(pe::ReadFile(SourceFile("app.ico"))), pe::FormatError);
}

TEST(PeResourceReader, RejectsTablesThatAreReachedTwice) {
    Bytes image = pe::SharedTablesImage();
    EXPECT_THROW(pe::ReadResources(image), pe::FormatError);
}

}  // namespace
