#pragma once
#include <stddef.h>

#include "Text.h"

// What the loader needs to know of an ANSI code page, apart from the
// platform, so that code pages this machine cannot switch to are tested too.

constexpr unsigned kCodePageUtf8 = 65001;

// Whether WideCharToMultiByte takes WC_NO_BEST_FIT_CHARS and the used-default
// flag for this code page. UTF-8 (the ANSI code page when "Unicode UTF-8 for
// worldwide language support" is on) and a few others fail the call when
// given either; there only converting back tells an exact result.
bool TakesExactnessFlags(unsigned codePage);

// How a code page splits bytes into characters: one byte each (1252), a lead
// byte and a trail byte that can be an ASCII letter or a backslash (932, 936,
// 949, 950), or UTF-8's sequences (65001).
class CharacterWidths {
public:
    CharacterWidths();  // one byte each
    // leadRanges: pairs of first and last lead byte, ended by a zero byte, as
    // the platform reports them for the double-byte code pages.
    CharacterWidths(unsigned codePage, const unsigned char* leadRanges, size_t rangeBytes);

    // The text after its first count characters; false when it has fewer.
    bool DropCharacters(const Text& text, size_t count, Text& rest) const;
    // A-Z to a-z in characters of one byte: a trail byte is never a letter.
    Text ToLowerAscii(const Text& text) const;

private:
    size_t WidthAt(const Text& text, size_t at) const;

    unsigned char width_[256];
};
