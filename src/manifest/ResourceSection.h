#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

// Rewrites the resources of a 32-bit PE image in memory, so that a copy of
// the loader can be made whole before a single byte of it is written.

// Bytes from malloc, freed with their owner.
struct ByteBlock {
    unsigned char* data = nullptr;
    size_t length = 0;

    ByteBlock() = default;
    ByteBlock(const ByteBlock&) = delete;
    ByteBlock& operator=(const ByteBlock&) = delete;
    ~ByteBlock() { free(data); }
    // length zeroed bytes in place of the old ones; false when memory runs out.
    bool Allocate(size_t count);
};

namespace ResourceSection {

// One resource to set: type, name and language as the tree's three levels.
struct Item {
    const char* typeName;  // ASCII, as resource tools store names (SETUPBINDING); null: typeId
    uint32_t typeId;
    uint32_t nameId;
    uint32_t language;
    const void* data;
    uint32_t length;
};

// Writes into result a copy of the image with every item set: the resource of
// the same type, name and language gets the item's data (its code page kept),
// or the item is added; every other resource stays as it is. The section is
// rebuilt where it stands; a base-relocation section after it moves to make
// room. False, with result untouched, for an image it does not understand:
// no resource section of its own, a damaged tree, or another section after it.
bool SetResources(const unsigned char* image, size_t length, const Item* items, size_t count, ByteBlock& result);

}  // namespace ResourceSection
