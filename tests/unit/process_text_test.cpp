#include <gtest/gtest.h>

#include "runtime/files/EntryCheck.h"
#include "runtime/text/ProcessText.h"

TEST(ArgumentText, DropsTheProgramPathAndTheBlanksAfterIt) {
    EXPECT_STREQ(ArgumentTextFrom("\"C:\\Drv\\RUNsetup.exe\" /Addrunsetup/Manifest").c_str(), "/Addrunsetup/Manifest");
    EXPECT_STREQ(ArgumentTextFrom("C:\\Drv\\RUNsetup.exe \t  a  b ").c_str(), "a  b ");
    EXPECT_STREQ(ArgumentTextFrom("\"C:\\Program Files\\RUNsetup.exe\"").c_str(), "");
    EXPECT_STREQ(ArgumentTextFrom("RUNsetup.exe").c_str(), "");
    EXPECT_STREQ(ArgumentTextFrom("\"C:\\unterminated").c_str(), "");
    EXPECT_STREQ(ArgumentTextFrom("").c_str(), "");
    EXPECT_STREQ(ArgumentTextFrom(nullptr).c_str(), "");
}

TEST(ModulePath, SplitsFolderAndBaseNameKeepingCase) {
    ModulePath path;
    ASSERT_TRUE(SplitModulePath("C:\\Drv\\RUNSetup.exe", path));
    EXPECT_STREQ(path.folder.c_str(), "C:\\Drv");
    EXPECT_STREQ(path.baseName.c_str(), "RUNSetup");
    ASSERT_TRUE(SplitModulePath("C:\\RUN.setup.v2.EXE", path));
    EXPECT_STREQ(path.folder.c_str(), "C:");
    EXPECT_STREQ(path.baseName.c_str(), "RUN.setup.v2");
    ASSERT_TRUE(SplitModulePath("\\\\server\\share\\RUNsetup", path));
    EXPECT_STREQ(path.baseName.c_str(), "RUNsetup");
}

TEST(ModulePath, RejectsPathsWithoutFolderOrName) {
    ModulePath path;
    EXPECT_FALSE(SplitModulePath("RUNsetup.exe", path));
    EXPECT_FALSE(SplitModulePath("C:\\Drv\\", path));
    EXPECT_FALSE(SplitModulePath("", path));
}

TEST(RunnerObjectName, OnePerFolderAndMachineWhateverTheLoaderNameOrCase) {
    Text runner = RunnerObjectName("C:\\Drv\\RUNsetup.exe");
    EXPECT_TRUE(runner == RunnerObjectName("c:\\DRV\\LOADsetup.exe"));
    EXPECT_FALSE(runner == RunnerObjectName("C:\\Drv2\\RUNsetup.exe"));
    EXPECT_STREQ(runner.Left(26).c_str(), "Global\\SetupLoader.Runner.");
    // Object names hold no backslash after the namespace's.
    for (size_t i = 26; i < runner.length(); ++i) EXPECT_NE(runner[i], '\\');
    EXPECT_STREQ(RunnerObjectName(FolderIdentity{0x1234abcd, 5}, true).c_str(),
                 "7202dc7f-a41b-4331-acac-682a07ca4903\\Runner.1234abcd.0000000000000005")
        << "the elevated loaders' private namespace, under an alias of the loader's own";
    // By identity, each of volume and index tells folders apart.
    EXPECT_STREQ(RunnerObjectName(FolderIdentity{0x1234abcd, 0x10000000005}).c_str(),
                 "Global\\SetupLoader.Runner.1234abcd.0000010000000005");
    EXPECT_FALSE(RunnerObjectName(FolderIdentity{1, 5}) == RunnerObjectName(FolderIdentity{2, 5}));
    EXPECT_STREQ(RunnerObjectName(FolderIdentity{0x99001234abcd, 5, 7}).c_str(),
                 "Global\\SetupLoader.Runner.000099001234abcd.00000000000000070000000000000005");
    EXPECT_TRUE(RunnerObjectName(FolderIdentity{0x99001234abcd, 5}) == RunnerObjectName(FolderIdentity{0x1234abcd, 5}));
    EXPECT_STREQ(FolderToOpen("E:").c_str(), "E:\\") << "the root, not E:'s current directory";
    EXPECT_STREQ(FolderToOpen("\\\\?\\E:").c_str(), "\\\\?\\E:\\");
}

TEST(Text, OwnsItsBytesIncludingZeros) {
    Text bytes("a\0b", 3);
    Text copy = bytes;
    EXPECT_EQ(copy.length(), 3u);
    EXPECT_TRUE(copy == bytes);
    EXPECT_FALSE(copy == Text("a"));
    Text self = "ab";
    self += self;
    EXPECT_STREQ(self.c_str(), "abab");
    Text moved = static_cast<Text&&>(self);
    EXPECT_STREQ(moved.c_str(), "abab");
    EXPECT_TRUE(self.empty());
    EXPECT_STREQ(Text("x").Mid(5).c_str(), "");
    EXPECT_STREQ(Text("xyz").Left(10).c_str(), "xyz");
}

TEST(EntryCheck, OnlyOnePlainFileByOneNameInTheFolderItself) {
    const Text folder = "\\\\?\\C:\\Drv";
    EXPECT_TRUE(FinalPathInFolder("\\\\?\\C:\\Drv\\done", folder, "done"));
    EXPECT_TRUE(FinalPathInFolder("\\\\?\\C:\\Drv\\DONE", folder, "done")) << "the file system matched it";
    EXPECT_TRUE(FinalPathInFolder("\\\\?\\E:\\done", "\\\\?\\E:\\", "done")) << "a drive root";
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\Elsewhere\\done", folder, "done")) << "a link's target";
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\Drv\\sub\\done", folder, "done"));
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\drv\\done", folder, "done")) << "the folder part is the system's";
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\Drv\\gone", folder, "done")) << "a link beside it";
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\Drv\\dont", folder, "done"));
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\Drv2\\done", folder, "done"));
    EXPECT_FALSE(FinalPathInFolder("\\\\?\\C:\\Drv_done", folder, "done")) << "a sibling, not the folder's own";
    EntryFacts plain{0x20, 1, true, "\\\\?\\C:\\Drv\\done"};
    EXPECT_TRUE(IsPlainEntry(plain, folder, "done"));
    EntryFacts linked = plain;
    linked.links = 2;
    EXPECT_FALSE(IsPlainEntry(linked, folder, "done")) << "a second name elsewhere";
    EntryFacts reparse = plain;
    reparse.attributes |= 0x400;
    EXPECT_FALSE(IsPlainEntry(reparse, folder, "done"));
    EntryFacts directory = plain;
    directory.attributes = 0x10;
    EXPECT_FALSE(IsPlainEntry(directory, folder, "done"));
    EntryFacts unknown = plain;
    unknown.finalPathKnown = false;
    EXPECT_FALSE(IsPlainEntry(unknown, folder, "done")) << "where final paths exist, one must be told";
    EXPECT_TRUE(IsPlainEntry(unknown, "", "done")) << "Windows XP tells none";
}

TEST(EntryCheck, NoOpenOfTheFolderFilesWaitsOnAnotherProcessAndNobodyElseOpensTheMarker) {
    EXPECT_EQ(kEntryCreateOptions & 0x100, 0x100u) << "an oplocked open completes at once";
    EXPECT_EQ(kEntryCreateOptions & 0x200000, 0x200000u) << "never through a reparse point";
    EXPECT_EQ(EntryOpenError(0, 0), 0u);
    EXPECT_EQ(EntryOpenError(0x108, 0), kOplockedEntry) << "a break in progress: let go, never wait on it";
    EXPECT_EQ(EntryOpenError(static_cast<int32_t>(0xC0000043), 32), 32u) << "a sharing violation";
    EXPECT_EQ(EntryOpenError(static_cast<int32_t>(0xC0000001), 0), 31u) << "never 0 for a failure";
    EXPECT_STREQ(CreatorOnlySecurity("S-1-5-21-1-2-3-1001").c_str(),
                 "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;S-1-5-21-1-2-3-1001)")
        << "protected: nothing of the folder's (Users may read Program Files) is inherited";
    EXPECT_STREQ(CreatorOnlySecurity("").c_str(), "D:P(A;;FA;;;SY)(A;;FA;;;BA)");
}
