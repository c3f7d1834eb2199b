#include "pe_resources.h"

#include <fstream>
#include <iterator>

namespace pe {

namespace {

constexpr uint32_t kHighBit = 0x80000000u;  // a string name, or a subdirectory
constexpr uint32_t kResourceDirectoryIndex = 2;

void Require(bool condition, const char* what) {
    if (!condition) throw FormatError(what);
}

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class Reader {
public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    std::vector<Resource> Read() {
        Require(bytes_.size() >= 64 && bytes_[0] == 'M' && bytes_[1] == 'Z', "no MZ header");
        size_t pe = Le32(bytes_, 0x3C);
        Require(Le32(bytes_, pe) == 0x00004550, "no PE signature");
        size_t coff = pe + 4;
        uint32_t sectionCount = Le16(bytes_, coff + 2);
        uint32_t optionalSize = Le16(bytes_, coff + 16);
        size_t optional = coff + 20;
        Require(Le16(bytes_, optional) == 0x10B, "not a 32-bit image");
        size_t directory = optional + 96 + kResourceDirectoryIndex * 8;
        Require(Le32(bytes_, optional + 92) > kResourceDirectoryIndex && directory + 8 <= optional + optionalSize,
                "no resource directory");
        for (uint32_t i = 0; i < sectionCount; ++i) {
            size_t s = optional + optionalSize + i * 40;
            sections_.push_back(
                {Le32(bytes_, s + 12), Le32(bytes_, s + 8), Le32(bytes_, s + 16), Le32(bytes_, s + 20)});
        }
        rootSize_ = Le32(bytes_, directory + 4);
        Require(Le32(bytes_, directory) != 0 && rootSize_ >= 16, "no resource directory");
        root_ = FileOffset(Le32(bytes_, directory), rootSize_);
        claimed_.assign(rootSize_, false);
        Walk(0, 0);
        return std::move(resources_);
    }

private:
    // Where the bytes loaded at this address lie in the file.
    size_t FileOffset(uint32_t rva, uint32_t size) const {
        for (const Section& s : sections_) {
            uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
            uint32_t inside = rva - s.virtualAddress;
            Require(uint64_t(inside) + size <= s.rawSize, "data runs past its section");
            Require(uint64_t(s.rawOffset) + inside + size <= bytes_.size(), "data runs past the end of the file");
            return size_t(s.rawOffset) + inside;
        }
        throw FormatError("address outside every section");
    }

    size_t InDirectory(uint32_t offset, uint32_t size) const {
        Require(uint64_t(offset) + size <= rootSize_, "resource directory entry outside the directory");
        return root_ + offset;
    }

    // A tree uses each table and data entry once; one reached again (or
    // overlapping another) would list resources over and over, without end
    // in time or memory.
    void Claim(uint32_t offset, uint32_t size) {
        InDirectory(offset, size);
        for (uint32_t i = offset; i < offset + size; ++i) {
            Require(!claimed_[i], "resource directory entry reached twice");
            claimed_[i] = true;
        }
    }

    // Levels 0, 1 and 2 of the tree are type, name and language.
    void Walk(uint32_t offset, int level) {
        size_t dir = InDirectory(offset, 16);
        uint32_t count = Le16(bytes_, dir + 12) + Le16(bytes_, dir + 14);
        Claim(offset, 16 + count * 8);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t id = Le32(bytes_, dir + 16 + i * 8);
            uint32_t target = Le32(bytes_, dir + 20 + i * 8);
            Require(!(id & kHighBit) || level == 0, "resource named by a string");
            if (level == 0) typeName_ = id & kHighBit ? Name(id & ~kHighBit) : "";
            Require(((target & kHighBit) != 0) == (level < 2), "resource tree is not type, name, language");
            ids_[level] = id;
            if (level < 2) {
                Walk(target & ~kHighBit, level + 1);
                continue;
            }
            Claim(target, 16);
            size_t entry = root_ + target;
            uint32_t size = Le32(bytes_, entry + 4);
            auto data = bytes_.begin() + FileOffset(Le32(bytes_, entry), size);
            resources_.push_back(
                {typeName_, typeName_.empty() ? ids_[0] : 0, ids_[1], ids_[2], Bytes(data, data + size)});
        }
    }

    std::string Name(uint32_t offset) const {
        size_t at = InDirectory(offset, 2);
        std::string name;
        for (uint32_t i = 0, length = Le16(bytes_, at); i < length; ++i)
            name += char(Le16(bytes_, InDirectory(offset + 2 + 2 * i, 2)));
        return name;
    }

    const Bytes& bytes_;
    std::vector<Section> sections_;
    std::string typeName_;
    size_t root_ = 0;
    uint32_t rootSize_ = 0;
    uint32_t ids_[3] = {};
    std::vector<bool> claimed_;
    std::vector<Resource> resources_;
};

}  // namespace

uint32_t Le16(const Bytes& data, size_t at) {
    Require(at + 2 <= data.size(), "read past the end of the data");
    return data[at] | (data[at + 1] << 8);
}

uint32_t Le32(const Bytes& data, size_t at) { return Le16(data, at) | (Le16(data, at + 2) << 16); }

Bytes ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<Resource> ReadResources(const Bytes& image) { return Reader(image).Read(); }

Bytes SharedTablesImage() {
    const uint32_t count = 30, table = 16 + 8 * count, section = 0x200, rva = 0x1000;
    Bytes image(section + 3 * table + 17);
    auto put16 = [&](size_t at, uint32_t v) { image[at] = uint8_t(v), image[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    const uint32_t resources = uint32_t(image.size()) - section;
    image[0] = 'M', image[1] = 'Z';
    put32(0x3C, 0x40);
    put32(0x40, 0x4550);
    put16(0x46, 1);     // one section
    put16(0x54, 0xE0);  // optional header size
    put16(0x58, 0x10B);
    put32(0x58 + 32, 0x1000), put32(0x58 + 36, 0x200);  // section and file alignment
    put32(0x58 + 92, 16);
    put32(0x58 + 112, rva), put32(0x58 + 116, resources);
    put32(0x138 + 8, resources), put32(0x138 + 12, rva), put32(0x138 + 16, resources), put32(0x138 + 20, section);
    for (uint32_t level = 0; level < 3; ++level) {
        size_t at = section + level * table;
        put16(at + 14, count);
        for (uint32_t i = 0; i < count; ++i)
            put32(at + 16 + 8 * i, i + 1), put32(at + 20 + 8 * i, (level < 2 ? 0x80000000u : 0) + (level + 1) * table);
    }
    put32(section + 3 * table, rva + 3 * table + 16), put32(section + 3 * table + 4, 1);
    return image;
}

}  // namespace pe
