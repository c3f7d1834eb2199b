#include "CodePage.h"

bool TakesExactnessFlags(unsigned codePage) {
    // The code pages WideCharToMultiByte documents as taking no flags.
    bool noFlags = codePage == 42 || (codePage >= 50220 && codePage <= 50229) ||
                   (codePage >= 57002 && codePage <= 57011) || codePage == 65000 || codePage == kCodePageUtf8;
    return !noFlags;
}

CharacterWidths::CharacterWidths() {
    for (unsigned char& width : width_) width = 1;
}

CharacterWidths::CharacterWidths(unsigned codePage, const unsigned char* leadRanges, size_t rangeBytes)
    : CharacterWidths() {
    if (codePage == kCodePageUtf8) {
        // A stray continuation byte or an invalid lead stays one character.
        for (unsigned byte = 0xC0; byte < 0xF8; ++byte) width_[byte] = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        return;
    }
    for (size_t i = 0; i + 1 < rangeBytes && leadRanges[i]; i += 2)
        for (unsigned byte = leadRanges[i]; byte <= leadRanges[i + 1]; ++byte) width_[byte] = 2;
}

size_t CharacterWidths::WidthAt(const Text& text, size_t at) const {
    size_t width = width_[static_cast<unsigned char>(text[at])];
    return width < text.length() - at ? width : text.length() - at;
}

bool CharacterWidths::DropCharacters(const Text& text, size_t count, Text& rest) const {
    size_t at = 0;
    for (size_t dropped = 0; dropped < count; ++dropped) {
        if (at >= text.length()) return false;
        at += WidthAt(text, at);
    }
    rest = text.Mid(at);
    return true;
}

Text CharacterWidths::ToLowerAscii(const Text& text) const {
    Text result;
    for (size_t at = 0; at < text.length();) {
        size_t width = WidthAt(text, at);
        Text character(text.data() + at, width);
        result += width == 1 ? character.ToLowerAscii() : character;
        at += width;
    }
    return result;
}
