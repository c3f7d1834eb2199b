#include "CompletionMarker.h"

#include "../runtime/files/EntryCheck.h"
#include "../runtime/files/FolderEntry.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/UniqueHandle.h"

namespace {

constexpr const char* kMarkerName = "done";
// The marker's eight bytes: the word quoted, then a line end.
constexpr char kMarkerBytes[] = "\"done\"\r\n";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kSddlRevision = 1;  // SDDL_REVISION_1

LazyFunction<BOOL(WINAPI*)(PSID, LPSTR*)> g_sidToString("advapi32.dll", "ConvertSidToStringSidA");
LazyFunction<BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG)> g_stringToDescriptor(
    "advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorA");

// This process's user, in string form; empty when it cannot be told.
Text OwnUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return Text();
    UniqueKernelHandle held(token);
    union {
        TOKEN_USER user;
        BYTE bytes[256];  // a SID has at most 15 sub-authorities: 68 bytes
    } information;
    DWORD size = 0;
    auto sidToString = g_sidToString.Get();
    LPSTR text = nullptr;
    if (!sidToString || !::GetTokenInformation(token, TokenUser, &information, sizeof information, &size) ||
        !sidToString(information.user.User.Sid, &text))
        return Text();
    Text sid(text);
    ::LocalFree(text);
    return sid;
}

UniqueFileHandle OpenMarker(const OwnFolder& folder, DWORD access, EntryOpen how, void* security = nullptr) {
    unsigned long error = 0;
    if (folder.handle == INVALID_HANDLE_VALUE) return UniqueFileHandle();
    return OpenFolderEntry(folder.handle, kMarkerName, access, kShareAll, how, error, security);
}

}  // namespace

void WriteCompletionMarker(const OwnFolder& folder) {
    // Made for SYSTEM, Administrators and this user alone: another user who
    // may list the folder could otherwise open it and hold an oplock on it.
    auto stringToDescriptor = g_stringToDescriptor.Get();
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!stringToDescriptor ||
        !stringToDescriptor(CreatorOnlySecurity(OwnUserSid()).c_str(), kSddlRevision, &security, nullptr))
        return;
    UniqueFileHandle file = OpenMarker(folder, GENERIC_WRITE, EntryOpen::ExistingOrNew, security);
    ::LocalFree(security);
    DWORD written = 0;
    // Emptied only once it is known to be the folder's own file.
    if (file.Valid() && ::SetEndOfFile(file.Get()))
        ::WriteFile(file.Get(), kMarkerBytes, sizeof kMarkerBytes - 1, &written, nullptr);
}

bool DeleteCompletionMarker(const OwnFolder& folder) {
    UniqueFileHandle file = OpenMarker(folder, DELETE, EntryOpen::Existing);
    return file.Valid() && DeleteOpenFile(file.Get());
}

bool CompletionMarkerTime(const OwnFolder& folder, uint64_t& writeTime) {
    UniqueFileHandle file = OpenMarker(folder, 0, EntryOpen::Existing);
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.Valid() || !::GetFileInformationByHandle(file.Get(), &information)) return false;
    writeTime = (static_cast<uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
                information.ftLastWriteTime.dwLowDateTime;
    return true;
}
