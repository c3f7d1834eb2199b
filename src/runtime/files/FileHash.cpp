#include "FileHash.h"

#include "Sha256.h"

namespace {

constexpr DWORD kChunkBytes = 1 << 20;

}  // namespace

UniqueFileHandle OpenSharingOnlyReads(const Text& path) {
    return UniqueFileHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool HashOpenFile(HANDLE file, Text& sha256) {
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    void* chunk = ::HeapAlloc(::GetProcessHeap(), 0, kChunkBytes);
    if (!chunk) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    Sha256 hash;
    DWORD read = 0;
    bool ok;
    while ((ok = ::ReadFile(file, chunk, kChunkBytes, &read, nullptr) != FALSE) && read > 0) hash.Update(chunk, read);
    DWORD code = ::GetLastError();
    ::HeapFree(::GetProcessHeap(), 0, chunk);
    ::SetLastError(code);
    if (!ok) return false;
    unsigned char digest[Sha256::kDigestBytes];
    hash.Finish(digest);
    sha256 = HexDigits(digest, sizeof digest);
    return true;
}
