#pragma once
#include "../text/Text.h"
#include "Win32.h"

// A UTF-8 text as the wide calls take it, on the heap: paths of the held
// files may pass MAX_PATH. Empty (c_str() "") when it cannot be converted.
class WideText {
public:
    explicit WideText(const Text& utf8);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    wchar_t* c_str() const { return data_ ? data_ : const_cast<wchar_t*>(L""); }
    bool empty() const { return length_ == 0; }

private:
    wchar_t* data_ = nullptr;
    int length_ = 0;
};

// A wide text (length characters) in UTF-8.
Text Utf8Text(const wchar_t* text, int length);
