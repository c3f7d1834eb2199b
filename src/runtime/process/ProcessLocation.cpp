#include "ProcessLocation.h"

#include "../platform/LazyFunction.h"
#include "../platform/Win32.h"
#include "../text/AnsiPath.h"
#include "../text/CodePage.h"
#include "../text/ProcessText.h"
#include "ExitCodes.h"
#include "Kernel.h"

#include <string.h>

namespace {

// Room for the longest path the system can report; a path that fills the
// buffer is truncated and names no file we could trust.
constexpr DWORD kCapacity = 32768;

LazyFunction<decltype(&::GetModuleFileNameW)> g_moduleFileName("kernel32.dll", "GetModuleFileNameW");
LazyFunction<decltype(&::GetLongPathNameW)> g_longPathName("kernel32.dll", "GetLongPathNameW");
LazyFunction<decltype(&::GetShortPathNameW)> g_shortPathName("kernel32.dll", "GetShortPathNameW");
LazyFunction<decltype(&::GetFileAttributesW)> g_fileAttributesW("kernel32.dll", "GetFileAttributesW");
LazyFunction<decltype(&::MessageBoxW)> g_messageBoxW("user32.dll", "MessageBoxW");

// A wide buffer on the heap: the stack is no place for 64 KB.
class WideBuffer {
public:
    WideBuffer() : data_(static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, kCapacity * sizeof(wchar_t)))) {}
    ~WideBuffer() {
        if (data_) ::HeapFree(::GetProcessHeap(), 0, data_);
    }
    WideBuffer(const WideBuffer&) = delete;
    WideBuffer& operator=(const WideBuffer&) = delete;
    wchar_t* Get() const { return data_; }

private:
    wchar_t* data_;
};

CharacterWidths AnsiCharacterWidths() {
    UINT codePage = ::GetACP();
    CPINFO info;
    if (!::GetCPInfo(codePage, &info)) return CharacterWidths(codePage, nullptr, 0);
    return CharacterWidths(codePage, info.LeadByte, MAX_LEADBYTES);
}

// The system turns an ANSI name back into a wide one to find the file: only
// a text that comes back as it was names the file it came from.
bool ConvertsBack(const AnsiText& converted, const wchar_t* text, int length, UINT codePage) {
    wchar_t* back = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, length * sizeof(wchar_t)));
    if (!back) return false;
    int backLength = ::MultiByteToWideChar(codePage, 0, converted.text.data(),
                                           static_cast<int>(converted.text.length()), back, length);
    bool same = backLength == length && memcmp(back, text, length * sizeof(wchar_t)) == 0;
    ::HeapFree(::GetProcessHeap(), 0, back);
    return same;
}

Text Utf8(const wchar_t* text, int length) { return FromWide(text, length, CP_UTF8).text; }

// UTF-8 to wide, into buffer; the length in characters, 0 on failure.
int ToWide(const Text& text, wchar_t* buffer) {
    if (text.empty()) return 0;
    int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.length()), buffer, kCapacity - 1);
    if (length > 0) buffer[length] = L'\0';
    return length;
}

// The short (8.3) form of a folder, or an inexact empty text when the system has none.
AnsiText ShortForm(const Text& folder) {
    auto shortPathName = g_shortPathName.Get();
    WideBuffer in, out;
    if (!shortPathName || !in.Get() || !out.Get() || !ToWide(WithLongPathPrefix(folder), in.Get())) return AnsiText();
    DWORD length = shortPathName(in.Get(), out.Get(), kCapacity);
    if (length == 0 || length >= kCapacity) return AnsiText();
    AnsiText form = FromWide(out.Get(), static_cast<int>(length), CP_ACP);
    form.text = WithoutLongPathPrefix(form.text);
    return form;
}

// Without the wide calls (old systems), the ANSI path is all there is.
bool LocateByAnsiPath(ProcessLocation& out) {
    char* buffer = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, kCapacity));
    if (!buffer) return false;
    DWORD length = ::GetModuleFileNameA(nullptr, buffer, kCapacity);
    bool whole = length != 0 && length < kCapacity - 1;
    if (whole) out.identity = Text(buffer, length);
    ::HeapFree(::GetProcessHeap(), 0, buffer);
    ModulePath parts;
    if (!whole || !SplitModulePath(out.identity, parts)) return false;
    out.folder = parts.folder;
    out.baseName = parts.baseName;
    return true;
}

}  // namespace

AnsiText FromWide(const wchar_t* text, int length, UINT codePage) {
    AnsiText out;
    if (length <= 0) return out;
    if (codePage == CP_ACP) codePage = ::GetACP();
    bool flagged = TakesExactnessFlags(codePage);
    DWORD flags = flagged ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* askUsedDefault = flagged ? &usedDefault : nullptr;
    int size = ::WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, askUsedDefault);
    if (size <= 0) return out;
    char* bytes = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, size));
    if (!bytes) return out;
    size = ::WideCharToMultiByte(codePage, flags, text, length, bytes, size, nullptr, askUsedDefault);
    if (size > 0) {
        out.text = Text(bytes, size);
        out.exact = !usedDefault && ConvertsBack(out, text, length, codePage);
    }
    ::HeapFree(::GetProcessHeap(), 0, bytes);
    return out;
}

bool LocateProcess(ProcessLocation& out) {
    out.ansiWidths = AnsiCharacterWidths();
    auto moduleFileName = g_moduleFileName.Get();
    WideBuffer module, longPath;
    if (!moduleFileName || !module.Get() || !longPath.Get()) return LocateByAnsiPath(out);
    DWORD length = moduleFileName(nullptr, module.Get(), kCapacity);
    if (length == 0 && ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return LocateByAnsiPath(out);
    if (length == 0 || length >= kCapacity - 1) return false;

    // A process started by its short path reports that path: the long form
    // is the one every start agrees on.
    const wchar_t* path = module.Get();
    auto longPathName = g_longPathName.Get();
    Text modulePath = Utf8(module.Get(), static_cast<int>(length));
    if (longPathName && ToWide(WithLongPathPrefix(WithoutLongPathPrefix(modulePath)), longPath.Get())) {
        DWORD longLength = longPathName(longPath.Get(), longPath.Get(), kCapacity);
        if (longLength > 0 && longLength < kCapacity) {
            path = longPath.Get();
            length = longLength;
        }
    }
    out.identity = WithoutLongPathPrefix(Utf8(path, static_cast<int>(length)));
    ModulePath parts;
    if (!SplitModulePath(out.identity, parts)) return false;

    WideBuffer wide;
    if (!wide.Get()) return false;
    int folderLength = ToWide(parts.folder, wide.Get());
    AnsiText longFolder = FromWide(wide.Get(), folderLength, CP_ACP);
    AnsiText name = FromWide(wide.Get(), ToWide(parts.baseName, wide.Get()), CP_ACP);
    AnsiFolderChoice choice = ChooseAnsiFolder(name, longFolder, ShortForm(parts.folder));
    out.folder = choice.folder;
    out.baseName = name.text;
    if (choice.problem != PathProblem::None) {
        out.refusal =
            PathRefusalMessage(choice.problem, parts.folder, parts.baseName, static_cast<size_t>(folderLength));
        out.refusalCode =
            choice.problem == PathProblem::FolderTooLong ? ExitCode::kPathTooLong : ExitCode::kNoTranslation;
    }
    return true;
}

bool Utf8FileExists(const Text& path) {
    auto fileAttributes = g_fileAttributesW.Get();
    WideBuffer wide;
    if (!fileAttributes || !wide.Get() || !ToWide(WithLongPathPrefix(path), wide.Get())) return false;
    DWORD attributes = fileAttributes(wide.Get());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ShowUtf8Message(const Text& text, const char* title) {
    if (!Kernel::WindowStationVisible()) return;
    auto messageBoxW = g_messageBoxW.Get();
    WideBuffer wideText, wideTitle;
    if (messageBoxW && wideText.Get() && wideTitle.Get() && ToWide(text, wideText.Get()) &&
        ToWide(title, wideTitle.Get())) {
        messageBoxW(nullptr, wideText.Get(), wideTitle.Get(), MB_OK);
        return;
    }
    ::MessageBoxA(nullptr, text.c_str(), title, MB_OK);
}
