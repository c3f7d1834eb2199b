#include "Text.h"

#include <stdlib.h>
#include <string.h>

namespace {

char* Allocate(size_t n) {
    char* p = static_cast<char*>(malloc(n + 1));
    if (!p) abort();  // nothing sensible is left to do without memory
    return p;
}

char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char FoldLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

Text::Text() = default;
Text::Text(const char* s) {
    if (s) Assign(s, strlen(s));
}
Text::Text(const char* s, size_t n) { Assign(s, n); }
Text::Text(const Text& other) { Assign(other.data_, other.len_); }
Text::Text(Text&& other) noexcept : data_(other.data_), len_(other.len_) {
    other.data_ = nullptr;
    other.len_ = 0;
}

Text& Text::operator=(const Text& other) {
    if (this != &other) Assign(other.data_, other.len_);
    return *this;
}

Text& Text::operator=(Text&& other) noexcept {
    if (this != &other) {
        free(data_);
        data_ = other.data_;
        len_ = other.len_;
        other.data_ = nullptr;
        other.len_ = 0;
    }
    return *this;
}

Text::~Text() { free(data_); }

void Text::Assign(const char* s, size_t n) {
    free(data_);
    data_ = Allocate(n);
    if (n) memcpy(data_, s, n);
    data_[n] = '\0';
    len_ = n;
}

void Text::Append(const char* s, size_t n) {
    char* grown = Allocate(len_ + n);
    if (len_) memcpy(grown, data_, len_);
    if (n) memcpy(grown + len_, s, n);
    grown[len_ + n] = '\0';
    free(data_);
    data_ = grown;
    len_ += n;
}

Text& Text::operator+=(const Text& other) {
    Append(other.data_, other.len_);  // copies before it frees, so other may be *this
    return *this;
}

Text& Text::operator+=(const char* s) {
    if (s) Append(s, strlen(s));
    return *this;
}

Text operator+(const Text& a, const Text& b) {
    Text result(a);
    result += b;
    return result;
}

bool Text::operator==(const Text& other) const {
    return len_ == other.len_ && (len_ == 0 || memcmp(data_, other.data_, len_) == 0);
}

Text Text::Left(size_t n) const { return Text(c_str(), n < len_ ? n : len_); }

Text Text::Mid(size_t start) const {
    if (start >= len_) return Text();
    return Text(data_ + start, len_ - start);
}

Text Text::ToUpperAscii() const {
    Text result(*this);
    for (size_t i = 0; i < result.len_; ++i) result.data_[i] = FoldUpper(result.data_[i]);
    return result;
}

Text Text::ToLowerAscii() const {
    Text result(*this);
    for (size_t i = 0; i < result.len_; ++i) result.data_[i] = FoldLower(result.data_[i]);
    return result;
}

bool Text::EndsWith(const char* suffix) const {
    size_t n = strlen(suffix);
    return n <= len_ && memcmp(data_ + len_ - n, suffix, n) == 0;
}

Text DecimalText(unsigned long value) {
    char digits[12];
    int i = 11;
    digits[i] = '\0';
    do {
        digits[--i] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value && i > 0);
    return Text(digits + i);
}
