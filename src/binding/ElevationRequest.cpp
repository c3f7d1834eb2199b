#include "ElevationRequest.h"

#include <string.h>

namespace {

// The manifest with every character outside ASCII, and every byte of a UTF-8
// sequence, made 0x80: the names and values looked for are all ASCII.
Text AsciiView(const Text& bytes) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.length();
    size_t start = 0;
    int wide = 0;  // 0: bytes; 1: UTF-16 little-endian; 2: big-endian
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        start = 3;
    } else if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        start = 2;
        wide = 1;
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        start = 2;
        wide = 2;
    } else if (n >= 2 && (b[0] == 0) != (b[1] == 0)) {
        // Without a mark, the zero half of the first character (a '<' or a blank) tells.
        wide = b[1] == 0 ? 1 : 2;
    }
    Text view;
    char chunk[256];
    size_t used = 0;
    for (size_t i = start; i + (wide ? 1 : 0) < n; i += wide ? 2 : 1) {
        unsigned unit = wide == 1 ? b[i] | (b[i + 1] << 8) : wide == 2 ? (b[i] << 8) | b[i + 1] : b[i];
        chunk[used++] = static_cast<char>(unit < 0x80 ? unit : 0x80);
        if (used == sizeof chunk) {
            view += Text(chunk, used);
            used = 0;
        }
    }
    return view + Text(chunk, used);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool Follows(const Text& text, size_t at, const char* word) {
    size_t length = strlen(word);
    return at <= text.length() && text.length() - at >= length && memcmp(text.data() + at, word, length) == 0;
}

size_t Find(const Text& text, size_t from, const char* word) {
    for (size_t at = from; at < text.length(); ++at) {
        if (Follows(text, at, word)) return at;
    }
    return text.length();
}

// The level attribute's value within one tag, [at, end); empty when it has none.
Text LevelOf(const Text& text, size_t at, size_t end) {
    for (; at < end; ++at) {
        if (!IsBlank(text[at]) || !Follows(text, at + 1, "level")) continue;
        size_t next = at + 6;
        while (next < end && IsBlank(text[next])) ++next;
        if (next >= end || text[next] != '=') continue;
        ++next;
        while (next < end && IsBlank(text[next])) ++next;
        if (next >= end || (text[next] != '"' && text[next] != '\'')) continue;
        char quote = text[next];
        size_t close = next + 1;
        while (close < end && text[close] != quote) ++close;
        return Text(text.data() + next + 1, close - next - 1);
    }
    return Text();
}

}  // namespace

bool AsksForElevation(const Text& manifestBytes) {
    static const char kElement[] = "requestedExecutionLevel";
    Text text = AsciiView(manifestBytes);
    for (size_t at = 0; at < text.length(); ++at) {
        if (text[at] != '<') continue;
        if (Follows(text, at, "<!--")) {
            at = Find(text, at + 4, "-->");
            continue;
        }
        size_t name = at + 1;
        size_t colon = name;
        while (colon < text.length() && text[colon] != ':' && text[colon] != '>' && !IsBlank(text[colon])) ++colon;
        if (colon < text.length() && text[colon] == ':') name = colon + 1;  // a namespace prefix
        size_t after = name + sizeof kElement - 1;
        if (!Follows(text, name, kElement) || after >= text.length()) continue;
        if (!IsBlank(text[after]) && text[after] != '/' && text[after] != '>') continue;
        Text level = LevelOf(text, after, Find(text, after, ">")).ToLowerAscii();
        if (level == "requireadministrator" || level == "highestavailable") return true;
    }
    return false;
}
