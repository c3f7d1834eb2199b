#include "HeldFile.h"

#include "../platform/LazyFunction.h"
#include "../platform/WideText.h"

namespace {

LazyFunction<LONG(NTAPI*)(PVOID, PVOID)> g_areMappedFilesTheSame("ntdll.dll", "NtAreMappedFilesTheSame");
LazyFunction<DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD)> g_finalPathName("kernel32.dll", "GetFinalPathNameByHandleW");
LazyFunction<BOOL(WINAPI*)(HANDLE, int, void*, DWORD)> g_fileInformationEx("kernel32.dll",
                                                                           "GetFileInformationByHandleEx");

// FILE_ID_INFO, which the XP-level headers lack: the volume and the 128-bit
// file id, low byte first.
struct FileIdInformation {
    ULONGLONG volumeSerial;
    BYTE fileId[16];
};
constexpr int kFileIdInfoClass = 18;  // FileIdInfo, from Windows 8 and Server 2012 on

bool ReadWholeFileId(HANDLE file, FolderIdentity& identity) {
    auto fileInformationEx = g_fileInformationEx.Get();
    FileIdInformation information = {};
    if (!fileInformationEx || !fileInformationEx(file, kFileIdInfoClass, &information, sizeof information))
        return false;
    identity.volumeSerial = information.volumeSerial;
    for (int i = 7; i >= 0; --i) {
        identity.fileIndex = (identity.fileIndex << 8) | information.fileId[i];
        identity.fileIdHigh = (identity.fileIdHigh << 8) | information.fileId[i + 8];
    }
    return (identity.fileIndex | identity.fileIdHigh) != 0;
}

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

bool ReadFileIdentity(HANDLE file, FolderIdentity& identity) {
    identity = FolderIdentity();
    if (ReadWholeFileId(file, identity)) return true;
    identity = FolderIdentity();
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(file, &information)) return false;
    identity.volumeSerial = information.dwVolumeSerialNumber;
    identity.fileIndex = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return identity.fileIndex != 0;
}

bool SameFile(HANDLE a, HANDLE b) {
    FolderIdentity first, second;
    return ReadFileIdentity(a, first) && ReadFileIdentity(b, second) && first.volumeSerial == second.volumeSerial &&
           first.fileIndex == second.fileIndex && first.fileIdHigh == second.fileIdHigh;
}
