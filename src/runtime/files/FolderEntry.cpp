#include "FolderEntry.h"

#include <string.h>
#include <winternl.h>

#include "../platform/LazyFunction.h"
#include "../platform/WideText.h"
#include "EntryCheck.h"

namespace {

LazyFunction<decltype(&::NtCreateFile)> g_createFile("ntdll.dll", "NtCreateFile");
LazyFunction<decltype(&::NtSetInformationFile)> g_setInformationFile("ntdll.dll", "NtSetInformationFile");
LazyFunction<decltype(&::RtlNtStatusToDosError)> g_statusToError("ntdll.dll", "RtlNtStatusToDosError");
LazyFunction<LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*)> g_queryObject("ntdll.dll", "NtQueryObject");

constexpr LONG kStatusNotFound = static_cast<LONG>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
constexpr ULONG kFileDispositionInformation = 13;
constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kNameCapacity = 0x10000;  // bytes: the longest name a counted string holds

unsigned long ErrorOf(LONG status) {
    auto statusToError = g_statusToError.Get();
    return statusToError ? statusToError(status) : ERROR_GEN_FAILURE;
}

// name as the system's counted string takes it: bytes, not characters.
struct CountedName {
    explicit CountedName(const Text& name) : wide(name) {
        size_t length = 0;
        while (wide.c_str()[length]) ++length;
        string.Length = string.MaximumLength = static_cast<USHORT>(length * sizeof(wchar_t));
        string.Buffer = wide.c_str();
    }
    WideText wide;
    UNICODE_STRING string;
};

LONG CreateRelative(HANDLE folder, const Text& name, DWORD access, DWORD share, ULONG disposition, void* security,
                    HANDLE& file) {
    auto createFile = g_createFile.Get();
    if (!createFile) return static_cast<LONG>(0xC0000002);  // STATUS_NOT_IMPLEMENTED
    CountedName counted(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted.string, OBJ_CASE_INSENSITIVE, folder, security);
    IO_STATUS_BLOCK io;
    return createFile(&file, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                      FILE_ATTRIBUTE_NORMAL, share, disposition, kEntryCreateOptions, nullptr, 0);
}

// The object's name as the system keeps it ("\Device\...\x" on Windows,
// "\??\C:\x" under Wine), links resolved; empty when it cannot be told. Not
// the final path: Wine's refuses names past MAX_PATH.
Text ObjectName(HANDLE object) {
    auto queryObject = g_queryObject.Get();
    auto* name = static_cast<UNICODE_STRING*>(::HeapAlloc(::GetProcessHeap(), 0, kNameCapacity));
    Text text;
    if (name && queryObject && queryObject(object, kObjectNameInformation, name, kNameCapacity, nullptr) >= 0)
        text = Utf8Text(name->Buffer, static_cast<int>(name->Length / sizeof(wchar_t)));
    if (name) ::HeapFree(::GetProcessHeap(), 0, name);
    return text;
}

EntryFacts FactsOf(HANDLE file) {
    EntryFacts facts;
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(file, &information)) return facts;
    facts.attributes = information.dwFileAttributes;
    facts.links = information.nNumberOfLinks;
    facts.finalPath = ObjectName(file);
    facts.finalPathKnown = !facts.finalPath.empty();
    return facts;
}

}  // namespace

UniqueFileHandle OpenFolderEntry(HANDLE folder, const Text& name, DWORD access, DWORD share, EntryOpen how,
                                 unsigned long& error, void* security) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    // A new file only where nothing stands under the name: a dangling link
    // there is something, and making through it would make its target.
    LONG status = CreateRelative(folder, name, access, share, how == EntryOpen::New ? FILE_CREATE : FILE_OPEN,
                                 how == EntryOpen::New ? security : nullptr, opened);
    if (status == kStatusNotFound && how == EntryOpen::ExistingOrNew)
        status = CreateRelative(folder, name, access, share, FILE_CREATE, security, opened);
    error = EntryOpenError(status, status < 0 ? ErrorOf(status) : 0);
    // Opened while another process's oplock breaks: anything done through it could wait on that process.
    UniqueFileHandle file(status < 0 ? INVALID_HANDLE_VALUE : opened);
    if (error) file.Reset();
    if (file.Valid() && !IsPlainEntry(FactsOf(file.Get()), ObjectName(folder), name)) {
        file.Reset();
        error = kNotPlainEntry;
    }
    return file;
}

bool DeleteOpenFile(HANDLE file) {
    auto setInformationFile = g_setInformationFile.Get();
    BOOLEAN deleteFile = TRUE;
    IO_STATUS_BLOCK io;
    return setInformationFile &&
           setInformationFile(file, &io, &deleteFile, sizeof deleteFile,
                              static_cast<FILE_INFORMATION_CLASS>(kFileDispositionInformation)) >= 0;
}

bool RenameOpenFile(HANDLE file, HANDLE folder, const Text& newName, unsigned long& error) {
    // FILE_RENAME_INFORMATION: the new name relative to the folder's handle.
    struct RenameInformation {
        BOOLEAN replaceIfExists;
        HANDLE rootDirectory;
        ULONG nameBytes;
        WCHAR name[1];
    };
    auto setInformationFile = g_setInformationFile.GetOrRaise();
    CountedName counted(newName);
    ULONG size = sizeof(RenameInformation) + counted.string.Length;
    auto* information = static_cast<RenameInformation*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (!setInformationFile || !information) {
        error = setInformationFile ? ERROR_NOT_ENOUGH_MEMORY : ERROR_PROC_NOT_FOUND;
        if (information) ::HeapFree(::GetProcessHeap(), 0, information);
        return false;
    }
    information->replaceIfExists = TRUE;
    information->rootDirectory = folder;
    information->nameBytes = counted.string.Length;
    memcpy(information->name, counted.string.Buffer, counted.string.Length);
    IO_STATUS_BLOCK io;
    LONG status =
        setInformationFile(file, &io, information, size, static_cast<FILE_INFORMATION_CLASS>(kFileRenameInformation));
    ::HeapFree(::GetProcessHeap(), 0, information);
    error = status < 0 ? ErrorOf(status) : 0;
    return status >= 0;
}
