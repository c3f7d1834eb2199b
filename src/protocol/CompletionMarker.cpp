#include "CompletionMarker.h"

#include "../runtime/files/FolderEntry.h"

namespace {

constexpr const char* kMarkerName = "done";
// The marker's eight bytes: the word quoted, then a line end.
constexpr char kMarkerBytes[] = "\"done\"\r\n";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueFileHandle OpenMarker(const OwnFolder& folder, DWORD access, EntryOpen how) {
    unsigned long error = 0;
    if (folder.handle == INVALID_HANDLE_VALUE) return UniqueFileHandle();
    return OpenFolderEntry(folder.handle, kMarkerName, access, kShareAll, how, error);
}

}  // namespace

void WriteCompletionMarker(const OwnFolder& folder) {
    UniqueFileHandle file = OpenMarker(folder, GENERIC_WRITE, EntryOpen::ExistingOrNew);
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
