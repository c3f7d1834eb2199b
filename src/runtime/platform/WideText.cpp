#include "WideText.h"

WideText::WideText(const Text& utf8) {
    int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.length()), nullptr, 0);
    if (size <= 0) return;
    data_ = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, (size + 1) * sizeof(wchar_t)));
    if (!data_) return;
    length_ = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.length()), data_, size);
    data_[length_ > 0 ? length_ : 0] = L'\0';
}

WideText::~WideText() {
    if (data_) ::HeapFree(::GetProcessHeap(), 0, data_);
}

Text Utf8Text(const wchar_t* text, int length) {
    int size = length > 0 ? ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr) : 0;
    if (size <= 0) return Text();
    char* bytes = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, size));
    if (!bytes) return Text();
    size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, size, nullptr, nullptr);
    Text out = size > 0 ? Text(bytes, size) : Text();
    ::HeapFree(::GetProcessHeap(), 0, bytes);
    return out;
}
