#include <gtest/gtest.h>

#include "protocol/LauncherName.h"

namespace {

const Text kFolder = "C:\\Drivers";

Text Target(const Text& name) {
    Text target;
    EXPECT_TRUE(SelectTargetPath(name, BuildCandidatePaths(kFolder, name), target)) << name.c_str();
    return target;
}

}  // namespace

TEST(CandidatePaths, WorkedExampleDropsThreeToSixCharacters) {
    CandidatePaths c = BuildCandidatePaths(kFolder, "STARTsetup");
    EXPECT_STREQ(c.path[0].c_str(), "C:\\Drivers\\RTsetup.exe");
    EXPECT_STREQ(c.path[1].c_str(), "C:\\Drivers\\Tsetup.exe");
    EXPECT_STREQ(c.path[2].c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(c.path[3].c_str(), "C:\\Drivers\\etup.exe");
    EXPECT_STREQ(Target("STARTsetup").c_str(), "C:\\Drivers\\setup.exe");
}

TEST(CandidatePaths, KeepTheRemaindersCaseAndJoinWithoutLookingAtTheFolder) {
    EXPECT_STREQ(BuildCandidatePaths("C:\\", "RUNSetup").path[0].c_str(), "C:\\\\Setup.exe");
    EXPECT_STREQ(BuildCandidatePaths("D:\\x", "runSETUP").path[0].c_str(), "D:\\x\\SETUP.exe");
}

TEST(CandidatePaths, SixCharacterNameGivesAnEmptyBaseName) {
    EXPECT_STREQ(BuildCandidatePaths(kFolder, "PRJRUN").path[3].c_str(), "C:\\Drivers\\.exe");
}

TEST(CandidatePaths, NamesTooShortLeaveTheirCandidatesEmpty) {
    CandidatePaths c = BuildCandidatePaths(kFolder, "RUNab");
    EXPECT_STREQ(c.path[0].c_str(), "C:\\Drivers\\ab.exe");
    EXPECT_STREQ(c.path[1].c_str(), "C:\\Drivers\\b.exe");
    EXPECT_STREQ(c.path[2].c_str(), "C:\\Drivers\\.exe");
    EXPECT_TRUE(c.path[3].empty());
    for (const Text& path : BuildCandidatePaths(kFolder, "ab").path) EXPECT_TRUE(path.empty());
    for (const Text& path : BuildCandidatePaths(kFolder, "").path) EXPECT_TRUE(path.empty());
}

TEST(TargetPath, EveryPrefixRowOfTheDecisionTable) {
    EXPECT_STREQ(Target("RUNsetup").c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(Target("runSetup").c_str(), "C:\\Drivers\\Setup.exe");
    EXPECT_STREQ(Target("STARTsetup").c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(Target("STAGEsetup").c_str(), "C:\\Drivers\\GEsetup.exe");
    EXPECT_STREQ(Target("LOADsetup").c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(Target("LOADERsetup").c_str(), "C:\\Drivers\\ERsetup.exe");
    EXPECT_STREQ(Target("LOAsetup").c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(Target("PRJRUNsetup").c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(Target("PRJsetup").c_str(), "C:\\Drivers\\setup.exe");
    EXPECT_STREQ(Target("prjrunSetup").c_str(), "C:\\Drivers\\Setup.exe");
    EXPECT_STREQ(Target("sTaRtX").c_str(), "C:\\Drivers\\X.exe");
    EXPECT_STREQ(Target("waitSetup").c_str(), "C:\\Drivers\\Setup.exe");
    for (const char* name : {"RUNsetup", "WAIsetup", "xWAITsetup", "LOADsetup", "wAiTsetup"})
        EXPECT_EQ(WaitsForWholeTree(name), name[0] == 'w') << name;
}

TEST(TargetPath, ShortNamesWithAPrefixHeadFallBackToTheFirstCandidate) {
    EXPECT_STREQ(Target("LOA").c_str(), "C:\\Drivers\\.exe");
    EXPECT_STREQ(Target("STAR").c_str(), "C:\\Drivers\\R.exe");
    EXPECT_STREQ(Target("PRJRU").c_str(), "C:\\Drivers\\RU.exe");
}

TEST(TargetPath, UnrecognisedPrefixHasNone) {
    for (const char* name :
         {"XYZsetup", "setup", "RU", "", "R", "RUsetup", "xRUNsetup", "WAIsetup", "WAI", "WAIXsetup"}) {
        Text target = "untouched";
        EXPECT_FALSE(SelectTargetPath(name, BuildCandidatePaths(kFolder, name), target)) << name;
        EXPECT_STREQ(target.c_str(), "untouched");
    }
}

TEST(ManifestSwitch, MatchesOnlyTheExactLowerCasedForm) {
    EXPECT_STREQ(ManifestSwitch("RUNSetup").c_str(), "/Addrunsetup/Manifest");
    EXPECT_TRUE(IsManifestSwitch("/Addrunsetup/Manifest", "RUNSetup"));
    EXPECT_FALSE(IsManifestSwitch("/addrunsetup/Manifest", "RUNSetup"));
    EXPECT_FALSE(IsManifestSwitch("/AddRUNSetup/Manifest", "RUNSetup"));
    EXPECT_FALSE(IsManifestSwitch("/addrunsetup/manifest", "RUNSetup"));
    EXPECT_FALSE(IsManifestSwitch("/Addrunsetup/Manifest more", "RUNSetup"));
    EXPECT_FALSE(IsManifestSwitch("/Addrunsetup/Manifest ", "RUNSetup"));
    EXPECT_FALSE(IsManifestSwitch("", "RUNSetup"));
}

// 932: ア is 83 41 and ソ is 83 5C; UTF-8: é is C3 A9. Whole characters are cut and folded.
TEST(LauncherNameCodePages, CutAndFoldWholeCharacters) {
    const unsigned char lead932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
    const CharacterWidths cp932(932, lead932, sizeof lead932);
    EXPECT_TRUE(IsManifestSwitch("/Addrun\x83\x41/Manifest", "RUN\x83\x41", cp932));
    CandidatePaths c = BuildCandidatePaths(kFolder, "RUN\x83\x5Cx", cp932);
    EXPECT_STREQ(c.path[1].c_str(), "C:\\Drivers\\x.exe");
    c = BuildCandidatePaths(kFolder, "RUN\x9F\x5C\xFC\x41x", cp932);  // 9F: the last lead byte of a range
    EXPECT_STREQ(c.path[1].c_str(), "C:\\Drivers\\\xFC\x41x.exe");
    c = BuildCandidatePaths(kFolder, "LOAD\xC3\xA9t\xC3\xA9", CharacterWidths(kCodePageUtf8, nullptr, 0));
    EXPECT_STREQ(c.path[3].c_str(), "C:\\Drivers\\\xC3\xA9.exe");
}
