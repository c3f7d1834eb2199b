#include <gtest/gtest.h>

#include "protocol/CompletionMarker.h"
#include "runtime/files/FileHash.h"
#include "runtime/files/FolderEntry.h"
#include "runtime/files/HeldFile.h"
#include "runtime/platform/Err.h"
#include "runtime/platform/WideText.h"
#include "runtime/process/ProcessLocation.h"
#include "win32_fixture.h"

namespace {

const char kMarkerBytes[] = "\"done\"\r\n";

}  // namespace

// The test's folder as the loader holds its own.
class HeldTestFolder {
public:
    explicit HeldTestFolder(const Text& path)
        : handle_(CreateFileW(WideText(path).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
        own_.handle = handle_.Get();
    }
    const OwnFolder& own() const { return own_; }

private:
    UniqueFileHandle handle_;
    OwnFolder own_;
};

TEST_F(Win32Folder, CompletionMarkerIsExactlyEightBytesReplacesAnOldOneAndGoes) {
    HeldTestFolder folder(folder_);
    WriteCompletionMarker(folder.own());
    EXPECT_TRUE(ReadFile("done") == Text(kMarkerBytes));
    MakeFile("done", FILE_ATTRIBUTE_NORMAL, "a much longer earlier content");
    WriteCompletionMarker(folder.own());
    EXPECT_TRUE(ReadFile("done") == Text(kMarkerBytes));
    uint64_t time = 0;
    EXPECT_TRUE(CompletionMarkerTime(folder.own(), time) && time != 0);
    EXPECT_TRUE(DeleteCompletionMarker(folder.own()));
    EXPECT_FALSE(CompletionMarkerTime(folder.own(), time));
}

TEST_F(Win32Folder, AFolderNamedDoneIsNeitherWrittenNorDeletedNorTakenForTheMarker) {
    MakeFolder("done");  // empty: a delete by handle would take it
    HeldTestFolder folder(folder_);
    Err::Raise(0, "");
    WriteCompletionMarker(folder.own());  // must neither fail loudly nor touch the folder
    EXPECT_FALSE(DeleteCompletionMarker(folder.own()));
    uint64_t time = 0;
    EXPECT_FALSE(CompletionMarkerTime(folder.own(), time));
    DWORD attributes = GetFileAttributesA(Path("done").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Win32Folder, AMarkerByTwoNamesIsNeitherWrittenNorDeleted) {
    MakeFile("elsewhere", FILE_ATTRIBUTE_NORMAL, "precious");
    ASSERT_TRUE(CreateHardLinkA(Path("done").c_str(), Path("elsewhere").c_str(), nullptr));
    HeldTestFolder folder(folder_);
    WriteCompletionMarker(folder.own());
    EXPECT_FALSE(DeleteCompletionMarker(folder.own()));
    EXPECT_TRUE(ReadFile("elsewhere") == "precious");
    EXPECT_TRUE(ReadFile("done") == "precious");
}

TEST_F(Win32Folder, TheHeldFileIsConfirmedAsTheRunningImageOnlyWhenItIs) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    UniqueFileHandle own(CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(IsRunningImage(own.Get()));
    // A byte-for-byte copy is another file.
    ASSERT_TRUE(CopyFileW(self, WideText(Path("copy.exe")).c_str(), FALSE));
    EXPECT_FALSE(IsRunningImage(OpenSharingOnlyReads(Path("copy.exe")).Get()));
    Text finalPath;
    unsigned long error = 1;
    EXPECT_TRUE(FinalPathOf(OpenSharingOnlyReads(Path("copy.exe")).Get(), finalPath, error) && error == 0);
    EXPECT_TRUE(finalPath.Left(4) == "\\\\?\\" && finalPath.EndsWith("\\copy.exe")) << finalPath.c_str();
    // The hold the runner hashes through lets nobody write: what it hashed is what starts.
    UniqueFileHandle held = OpenWideSharingOnlyReads(Path("copy.exe"));
    UniqueFileHandle writer(CreateFileA(Path("copy.exe").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer.Valid());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(SameFile(held.Get(), OpenSharingOnlyReads(Path("copy.exe")).Get()));
    EXPECT_FALSE(SameFile(held.Get(), own.Get()));
}

// Another account may make a plain file under the name between the loader's
// delete and its create: the loader must not write into that file.
TEST_F(Win32Folder, ANewEntryIsNeverOneThatAlreadyStandsThere) {
    MakeFile("copy.tmp", FILE_ATTRIBUTE_NORMAL, "planted");
    HeldTestFolder folder(folder_);
    unsigned long error = 0;
    UniqueFileHandle made = OpenFolderEntry(folder.own().handle, "copy.tmp", GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                            EntryOpen::New, error);
    EXPECT_FALSE(made.Valid()) << "opened for writing";
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(ReadFile("copy.tmp") == "planted");
}

// Windows refuses the best-fit and used-default flags for UTF-8 (Wine 8 does
// not; the unit tests hold that choice): the round trip tells a lone surrogate.
TEST(FromWide, ExactOnlyWhatConvertsBack) {
    EXPECT_TRUE(FromWide(L"C:\\Drivers", 10, CP_UTF8).exact);
    EXPECT_FALSE(FromWide(L"C:\\\xD800x", 5, CP_UTF8).exact);
}
