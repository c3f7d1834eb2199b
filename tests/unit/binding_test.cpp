#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "binding/Binding.h"
#include "binding/ElevationRequest.h"
#include "binding/StartChoice.h"
#include "runtime/files/Sha256.h"

namespace {

// ASCII text as UTF-16 of one byte order, with or without its mark.
std::string Utf16(const std::string& ascii, bool little, bool mark) {
    std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
    for (char c : ascii) out += little ? std::string{c, '\0'} : std::string{'\0', c};
    return out;
}

bool Asks(const std::string& bytes) { return AsksForElevation(Text(bytes.data(), bytes.size())); }

std::string Sha(const std::string& bytes, size_t piece, Sha256::Engine engine) {
    Sha256 hash(engine);
    for (size_t at = 0; at < bytes.size(); at += piece)
        hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
    unsigned char digest[Sha256::kDigestBytes];
    hash.Finish(digest);
    return HexDigits(digest, sizeof digest).c_str();
}

}  // namespace

TEST(Binding, ManifestBytesAskForElevationOrNot) {
    const std::string admin = "<trustInfo><requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>";
    const struct {
        std::string bytes;
        bool asks;
    } rows[] = {
        {admin, true},
        {"\xEF\xBB\xBF<r><requestedExecutionLevel\r\n  level = 'highestAvailable'/>", true},
        {"<ms_asmv2:requestedExecutionLevel uiAccess='false' level='requireAdministrator'>", true},
        {Utf16(admin, true, true), true},
        {Utf16(admin, false, true), true},
        {Utf16(admin, true, false), true},
        {Utf16(admin, false, false), true},
        {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>", false},
        {Utf16("<requestedExecutionLevel level='asInvoker'/>", true, true), false},
        {"<!-- <requestedExecutionLevel level=\"requireAdministrator\"/> --><assembly/>", false},
        {"<!-- a > b, <requestedExecutionLevel level='requireAdministrator'/> -->", false},
        {"<!-- x --><requestedExecutionLevel level='requireAdministrator'/>", true},
        {"<requestedExecutionLevelX level=\"requireAdministrator\"/>", false},
        {"<requestedExecutionLevel xlevel=\"requireAdministrator\"/>", false},
        {"<requestedExecutionLevel/><x level=\"requireAdministrator\"/>", false},
        {"<assembly manifestVersion=\"1.0\"/>", false},
        {"", false},
    };
    for (const auto& row : rows) EXPECT_EQ(Asks(row.bytes), row.asks) << row.bytes;
}

class Sha256Engine : public testing::TestWithParam<Sha256::Engine> {};

TEST_P(Sha256Engine, GivesThePublishedVectorsFedInAnyPieces) {
    if (!Sha256::Available(GetParam())) GTEST_SKIP() << "this processor reports no SHA instructions";
    const std::string abc56 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (size_t piece : {1, 63, 64, 1000, 1000000}) {
        EXPECT_EQ(Sha("", piece, GetParam()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(Sha("abc", piece, GetParam()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(Sha(abc56, piece, GetParam()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        EXPECT_EQ(Sha(std::string(1000000, 'a'), piece, GetParam()),
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    }
}

INSTANTIATE_TEST_SUITE_P(Binding, Sha256Engine,
                         testing::Values(Sha256::Engine::Portable, Sha256::Engine::ShaInstructions),
                         [](const auto& row) {
                             return row.param == Sha256::Engine::Portable ? "Portable" : "ShaInstructions";
                         });

TEST(Binding, RecordRoundTripsAndMatchesOnlyItsFileInAnyLetterCase) {
    Binding bound{"Setup.exe", Text(std::string(64, 'a').c_str())};
    Binding read;
    ASSERT_TRUE(DecodeBinding(EncodeBinding(bound), read));
    EXPECT_TRUE(MatchesBinding(read, "SETUP.EXE", bound.sha256));
    EXPECT_FALSE(MatchesBinding(read, "other.exe", bound.sha256));
    EXPECT_FALSE(MatchesBinding(read, "setup.exe", Text(std::string(63, 'a').c_str()) + "b"));
    Text record = EncodeBinding(bound);
    for (const Text& broken : {record.Left(record.length() - 1), record.Mid(1), Text("")})
        EXPECT_FALSE(DecodeBinding(broken, read)) << broken.c_str();
    Text name;
    ASSERT_TRUE(TargetFileName("PRJRUNsetup", name));
    EXPECT_STREQ(name.c_str(), "setup.exe");
    EXPECT_FALSE(TargetFileName("XYZsetup", name));
}

TEST(StartChoice, ABoundCopyStartsExactlyWhereTheSystemTellsFinalPathsAndNeverFallsBack) {
    struct Row {
        bool bound, known;
        unsigned long finalPathError;
        StartWay way;
        unsigned long code;
    } rows[] = {
        {false, true, 0, StartWay::Shell, 0},     {false, false, 5, StartWay::Shell, 0},
        {false, false, 0, StartWay::Shell, 0},    {true, true, 0, StartWay::Exact, 0},
        {true, false, 50, StartWay::Refused, 50}, {true, false, 0, StartWay::Shell, 0},  // Windows XP
    };
    for (const Row& row : rows) {
        StartChoice choice = ChooseStart(row.bound, row.known, row.finalPathError);
        EXPECT_EQ(choice.way, row.way) << row.bound << row.known << row.finalPathError;
        if (row.way == StartWay::Refused) EXPECT_EQ(choice.exitCode, row.code);
    }
    EXPECT_EQ(ChooseRelaunch(true, true, 0).way, StartWay::Exact) << "bound or not, by the held file's final path";
    EXPECT_EQ(ChooseRelaunch(false, true, 0).exitCode, 577u) << "the held file is not the running image";
    EXPECT_EQ(ChooseRelaunch(true, false, 5).exitCode, 5u);
    EXPECT_EQ(ChooseRelaunch(false, false, 0).way, StartWay::Shell) << "Windows XP";
    auto ownEnd = [](bool bound, bool runsHeld, bool known, unsigned long pathError, unsigned long folderError,
                     bool folderKnown = false) {
        return OwnFileEnd({bound, runsHeld, known, pathError, folderError, folderKnown});
    };
    EXPECT_EQ(ownEnd(false, false, false, 5, 5), 0u) << "an unbound loader checks nothing";
    EXPECT_EQ(ownEnd(true, true, true, 0, 0), 0u);
    EXPECT_EQ(ownEnd(true, false, true, 0, 0), 577u) << "it holds another file than the one it runs from";
    EXPECT_EQ(ownEnd(true, true, false, 6, 0), 6u) << "its final path is unknown";
    EXPECT_EQ(ownEnd(true, true, true, 0, 32), 32u) << "its folder could be renamed under it";
    EXPECT_EQ(ownEnd(true, true, true, 0, 32, true), 0u) << "another holds the folder: the image check confirms";
    EXPECT_EQ(ownEnd(true, true, false, 0, 0), 0u) << "Windows XP: no final paths, and nothing to hold by them";
    Binding read;
    EXPECT_EQ(ClassifyBindingRecord(false, "", read), OwnBinding::None);
    EXPECT_EQ(ClassifyBindingRecord(true, kUnboundRecord, read), OwnBinding::None);
    EXPECT_EQ(ClassifyBindingRecord(true, EncodeBinding({"setup.exe", Text(std::string(64, 'a').c_str())}), read),
              OwnBinding::Bound);
    EXPECT_EQ(ClassifyBindingRecord(true, "SetupLoaderBinding 2\r\n", read), OwnBinding::Unreadable)
        << "a record it cannot read binds it to nothing, never to no binding";
    EXPECT_EQ(ExactStartEnd(false, 740, 0), 740u) << "asks for rights the runner lacks";
    EXPECT_EQ(ExactStartEnd(false, 0, 0), 31u) << "never 0 for a failure";
    EXPECT_EQ(ExactStartEnd(true, 0, 3010), 3010u);
}
