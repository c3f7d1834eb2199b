#include <gtest/gtest.h>

#include "shell/ModShell.h"
#include "win32_fixture.h"

TEST_F(Win32Folder, FileExistsIsTrueForFilesOfEveryAttributeAndFalseForFolders) {
    Text plain = MakeFile("plain.txt");
    Text hidden = MakeFile("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    Text system = MakeFile("system.txt", FILE_ATTRIBUTE_SYSTEM);
    Text readOnly = MakeFile("readonly.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ModShell::FileExists(plain), kTrue);
    EXPECT_EQ(ModShell::FileExists(hidden), kTrue);
    EXPECT_EQ(ModShell::FileExists(system), kTrue);
    EXPECT_EQ(ModShell::FileExists(readOnly), kTrue);
    EXPECT_EQ(ModShell::FileExists(MakeFolder("done")), kFalse);
    EXPECT_EQ(ModShell::FileExists(Path("missing.txt")), kFalse);
}

TEST_F(Win32Folder, FileExistsIsFalseForEmptyMalformedAndUnreachablePaths) {
    EXPECT_EQ(ModShell::FileExists(""), kFalse);
    EXPECT_EQ(ModShell::FileExists(Path("no such folder\\file.txt")), kFalse);
    EXPECT_EQ(ModShell::FileExists(Path("bad<name>.txt")), kFalse);
    EXPECT_EQ(ModShell::FileExists("\\\\?\\"), kFalse);
    // Longer than any ANSI path the system accepts.
    Text longPath = Path("");
    while (longPath.length() < 600) longPath += "abcdefghij\\";
    EXPECT_EQ(ModShell::FileExists(longPath + "x.exe"), kFalse);
}
