#include "HeldFile.h"

#include "../platform/LazyFunction.h"
#include "../platform/WideText.h"

namespace {

LazyFunction<LONG(NTAPI*)(PVOID, PVOID)> g_areMappedFilesTheSame("ntdll.dll", "NtAreMappedFilesTheSame");
LazyFunction<DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD)> g_finalPathName("kernel32.dll", "GetFinalPathNameByHandleW");

}  // namespace

UniqueFileHandle OpenWideSharingOnlyReads(const Text& path) {
    WideText wide(path);
    return UniqueFileHandle(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool IsRunningImage(HANDLE file) {
    auto areMappedFilesTheSame = g_areMappedFilesTheSame.Get();
    if (!areMappedFilesTheSame) return false;
    UniqueKernelHandle mapping(::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    void* view = mapping.Valid() ? ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 1) : nullptr;
    if (!view) return false;
    bool same = areMappedFilesTheSame(::GetModuleHandleA(nullptr), view) == 0;
    ::UnmapViewOfFile(view);
    return same;
}

bool FinalPathOf(HANDLE file, Text& path, unsigned long& error) {
    auto finalPathName = g_finalPathName.Get();
    error = 0;
    if (!finalPathName) return false;
    DWORD size = finalPathName(file, nullptr, 0, 0);
    wchar_t* buffer =
        size ? static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, (size + 1) * sizeof(wchar_t))) : nullptr;
    DWORD length = buffer ? finalPathName(file, buffer, size + 1, 0) : 0;
    if (length == 0 || length > size) {
        error = buffer ? ::GetLastError() : size ? ERROR_NOT_ENOUGH_MEMORY : ::GetLastError();
    } else {
        path = Utf8Text(buffer, static_cast<int>(length));
        if (path.empty()) error = ERROR_NO_UNICODE_TRANSLATION;
    }
    if (buffer) ::HeapFree(::GetProcessHeap(), 0, buffer);
    // Where the call exists, 0 would read as "no such call".
    if (path.empty() && error == 0) error = ERROR_GEN_FAILURE;
    return error == 0;
}
