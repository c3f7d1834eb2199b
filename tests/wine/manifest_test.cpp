#include <gtest/gtest.h>

#include <string.h>

#include "binding/Binding.h"
#include "manifest/ModManifest.h"
#include "runtime/files/FileHash.h"
#include "runtime/files/HeldFile.h"
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

BOOL CALLBACK CountLanguage(HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

// The resources of an executable, found as the system finds them in an image
// it has mapped and relocated (the test program already holds the address
// the copy asks for).
class Resources {
public:
    explicit Resources(const Text& exe) : module_(LoadLibraryExA(exe.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES)) {}
    ~Resources() {
        if (module_) FreeLibrary(module_);
    }
    bool Loaded() const { return module_ != nullptr; }

    // The bytes of one resource; "(missing)" when there is none.
    Text Bytes(LPCSTR type, WORD name, WORD language) const {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(name), language);
        if (!found) return "(missing)";
        HGLOBAL data = LoadResource(module_, found);
        return Text(static_cast<const char*>(LockResource(data)), SizeofResource(module_, found));
    }
    Text Bytes(WORD type, WORD name, WORD language) const { return Bytes(MAKEINTRESOURCEA(type), name, language); }

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

bool Exists(const Text& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

class ManifestEmbedding : public Win32Folder {
protected:
    void SetUp() override {
        Win32Folder::SetUp();
        Err::Clear();
        files_ = ManifestFilesFor(folder_, "RUNsetup");
        ASSERT_TRUE(CopyFileA(kBuiltLoader.c_str(), files_.loader.c_str(), FALSE));
    }
    // The held folder and loader would keep the clean-up from removing them.
    void TearDown() override {
        folder_handle_.Reset();
        loader_.Reset();
        Win32Folder::TearDown();
    }

    // The test's folder and loader, held as the mode holds its own.
    const ModManifest::CopyPlace& Place() {
        folder_handle_ =
            UniqueFileHandle(CreateFileA(folder_.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        loader_ = OpenSharingOnlyReads(files_.loader);
        unsigned long error = 0;
        FinalPathOf(folder_handle_.Get(), place_.folderPath, error);
        place_.folder = folder_handle_.Get();
        place_.loader = loader_.Get();
        place_.manifestName = "RUNsetup.exe.manifest";
        place_.copyName = "RUNsetup_new.exe";
        place_.partialName = "RUNsetup_new.exe.tmp";
        return place_;
    }

    const Text kBuiltLoader = ProgramFolder() + "\\prjLomdra.exe";
    ManifestFiles files_;
    UniqueFileHandle folder_handle_, loader_;
    ModManifest::CopyPlace place_;
};

TEST_F(ManifestEmbedding, TheCopyLoadsWithTheManifestUnchangedItsRecordAndEveryOtherResource) {
    // Too large for the room the built loader leaves before its relocations.
    Text manifest = AwkwardManifest(), record = "SetupLoaderBinding test\r\n";
    while (manifest.length() < 4096) manifest += "<!-- longer than the old one -->";
    // A planted hard link under the name of the copy in the making leads to a file that stays as it is.
    Text outside = MakeFile("outside.txt", FILE_ATTRIBUTE_NORMAL, "not the loader's");
    ASSERT_TRUE(CreateHardLinkA(files_.partial.c_str(), outside.c_str(), nullptr));

    ASSERT_TRUE(ModManifest::WriteCopy(files_, Place(), manifest, record)) << Err::Description().c_str();

    Resources copy(files_.copy), loader(kBuiltLoader);
    ASSERT_TRUE(copy.Loaded());
    EXPECT_EQ(copy.Bytes(kManifestType, 1, kNeutral), manifest);
    EXPECT_EQ(copy.LanguageCount(kManifestType, 1), 1u) << "the old manifest stays beside the new one";
    EXPECT_EQ(copy.Bytes(kBindingResourceType, kBindingResourceName, kNeutral), record);
    for (WORD icon = 30001; icon <= 30006; ++icon)
        EXPECT_EQ(copy.Bytes(3, icon, kNeutral), loader.Bytes(3, icon, kNeutral));
    EXPECT_EQ(copy.Bytes(14, 1, kNeutral), loader.Bytes(14, 1, kNeutral));
    EXPECT_EQ(copy.Bytes(16, 1, kEnglishUs), loader.Bytes(16, 1, kEnglishUs));
    EXPECT_NE(loader.Bytes(16, 1, kEnglishUs), Text("(missing)"));
    EXPECT_EQ(ReadFile("outside.txt"), Text("not the loader's"));
    EXPECT_FALSE(Exists(files_.partial));
}

TEST_F(ManifestEmbedding, ALoaderItCannotRewriteIsAFailureThatWritesNothing) {
    Text notExecutable = MakeFile("RUNsetup.exe", FILE_ATTRIBUTE_NORMAL, "plain text, no PE header");
    EXPECT_FALSE(ModManifest::WriteCopy(files_, Place(), AwkwardManifest(), ""));
    EXPECT_NE(strstr(Err::Description().c_str(), "could not be rewritten"), nullptr) << Err::Description().c_str();
    EXPECT_FALSE(Exists(files_.copy) || Exists(files_.partial));
}

TEST_F(ManifestEmbedding, AnEarlierCopyHeldOpenStaysAndTheCopyInTheMakingGoes) {
    MakeFile("RUNsetup_new.exe", FILE_ATTRIBUTE_NORMAL, "earlier");
    HANDLE held = CreateFileA(files_.copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    bool written = ModManifest::WriteCopy(files_, Place(), AwkwardManifest(), "");
    CloseHandle(held);
    EXPECT_FALSE(written);
    EXPECT_NE(strstr(Err::Description().c_str(), "(error 5)"), nullptr) << Err::Description().c_str();
    EXPECT_EQ(ReadFile("RUNsetup_new.exe"), Text("earlier"));
    EXPECT_FALSE(Exists(files_.partial));
}
