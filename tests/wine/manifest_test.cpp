#include <gtest/gtest.h>

#include <string.h>

#include "manifest/ModManifest.h"
#include "runtime/platform/Err.h"
#include "win32_fixture.h"

namespace {

const WORD kManifestType = 24;
const WORD kNeutral = 0;
const WORD kEnglishUs = 0x0409;

// A UTF-8 manifest with a byte order mark, accented letters, a NUL and every
// byte above 0x7F, so any text conversion or truncation shows.
Text AwkwardManifest() {
    Text bytes("\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- Crème brûlée, Ærø, naïve -->\r\n");
    bytes += Text("\0", 1);
    for (int b = 0x80; b <= 0xFF; ++b) {
        char c = static_cast<char>(b);
        bytes += Text(&c, 1);
    }
    return bytes + "\r\n<assembly/>\r\n";
}

Text WholeFile(const Text& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Text();
    DWORD size = GetFileSize(file, nullptr);
    char* buffer = new char[size + 1];
    DWORD read = 0;
    ::ReadFile(file, buffer, size, &read, nullptr);
    CloseHandle(file);
    Text bytes(buffer, read);
    delete[] buffer;
    return bytes;
}

bool AddResource(const Text& exe, WORD type, WORD name, WORD language, const Text& bytes) {
    HANDLE update = BeginUpdateResourceA(exe.c_str(), FALSE);
    if (!update) return false;
    bool ok = UpdateResourceA(update, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(name), language,
                              const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.length()));
    return EndUpdateResourceA(update, !ok) && ok;
}

BOOL CALLBACK CountLanguage(HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

// The resources of an executable, read back as a data file.
class Resources {
public:
    explicit Resources(const Text& exe) : module_(LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~Resources() {
        if (module_) FreeLibrary(module_);
    }
    bool Loaded() const { return module_ != nullptr; }

    // The bytes of one resource; "(missing)" when there is none.
    Text Bytes(WORD type, WORD name, WORD language) const {
        HRSRC found = FindResourceExA(module_, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(name), language);
        if (!found) return "(missing)";
        HGLOBAL data = LoadResource(module_, found);
        return Text(static_cast<const char*>(LockResource(data)), SizeofResource(module_, found));
    }

    // How many language variants one type and name has.
    size_t LanguageCount(WORD type, WORD name) const {
        size_t count = 0;
        EnumResourceLanguagesA(module_, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(name), CountLanguage,
                               reinterpret_cast<LONG_PTR>(&count));
        return count;
    }

private:
    HMODULE module_;
};

}  // namespace

class ManifestEmbedding : public Win32Folder {
protected:
    void SetUp() override {
        Win32Folder::SetUp();
        Err::Clear();
        // A real executable as the loader copy, carrying a manifest of its own
        // and resources that must survive the update.
        copy_ = Path("RUNsetup_new.exe");
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\fakesetup.exe").c_str(), copy_.c_str(), FALSE));
        Text oldManifest = "<old manifest/>";
        while (oldManifest.length() < 4096) oldManifest += "<!-- longer than the new one -->";
        ASSERT_TRUE(AddResource(copy_, kManifestType, 1, kNeutral, oldManifest));
        ASSERT_TRUE(AddResource(copy_, 10 /* RT_RCDATA */, 7, kNeutral, "kept, neutral"));
        ASSERT_TRUE(AddResource(copy_, 10, 8, kEnglishUs, Text("kept\0english", 12)));
        loader_ = Path("RUNsetup.exe");
    }

    Text WriteManifest(const Text& bytes) { return MakeFile("RUNsetup.exe.manifest", FILE_ATTRIBUTE_NORMAL, bytes); }

    Text copy_;
    Text loader_;
};

TEST_F(ManifestEmbedding, EmbedsTheBytesUnchangedReplacingTheOldManifestAndKeepingEveryOtherResource) {
    Text manifest = AwkwardManifest();
    WriteManifest(manifest);

    ASSERT_EQ(ModManifest::EmbedManifest(loader_, copy_), ModManifest::EmbedResult::Embedded)
        << Err::Description().c_str();

    Resources copy(copy_);
    ASSERT_TRUE(copy.Loaded());
    Text embedded = copy.Bytes(kManifestType, 1, kNeutral);
    EXPECT_EQ(embedded.length(), manifest.length());
    EXPECT_EQ(embedded, manifest);
    EXPECT_EQ(copy.LanguageCount(kManifestType, 1), 1u) << "the old manifest stays beside the new one";
    EXPECT_EQ(copy.Bytes(10, 7, kNeutral), Text("kept, neutral"));
    EXPECT_EQ(copy.Bytes(10, 8, kEnglishUs), Text("kept\0english", 12));
    EXPECT_EQ(WholeFile(Path("RUNsetup.exe.manifest")), manifest) << "the manifest file itself is only read";
}

TEST_F(ManifestEmbedding, AnEmptyManifestIsRefusedAndTheCopyKeepsItsManifest) {
    Text before = WholeFile(copy_);
    WriteManifest("");
    EXPECT_EQ(ModManifest::EmbedManifest(loader_, copy_), ModManifest::EmbedResult::Empty);
    EXPECT_EQ(WholeFile(copy_), before);
}

TEST_F(ManifestEmbedding, AMissingManifestIsAReadFailureThatNamesTheManifest) {
    Text before = WholeFile(copy_);
    EXPECT_EQ(ModManifest::EmbedManifest(loader_, copy_), ModManifest::EmbedResult::ReadFailed);
    EXPECT_NE(strstr(Err::Description().c_str(), "RUNsetup.exe.manifest"), nullptr) << Err::Description().c_str();
    EXPECT_EQ(WholeFile(copy_), before);
}

TEST_F(ManifestEmbedding, ACopyThatCannotBeUpdatedIsAFailureThatGivesTheCause) {
    WriteManifest(AwkwardManifest());
    Text notExecutable = MakeFile("notes_new.exe", FILE_ATTRIBUTE_NORMAL, "plain text, no PE header");
    EXPECT_EQ(ModManifest::EmbedManifest(loader_, notExecutable), ModManifest::EmbedResult::UpdateFailed);
    EXPECT_NE(strstr(Err::Description().c_str(), "resource update"), nullptr) << Err::Description().c_str();
    EXPECT_EQ(strstr(Err::Description().c_str(), "(error 0)"), nullptr) << Err::Description().c_str();
    EXPECT_EQ(WholeFile(notExecutable), Text("plain text, no PE header"));

    Err::Clear();
    EXPECT_EQ(ModManifest::EmbedManifest(loader_, Path("missing_new.exe")), ModManifest::EmbedResult::UpdateFailed);
    EXPECT_NE(strstr(Err::Description().c_str(), "(error 2)"), nullptr) << Err::Description().c_str();
    EXPECT_EQ(GetFileAttributesA(Path("missing_new.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ManifestEmbedding, ACopyHeldOpenElsewhereIsAnUpdateFailureNotASilentSuccess) {
    WriteManifest(AwkwardManifest());
    // Shared for reading and writing, so a copy over it succeeds, but the
    // resource update needs the file to itself.
    HANDLE held = CreateFileA(copy_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ModManifest::EmbedResult result = ModManifest::EmbedManifest(loader_, copy_);
    CloseHandle(held);
    EXPECT_EQ(result, ModManifest::EmbedResult::UpdateFailed);
    EXPECT_NE(strstr(Err::Description().c_str(), "(error 32)"), nullptr) << Err::Description().c_str();
    Resources copy(copy_);
    EXPECT_NE(copy.Bytes(kManifestType, 1, kNeutral), AwkwardManifest());
}
