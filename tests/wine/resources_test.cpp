#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/platform/LazyFunction.h"
#include "win32_fixture.h"

// The platform reads the built loader's icon and version information; the
// loader is copied beside this test program.
class LoaderFile : public Win32Folder {
protected:
    static Text LoaderPath() { return ProgramFolder() + "\\prjLomdra.exe"; }
};

namespace {

struct IconSize {
    LONG width = 0, height = 0;
};

IconSize SizeOf(HICON icon) {
    IconSize size;
    ICONINFO info;
    if (!icon || !GetIconInfo(icon, &info)) return size;
    BITMAP colour;
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof colour, &colour)) size = {colour.bmWidth, colour.bmHeight};
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

using GetSizeFn = decltype(&::GetFileVersionInfoSizeA);
using GetInfoFn = decltype(&::GetFileVersionInfoA);
using QueryFn = decltype(&::VerQueryValueA);

}  // namespace

TEST_F(LoaderFile, IconGroupOneGivesEachSizeFromItsOwnImages) {
    HMODULE loader = LoadLibraryExA(LoaderPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(loader, nullptr) << GetLastError();

    HICON standard = LoadIconA(loader, MAKEINTRESOURCEA(1));
    EXPECT_NE(standard, nullptr);
    HICON large = static_cast<HICON>(LoadImageA(loader, MAKEINTRESOURCEA(1), IMAGE_ICON, 48, 48, 0));
    IconSize largeSize = SizeOf(large);
    EXPECT_EQ(largeSize.width, 48);
    EXPECT_EQ(largeSize.height, 48);

    HRSRC groupInfo = FindResourceA(loader, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));
    ASSERT_NE(groupInfo, nullptr);
    auto group = static_cast<PBYTE>(LockResource(LoadResource(loader, groupInfo)));
    ASSERT_NE(group, nullptr);
    // Each size is served by the 8-bit or the 32-bit image of that size.
    const struct {
        int size, paletteId, trueColourId;
    } sizes[] = {{48, 30001, 30004}, {32, 30002, 30005}, {16, 30003, 30006}};
    for (const auto& s : sizes) {
        int id = LookupIconIdFromDirectoryEx(group, TRUE, s.size, s.size, LR_DEFAULTCOLOR);
        EXPECT_TRUE(id == s.paletteId || id == s.trueColourId) << s.size << " px: image " << id;
        HRSRC imageInfo = FindResourceA(loader, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
        ASSERT_NE(imageInfo, nullptr) << id;
        auto image = static_cast<PBYTE>(LockResource(LoadResource(loader, imageInfo)));
        HICON icon =
            CreateIconFromResourceEx(image, SizeofResource(loader, imageInfo), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
        EXPECT_EQ(SizeOf(icon).width, s.size) << id;
        if (icon) DestroyIcon(icon);
    }
    if (large) DestroyIcon(large);
    FreeLibrary(loader);
}

TEST_F(LoaderFile, VersionInformationReports1_00_0061ForEnglishUnicode) {
    LazyFunction<GetSizeFn> getSize("version.dll", "GetFileVersionInfoSizeA");
    LazyFunction<GetInfoFn> getInfo("version.dll", "GetFileVersionInfoA");
    LazyFunction<QueryFn> query("version.dll", "VerQueryValueA");
    ASSERT_TRUE(getSize.Get() && getInfo.Get() && query.Get());

    DWORD ignored = 0;
    DWORD size = getSize.Get()(LoaderPath().c_str(), &ignored);
    ASSERT_GT(size, 0u) << GetLastError();
    std::vector<char> block(size);
    ASSERT_TRUE(getInfo.Get()(LoaderPath().c_str(), 0, size, block.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query.Get()(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 61u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 61u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    ASSERT_TRUE(query.Get()(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04B0);

    auto text = [&](const char* key) {
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
        char* found = nullptr;
        UINT chars = 0;
        if (!query.Get()(block.data(), path.c_str(), reinterpret_cast<void**>(&found), &chars) || !found)
            return std::string("(missing)");
        return std::string(found);
    };
    EXPECT_EQ(text("FileVersion"), "1.00.0061");
    EXPECT_EQ(text("ProductVersion"), "1.00.0061");
    EXPECT_EQ(text("ProductName"), "Quarnel Setup Loader");
    EXPECT_EQ(text("FileDescription"), "Setup Loader application");
    EXPECT_EQ(text("OriginalFilename"), "prjLomdra.exe");
}
