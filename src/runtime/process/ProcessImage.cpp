#include "ProcessImage.h"

#include "../files/HeldFile.h"
#include "../platform/LazyFunction.h"
#include "../platform/UniqueHandle.h"
#include "../platform/WideText.h"
#include "../text/AnsiPath.h"
#include "CreationOrder.h"

namespace {

// PROCESS_BASIC_INFORMATION, of which the XP-level headers name only some fields.
struct BasicInformation {
    LONG exitStatus;
    void* peb;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR processId;
    ULONG_PTR parentId;
};
constexpr DWORD kQueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on
constexpr DWORD kImagePathCapacity = 32768;

LazyFunction<LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*)> g_queryInformationProcess("ntdll.dll",
                                                                                          "NtQueryInformationProcess");
LazyFunction<BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD*)> g_fullImageName("kernel32.dll",
                                                                           "QueryFullProcessImageNameW");
LazyFunction<DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD)> g_moduleFileNameEx("psapi.dll", "GetModuleFileNameExW");

bool CreationTime(HANDLE process, ULONGLONG& time) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
    time = (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return true;
}

// The image path as the system keeps it for the process (Win32 form).
Text ImagePath(HANDLE process) {
    auto* buffer = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, kImagePathCapacity * sizeof(wchar_t)));
    if (!buffer) return Text();
    DWORD length = kImagePathCapacity;
    auto fullImageName = g_fullImageName.Get();
    auto moduleFileNameEx = fullImageName ? nullptr : g_moduleFileNameEx.Get();  // Windows XP
    if (fullImageName ? !fullImageName(process, 0, buffer, &length)
                      : !moduleFileNameEx || (length = moduleFileNameEx(process, nullptr, buffer, length)) == 0)
        length = 0;
    Text path = length && length < kImagePathCapacity ? Utf8Text(buffer, static_cast<int>(length)) : Text();
    ::HeapFree(::GetProcessHeap(), 0, buffer);
    return path;
}

}  // namespace

HANDLE OpenParentProcess(bool& createdFirst) {
    createdFirst = false;
    auto queryInformationProcess = g_queryInformationProcess.Get();
    BasicInformation information = {};
    if (!queryInformationProcess ||
        queryInformationProcess(::GetCurrentProcess(), 0, &information, sizeof information, nullptr) < 0)
        return nullptr;
    DWORD id = static_cast<DWORD>(information.parentId);
    HANDLE parent = ::OpenProcess(kQueryLimitedInformation | SYNCHRONIZE, FALSE, id);
    if (!parent) parent = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id);
    ULONGLONG parentCreated = 0, ownCreated = 0;
    createdFirst = parent && CreationTime(parent, parentCreated) && CreationTime(::GetCurrentProcess(), ownCreated) &&
                   CreatedNoLaterThan(parentCreated, ownCreated);
    return parent;
}

namespace {

// Opened for its attributes alone, which no sharing mode refuses.
bool OpensSameFile(const Text& path, HANDLE file) {
    WideText wide(PrefixedPath(path));
    UniqueFileHandle opened(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return opened.Valid() && SameFile(opened.Get(), file);
}

}  // namespace

bool ProcessImageIs(HANDLE process, HANDLE file) {
    Text path = ImagePath(process);
    return !path.empty() && OpensSameFile(path, file);
}

bool ProcessFolderIs(HANDLE process, HANDLE folder) {
    ModulePath parts;
    return SplitModulePath(ImagePath(process), parts) && OpensSameFile(FolderToOpen(parts.folder), folder);
}
