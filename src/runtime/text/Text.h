#pragma once
#include <stddef.h>

// A small owned byte string for ANSI text and raw file data. The loader
// keeps libstdc++'s string machinery out of the executable to stay small,
// and this type builds natively so the pure logic can be tested on Linux.
class Text {
public:
    Text();
    Text(const char* s);  // NOLINT: implicit from literals reads like the design's text
    Text(const char* s, size_t n);
    Text(const Text& other);
    Text(Text&& other) noexcept;
    Text& operator=(const Text& other);
    Text& operator=(Text&& other) noexcept;
    ~Text();

    const char* c_str() const { return data_ ? data_ : ""; }
    const char* data() const { return c_str(); }
    size_t length() const { return len_; }
    bool empty() const { return len_ == 0; }
    char operator[](size_t i) const { return data_[i]; }

    Text& operator+=(const Text& other);
    Text& operator+=(const char* s);
    friend Text operator+(const Text& a, const Text& b);

    bool operator==(const Text& other) const;
    bool operator!=(const Text& other) const { return !(*this == other); }

    // The first n characters, or the whole text when it is shorter.
    Text Left(size_t n) const;
    // Everything from position start on; empty when start is past the end.
    Text Mid(size_t start) const;
    // Letter case changes for A-Z and a-z only.
    Text ToUpperAscii() const;
    Text ToLowerAscii() const;
    bool EndsWith(const char* suffix) const;

private:
    void Assign(const char* s, size_t n);
    void Append(const char* s, size_t n);

    char* data_ = nullptr;
    size_t len_ = 0;
};

// A number in decimal digits.
Text DecimalText(unsigned long value);
