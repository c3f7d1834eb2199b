#include <gtest/gtest.h>

#include <string.h>

#include "runtime/text/AnsiPath.h"
#include "runtime/text/CodePage.h"

namespace {

AnsiText Exact(const Text& text) { return {true, text}; }
AnsiText Inexact(const Text& text) { return {false, text}; }

// "C:\" and as many 'a' as make a folder of length characters.
Text FolderOfLength(size_t length) {
    Text folder("C:\\");
    while (folder.length() < length) folder += "a";
    return folder;
}

}  // namespace

// RUNsetup.exe.manifest is 21 characters: a folder of 259 - 1 - 21 = 237 still fits.
TEST(AnsiFolder, LongFolderWhileItsLongestPathFitsThenTheShortForm) {
    const AnsiText name = Exact("RUNsetup");
    const AnsiText shortForm = Exact("C:\\AAAAAA~1");
    AnsiFolderChoice choice = ChooseAnsiFolder(name, Exact(FolderOfLength(237)), shortForm);
    EXPECT_EQ(choice.problem, PathProblem::None);
    EXPECT_EQ(choice.folder, FolderOfLength(237));
    // One more character puts the manifest's path over the limit: a loader
    // path of 251 to 259 characters already needs the short folder.
    choice = ChooseAnsiFolder(name, Exact(FolderOfLength(238)), shortForm);
    EXPECT_EQ(choice.problem, PathProblem::None);
    EXPECT_EQ(choice.folder, Text("C:\\AAAAAA~1"));
    // A name the code page cannot hold, however the folder is.
    EXPECT_EQ(ChooseAnsiFolder(Inexact("RUN?"), Exact("C:\\Drv"), shortForm).problem,
              PathProblem::NameNotRepresentable);
}

TEST(AnsiFolder, UnrepresentableOrTooLongWithoutAUsableShortFormIsRefused) {
    const AnsiText name = Exact("RUNsetup");
    AnsiFolderChoice choice = ChooseAnsiFolder(name, Inexact("C:\\????"), Exact("C:\\B93F~1"));
    EXPECT_EQ(choice.problem, PathProblem::None);
    EXPECT_EQ(choice.folder, Text("C:\\B93F~1"));
    // Without 8.3 names the system hands back the long form itself.
    EXPECT_EQ(ChooseAnsiFolder(name, Inexact("C:\\????"), Inexact("C:\\????")).problem,
              PathProblem::FolderNotRepresentable);
    EXPECT_EQ(ChooseAnsiFolder(name, Inexact("C:\\????"), AnsiText()).problem, PathProblem::FolderNotRepresentable);
    EXPECT_EQ(ChooseAnsiFolder(name, Exact(FolderOfLength(300)), Exact(FolderOfLength(238))).problem,
              PathProblem::FolderTooLong);
    EXPECT_EQ(ChooseAnsiFolder(name, Exact(FolderOfLength(300)), AnsiText()).problem, PathProblem::FolderTooLong);
}

TEST(AnsiFolder, RefusalNamesTheFolderOrFileAndTheReason) {
    Text folder("C:\\\xe3\x83\x89\xe3\x83\xa9\xe3\x82\xa4\xe3\x83\x90");  // ドライバ in UTF-8
    Text message = PathRefusalMessage(PathProblem::FolderNotRepresentable, folder, "RUNsetup", 7);
    EXPECT_NE(strstr(message.c_str(), folder.c_str()), nullptr) << message.c_str();
    EXPECT_NE(strstr(message.c_str(), "cannot represent"), nullptr) << message.c_str();
    message = PathRefusalMessage(PathProblem::FolderTooLong, FolderOfLength(300), "RUNsetup", 300);
    EXPECT_NE(strstr(message.c_str(), FolderOfLength(300).c_str()), nullptr);
    EXPECT_NE(strstr(message.c_str(), "300 characters long, but at most 237 fit"), nullptr) << message.c_str();
    message = PathRefusalMessage(PathProblem::NameNotRepresentable, "C:\\Drv",
                                 "RUN\xc5\x81\xc3\xb3"
                                 "d\xc5\xba",
                                 6);
    EXPECT_NE(strstr(message.c_str(),
                     "RUN\xc5\x81\xc3\xb3"
                     "d\xc5\xba.exe"),
              nullptr)
        << message.c_str();
}

TEST(LongPathPrefix, AddedOnlyToLongPathsAndStrippedFromAny) {
    EXPECT_EQ(WithLongPathPrefix("C:\\Drv"), Text("C:\\Drv"));
    EXPECT_EQ(WithLongPathPrefix(FolderOfLength(260)), Text("\\\\?\\") + FolderOfLength(260));
    Text unc = Text("\\\\server\\share\\") + FolderOfLength(260).Mid(3);
    EXPECT_EQ(WithLongPathPrefix(unc), Text("\\\\?\\UNC\\server\\share\\") + FolderOfLength(260).Mid(3));
    EXPECT_EQ(WithoutLongPathPrefix(WithLongPathPrefix(unc)), unc);
    EXPECT_EQ(WithoutLongPathPrefix("\\\\?\\C:\\Drv"), Text("C:\\Drv"));
    EXPECT_EQ(WithoutLongPathPrefix("\\\\server\\share"), Text("\\\\server\\share"));
    // A final path starts plain, unless the plain form would be read otherwise.
    EXPECT_EQ(StartableForm("\\\\?\\UNC\\srv\\s\\a.exe"), Text("\\\\srv\\s\\a.exe"));
    for (Text kept : {Text("\\\\?\\C:\\pkg.\\a.exe"), Text("\\\\?\\C:\\pkg \\a.exe"), Text("\\\\?\\C:\\a.exe "),
                      Text("\\\\?\\") + FolderOfLength(260)})
        EXPECT_EQ(StartableForm(kept), kept);
}

TEST(AnsiConversion, OnlyCodePagesThatTakeThemGetTheExactnessFlags) {
    for (unsigned codePage : {1252u, 1250u, 437u, 932u, 936u, 949u, 950u}) EXPECT_TRUE(TakesExactnessFlags(codePage));
    for (unsigned codePage : {kCodePageUtf8, 65000u, 42u, 50220u, 57002u}) EXPECT_FALSE(TakesExactnessFlags(codePage));
}
