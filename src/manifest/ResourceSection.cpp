#include "ResourceSection.h"

#include <string.h>

#include "PeImage.h"

bool ByteBlock::Allocate(size_t count) {
    free(data);
    data = static_cast<unsigned char*>(calloc(count ? count : 1, 1));
    length = data ? count : 0;
    return data != nullptr;
}

namespace {

using PeImage::Le16;
using PeImage::Le32;
using PeImage::PutLe32;

constexpr uint32_t kHighBit = 0x80000000u;  // a name, or a table one level down
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kRelocationDirectory = 5;
constexpr uint32_t kInitializedData = 0x40;  // IMAGE_SCN_CNT_INITIALIZED_DATA
// Far above any loader's, and small enough that no sum below overflows 32 bits.
constexpr uint32_t kLargest = 0x1000000;  // a section, an alignment, the place of one

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) & ~(alignment - 1); }
bool Fits(uint32_t value) { return value && value <= kLargest && !(value & (value - 1)); }

// A type or a name: a number, or a string as the section stores it (a
// 16-bit count of UTF-16 units, then the units).
struct Key {
    const unsigned char* text;  // null for a number
    uint32_t id;
};

struct Leaf {
    Key type, name;
    uint32_t language;
    const unsigned char* data;
    uint32_t size;
    uint32_t codePage;
};

uint32_t TextBytes(const Key& key) { return key.text ? 2 + 2 * Le16(key.text) : 0; }

// The format's order within a table: names before numbers, names by their
// units (case-sensitively), numbers by value.
int Compare(const Key& a, const Key& b) {
    if (!a.text || !b.text) {
        if (a.text || b.text) return a.text ? -1 : 1;
        return a.id < b.id ? -1 : a.id > b.id;
    }
    uint32_t lengthA = Le16(a.text), lengthB = Le16(b.text);
    for (uint32_t i = 0; i < lengthA && i < lengthB; ++i) {
        uint32_t unitA = Le16(a.text + 2 + 2 * i), unitB = Le16(b.text + 2 + 2 * i);
        if (unitA != unitB) return unitA < unitB ? -1 : 1;
    }
    return lengthA < lengthB ? -1 : lengthA > lengthB;
}

int CompareLeaves(const void* a, const void* b) {
    const Leaf& x = *static_cast<const Leaf*>(a);
    const Leaf& y = *static_cast<const Leaf*>(b);
    int order = Compare(x.type, y.type);
    if (!order) order = Compare(x.name, y.name);
    return order ? order : Compare(Key{nullptr, x.language}, Key{nullptr, y.language});
}

// The leaves of a resource tree in the order met, every offset checked.
class TreeReader {
public:
    TreeReader(const unsigned char* section, uint32_t size, uint32_t address, Leaf* leaves)
        : section_(section), size_(size), address_(address), leaves_(leaves), budget_(size / 8) {}

    uint32_t Count() const { return count_; }

    // Levels 0, 1 and 2 are type, name and language; leaf carries the levels above.
    bool Walk(uint32_t offset, int level, Leaf& leaf) {
        if (!Inside(offset, 16)) return false;
        const unsigned char* table = section_ + offset;
        uint32_t entries = Le16(table + 12) + Le16(table + 14);
        if (!Inside(offset + 16, 8 * entries)) return false;
        for (uint32_t i = 0; i < entries; ++i) {
            // A sound tree gives every entry 8 bytes of its own; tables shared
            // between entries would list resources without end.
            if (budget_-- == 0) return false;
            uint32_t id = Le32(table + 16 + 8 * i), target = Le32(table + 20 + 8 * i);
            Key key = {nullptr, id};
            if (id & kHighBit) {
                uint32_t at = id & ~kHighBit;
                if (level == 2 || !Inside(at, 2) || !Inside(at + 2, 2 * Le16(section_ + at))) return false;
                key.text = section_ + at;
            }
            if (((target & kHighBit) != 0) != (level < 2)) return false;
            if (level < 2) {
                (level == 0 ? leaf.type : leaf.name) = key;
                if (!Walk(target & ~kHighBit, level + 1, leaf)) return false;
                continue;
            }
            if (!Inside(target, 16)) return false;
            uint32_t rva = Le32(section_ + target), size = Le32(section_ + target + 4);
            if (rva < address_ || !Inside(rva - address_, size)) return false;
            leaf.language = id;
            leaf.data = section_ + (rva - address_);
            leaf.size = size;
            leaf.codePage = Le32(section_ + target + 8);
            leaves_[count_++] = leaf;
        }
        return true;
    }

private:
    // Offsets and counts come from a section of at most kLargest bytes, so no sum here overflows.
    bool Inside(uint32_t offset, uint32_t size) const { return offset <= size_ && size <= size_ - offset; }

    const unsigned char* section_;
    uint32_t size_;
    uint32_t address_;
    Leaf* leaves_;
    uint32_t budget_;
    uint32_t count_ = 0;
};

bool NewType(const Leaf* leaves, uint32_t i) { return i == 0 || Compare(leaves[i].type, leaves[i - 1].type) != 0; }
bool NewName(const Leaf* leaves, uint32_t i) {
    return NewType(leaves, i) || Compare(leaves[i].name, leaves[i - 1].name) != 0;
}

// Where each part of the rebuilt section starts, as resource tools lay it
// out: the root table, the name tables, the language tables, the data
// entries, the strings, then the data, each item 8-byte aligned.
struct Layout {
    uint32_t names, languages, entries, texts, data, end;
};

// False when the section would pass kLargest bytes.
bool Plan(const Leaf* leaves, uint32_t count, Layout& at) {
    uint32_t types = 0, names = 0, texts = 0, data = 0;
    for (uint32_t i = 0; i < count; ++i) {
        bool newType = NewType(leaves, i), newName = NewName(leaves, i);
        types += newType;
        names += newName;
        texts += (newType ? TextBytes(leaves[i].type) : 0) + (newName ? TextBytes(leaves[i].name) : 0);
        data += AlignUp(leaves[i].size, 8);
        // Each step adds less than twice kLargest: checked at each, the sums stay small.
        if (texts + data > kLargest) return false;
    }
    at.names = 16 + 8 * types;
    at.languages = at.names + 16 * types + 8 * names;
    at.entries = at.languages + 16 * names + 8 * count;
    at.texts = at.entries + 16 * count;
    at.data = AlignUp(at.texts + texts, 8);
    at.end = at.data + data;
    return at.end <= kLargest;
}

// Starts a table at cursor with the old root's characteristics, time stamp
// and version; returns its offset.
uint32_t StartTable(unsigned char* out, uint32_t& cursor, const unsigned char* oldRoot) {
    uint32_t table = cursor;
    memcpy(out + table, oldRoot, 12);
    cursor += 16;
    return table;
}

// Adds to the table at offset table the entry for key at entry, pointing at
// target; a name's string goes to text.
void PutEntry(unsigned char* out, uint32_t table, uint32_t& entry, const Key& key, uint32_t target, uint32_t& text) {
    uint32_t id = key.id;
    if (key.text) {
        memcpy(out + text, key.text, TextBytes(key));
        id = text | kHighBit;
        text += TextBytes(key);
    }
    PutLe32(out + entry, id);
    PutLe32(out + entry + 4, target);
    entry += 8;
    unsigned char* counter = out + table + (key.text ? 12 : 14);
    uint32_t count = Le16(counter) + 1;
    counter[0] = static_cast<unsigned char>(count);
    counter[1] = static_cast<unsigned char>(count >> 8);
}

void Lay(const Leaf* leaves, uint32_t count, Layout at, const unsigned char* oldRoot, uint32_t address,
         unsigned char* out) {
    uint32_t rootEntry = 16, typeTable = 0, nameTable = 0;
    memcpy(out, oldRoot, 12);
    for (uint32_t i = 0; i < count; ++i) {
        const Leaf& leaf = leaves[i];
        if (NewType(leaves, i)) {
            typeTable = StartTable(out, at.names, oldRoot);
            PutEntry(out, 0, rootEntry, leaf.type, typeTable | kHighBit, at.texts);
        }
        if (NewName(leaves, i)) {
            nameTable = StartTable(out, at.languages, oldRoot);
            PutEntry(out, typeTable, at.names, leaf.name, nameTable | kHighBit, at.texts);
        }
        PutEntry(out, nameTable, at.languages, Key{nullptr, leaf.language}, at.entries, at.texts);
        PutLe32(out + at.entries, address + at.data);
        PutLe32(out + at.entries + 4, leaf.size);
        PutLe32(out + at.entries + 8, leaf.codePage);
        at.entries += 16;
        if (leaf.size) memcpy(out + at.data, leaf.data, leaf.size);
        at.data += AlignUp(leaf.size, 8);
    }
}

struct Section {
    uint32_t address, virtualSize, rawSize, raw;
};

Section SectionAt(const unsigned char* header) {
    return {Le32(header + 12), Le32(header + 8), Le32(header + 16), Le32(header + 20)};
}

// Sets each item in leaves (count so far, room for the items beyond),
// with the items' names stored in texts; the new count.
uint32_t SetItems(Leaf* leaves, uint32_t count, const ResourceSection::Item* items, size_t itemCount,
                  unsigned char* texts) {
    for (size_t k = 0; k < itemCount; ++k) {
        const ResourceSection::Item& item = items[k];
        Key type = {nullptr, item.typeId};
        if (item.typeName) {
            size_t length = strlen(item.typeName);
            texts[0] = static_cast<unsigned char>(length);
            texts[1] = static_cast<unsigned char>(length >> 8);
            for (size_t i = 0; i < length; ++i) texts[2 + 2 * i] = static_cast<unsigned char>(item.typeName[i]);
            type.text = texts;
            texts += 2 + 2 * length;
        }
        Leaf wanted = {
            type, {nullptr, item.nameId}, item.language, static_cast<const unsigned char*>(item.data), item.length, 0};
        uint32_t same = 0;
        while (same < count && CompareLeaves(&leaves[same], &wanted) != 0) ++same;
        if (same == count) {
            leaves[count++] = wanted;
            continue;
        }
        leaves[same].data = wanted.data;
        leaves[same].size = wanted.size;
    }
    return count;
}

}  // namespace

namespace ResourceSection {

bool SetResources(const unsigned char* image, size_t length, const Item* items, size_t count, ByteBlock& result) {
    PeImage::Headers headers;
    if (!PeImage::FindHeaders(image, length, headers) || headers.directories <= kRelocationDirectory) return false;
    const unsigned char* optional = image + headers.optional;
    uint32_t sectionAlignment = Le32(optional + 32), fileAlignment = Le32(optional + 36);
    uint32_t resourceAddress = Le32(optional + 96 + 8 * kResourceDirectory);
    uint32_t relocations = Le32(optional + 96 + 8 * kRelocationDirectory);
    bool relocated = Le32(optional + 100 + 8 * kRelocationDirectory) != 0;
    if (!Fits(sectionAlignment) || !Fits(fileAlignment) || !resourceAddress || resourceAddress >= kHighBit)
        return false;

    const uint32_t none = headers.sectionCount;
    uint32_t rsrcIndex = none, relocIndex = none, movedIndex = none;
    for (uint32_t i = 0; i < headers.sectionCount; ++i) {
        Section s = SectionAt(image + headers.sections + 40 * i);
        if (s.address == resourceAddress) rsrcIndex = i;
        if (relocated && relocations >= s.address && relocations - s.address < s.virtualSize) relocIndex = i;
    }
    if (rsrcIndex == none) return false;
    Section rsrc = SectionAt(image + headers.sections + 40 * rsrcIndex);
    // The headers it rewrites stay before the section it rebuilds.
    if (rsrc.rawSize > kLargest || rsrc.rawSize > length || rsrc.raw > length - rsrc.rawSize ||
        rsrc.raw < headers.sections + 40 * headers.sectionCount)
        return false;
    size_t rsrcEnd = size_t(rsrc.raw) + rsrc.rawSize;
    // Only sections before it stay where they are, and only the relocations
    // can move after it: nothing else refers to their place.
    for (uint32_t i = 0; i < headers.sectionCount; ++i) {
        Section s = SectionAt(image + headers.sections + 40 * i);
        bool before =
            s.address < rsrc.address && (!s.rawSize || (s.rawSize <= rsrc.raw && s.raw <= rsrc.raw - s.rawSize));
        bool movable = i == relocIndex && s.address > rsrc.address && s.virtualSize <= kLargest &&
                       (!s.rawSize || (s.raw >= rsrcEnd && s.rawSize <= length && s.raw <= length - s.rawSize));
        if (movable) movedIndex = i;
        if (i != rsrcIndex && !before && !movable) return false;
    }

    ByteBlock leafBlock, textBlock;
    size_t textBytes = 0;
    for (size_t k = 0; k < count; ++k) {
        size_t nameLength = items[k].typeName ? strlen(items[k].typeName) : 0;
        if (nameLength > 0xFFFF || items[k].length > kLargest ||
            ((items[k].typeId | items[k].nameId | items[k].language) & kHighBit))
            return false;
        textBytes += items[k].typeName ? 2 + 2 * nameLength : 0;
    }
    if (!leafBlock.Allocate((rsrc.rawSize / 8 + count) * sizeof(Leaf)) || !textBlock.Allocate(textBytes)) return false;
    Leaf* leaves = reinterpret_cast<Leaf*>(leafBlock.data);
    TreeReader reader(image + rsrc.raw, rsrc.rawSize, rsrc.address, leaves);
    Leaf path = {};
    if (!reader.Walk(0, 0, path)) return false;
    uint32_t leafCount = SetItems(leaves, reader.Count(), items, count, textBlock.data);
    qsort(leaves, leafCount, sizeof(Leaf), CompareLeaves);

    Layout at;
    if (!Plan(leaves, leafCount, at)) return false;
    uint32_t newRaw = AlignUp(at.end, fileAlignment);
    uint32_t imageEnd = rsrc.address + at.end;
    uint32_t movedAddress = AlignUp(imageEnd, sectionAlignment);
    Section moved = {};
    if (movedIndex != none) {
        moved = SectionAt(image + headers.sections + 40 * movedIndex);
        imageEnd = movedAddress + moved.virtualSize;
    }
    if (!result.Allocate(rsrc.raw + newRaw + (length - rsrcEnd))) return false;

    unsigned char* out = result.data;
    memcpy(out, image, rsrc.raw);
    Lay(leaves, leafCount, at, image + rsrc.raw, rsrc.address, out + rsrc.raw);
    memcpy(out + rsrc.raw + newRaw, image + rsrcEnd, length - rsrcEnd);

    unsigned char* rsrcHeader = out + headers.sections + 40 * rsrcIndex;
    unsigned char* outOptional = out + headers.optional;
    PutLe32(rsrcHeader + 8, at.end);
    PutLe32(rsrcHeader + 16, newRaw);
    PutLe32(outOptional + 100 + 8 * kResourceDirectory, at.end);
    if (Le32(rsrcHeader + 36) & kInitializedData)
        PutLe32(outOptional + 8, Le32(outOptional + 8) - rsrc.rawSize + newRaw);
    if (movedIndex != none) {
        unsigned char* movedHeader = out + headers.sections + 40 * movedIndex;
        PutLe32(movedHeader + 12, movedAddress);
        if (moved.rawSize) PutLe32(movedHeader + 20, moved.raw - rsrc.rawSize + newRaw);
        PutLe32(outOptional + 96 + 8 * kRelocationDirectory, relocations - moved.address + movedAddress);
    }
    PutLe32(outOptional + 56, AlignUp(imageEnd, sectionAlignment));
    return true;
}

}  // namespace ResourceSection
