#include <gtest/gtest.h>

#include "runtime/platform/Err.h"
#include "runtime/platform/LazyFunction.h"
#include "win32_fixture.h"

TEST(LazyFunction, BindsAnExistingFunctionOnceAndReportsAMissingOneOnlyWhenCalled) {
    LazyFunction<decltype(&::GetTickCount)> present("kernel32.dll", "GetTickCount");
    ASSERT_NE(present.Get(), nullptr);
    EXPECT_EQ(present.Get(), present.Get());

    LazyFunction<BOOL(WINAPI*)(HWND)> absent("user32.dll", "NoSuchFunctionAnywhere");
    Err::Clear();
    EXPECT_EQ(absent.GetOrRaise(), nullptr);
    EXPECT_EQ(Err::Number(), kErrFunctionMissing);
    EXPECT_NE(strstr(Err::Description().c_str(), "NoSuchFunctionAnywhere"), nullptr);

    LazyFunction<BOOL(WINAPI*)()> noLibrary("nosuchlibrary.dll", "Anything");
    EXPECT_EQ(noLibrary.Get(), nullptr);
}

// A DLL planted beside the program under a system DLL's name is never the one
// loaded: the planted copy records any load in <its path>.loaded.
TEST_F(Win32Folder, SystemLibrariesComeFromTheSystemFolderNotFromBesideTheProgram) {
    Text planted = ProgramFolder() + "\\dwmapi.dll";
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\planted.dll").c_str(), planted.c_str(), FALSE));
    DeleteFileA((planted + ".loaded").c_str());

    HMODULE module = LoadSystemLibrary("dwmapi.dll");
    char system[MAX_PATH], loaded[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    if (module) {
        GetModuleFileNameA(module, loaded, MAX_PATH);
        EXPECT_EQ(_strnicmp(loaded, system, strlen(system)), 0) << loaded;
    }
    EXPECT_EQ(GetFileAttributesA((planted + ".loaded").c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(planted.c_str());
}

// The same planting does take effect for a plain load by name, so the check
// above can see a planted DLL when one is loaded.
TEST_F(Win32Folder, APlainLoadByNamePicksUpAPlantedDll) {
    Text planted = ProgramFolder() + "\\msimg32.dll";
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\planted.dll").c_str(), planted.c_str(), FALSE));
    DeleteFileA((planted + ".loaded").c_str());
    HMODULE module = LoadLibraryA("msimg32.dll");
    EXPECT_NE(GetFileAttributesA((planted + ".loaded").c_str()), INVALID_FILE_ATTRIBUTES);
    if (module) FreeLibrary(module);
    DeleteFileA((planted + ".loaded").c_str());
}
