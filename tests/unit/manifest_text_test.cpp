#include <gtest/gtest.h>

#include "manifest/ManifestText.h"

TEST(ManifestText, WorkedExampleForRUNSetupInDrv) {
    ManifestFiles files = ManifestFilesFor("C:\\Drv", "RUNSetup");
    EXPECT_STREQ(files.manifest.c_str(), "C:\\Drv\\RUNSetup.exe.manifest");
    EXPECT_STREQ(files.loader.c_str(), "C:\\Drv\\RUNSetup.exe");
    EXPECT_STREQ(files.copy.c_str(), "C:\\Drv\\RUNSetup_new.exe");
    EXPECT_STREQ(files.partial.c_str(), "C:\\Drv\\RUNSetup_new.exe.tmp");
    EXPECT_STREQ(ManifestSuccessMessage("C:\\Drv", "RUNSetup").c_str(),
                 "C:\\Drv\\RUNSetup_new.exe: A copy of the setup loader has been written, with the manifest "
                 "file included.");
    EXPECT_STREQ(kManifestNotFound, "Manifest file not found.");
}

TEST(ManifestText, PathsKeepTheLauncherNamesCaseAndJoinWithoutLookingAtTheFolder) {
    ManifestFiles files = ManifestFilesFor("D:\\", "loadSETUP");
    EXPECT_STREQ(files.manifest.c_str(), "D:\\\\loadSETUP.exe.manifest");
    EXPECT_STREQ(files.loader.c_str(), "D:\\\\loadSETUP.exe");
    EXPECT_STREQ(files.copy.c_str(), "D:\\\\loadSETUP_new.exe");
    Text success = ManifestSuccessMessage("D:\\", "loadSETUP");
    EXPECT_EQ(success.Left(files.copy.length() + 1), files.copy + ":") << success.c_str();
}

TEST(ManifestText, FailureMessagesLeadWithTheFileAndCarryTheCause) {
    EXPECT_STREQ(ManifestEmptyMessage("C:\\Drv\\RUNSetup.exe.manifest").c_str(),
                 "C:\\Drv\\RUNSetup.exe.manifest: The manifest file is empty; nothing was embedded.");
    EXPECT_STREQ(ManifestNotWrittenMessage("C:\\Drv\\RUNSetup_new.exe", "Sharing violation (error 32).").c_str(),
                 "C:\\Drv\\RUNSetup_new.exe: No copy was written. Sharing violation (error 32).");
}

TEST(ManifestText, TheCopyIsRenamedToTheSystemsOwnNameOfItsPath) {}

TEST(ManifestText, ScannersCodesAreRetriedOthersAreNot) {
    // Access denied, sharing and lock violation, a user-mapped file; then not found, success, disk full.
    for (unsigned long code : {5ul, 32ul, 33ul, 1224ul}) EXPECT_TRUE(IsHeldByAnotherProgram(code)) << code;
    for (unsigned long code : {2ul, 0ul, 112ul}) EXPECT_FALSE(IsHeldByAnotherProgram(code)) << code;
}
