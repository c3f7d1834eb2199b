#include "CompletionMarker.h"

#include "../runtime/files/Files.h"
#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/WideText.h"
#include "../runtime/text/FieldLine.h"

namespace {

constexpr int kFileDispositionInfo = 4;
LazyFunction<BOOL(WINAPI*)(HANDLE, int, void*, DWORD)> g_setFileInformation("kernel32.dll",
                                                                            "SetFileInformationByHandle");

// Opened without following a link in the marker's place, and kept only when
// what is open is one plain file by one name.
UniqueFileHandle OpenMarker(const Text& folder, DWORD access, DWORD disposition) {
    WideText path(MarkerPath(folder));
    UniqueFileHandle file(::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    bool plain = file.Valid() && ::GetFileInformationByHandle(file.Get(), &information) &&
                 !(information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
                 information.nNumberOfLinks == 1;
    if (!plain) file.Reset();
    return file;
}

}  // namespace

void WriteCompletionMarker(const OwnFolder& folder) {
    // A failing step is skipped: only the file's presence matters to anyone.
    Err::Clear();
    if (!folder.byFinalPath) {
        Files::OpenForOutput(kMarkerChannel, MarkerPath(folder.path));
        Files::WriteFieldLine(kMarkerChannel, "done");
        Files::Close(kMarkerChannel);
        return;
    }
    UniqueFileHandle file = OpenMarker(folder.path, GENERIC_WRITE, OPEN_ALWAYS);
    Text line = FieldLine("done");
    DWORD written = 0;
    if (file.Valid() && ::SetEndOfFile(file.Get()))
        ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.length()), &written, nullptr);
}

bool DeleteCompletionMarker(const OwnFolder& folder) {
    if (!folder.byFinalPath) return Files::Delete(MarkerPath(folder.path));
    UniqueFileHandle file = OpenMarker(folder.path, DELETE, OPEN_EXISTING);
    auto setFileInformation = g_setFileInformation.Get();
    BOOL deleteFile = TRUE;
    return file.Valid() && setFileInformation &&
           setFileInformation(file.Get(), kFileDispositionInfo, &deleteFile, sizeof deleteFile);
}

bool CompletionMarkerTime(const OwnFolder& folder, uint64_t& writeTime) {
    if (!folder.byFinalPath) return Files::FileWriteTime(MarkerPath(folder.path), writeTime);
    WideText path(MarkerPath(folder.path));
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}
