#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "runtime/files/HeldFile.h"
#include "runtime/platform/UniqueHandle.h"
#include "shell/ModShell.h"
#include "win32_fixture.h"

// The import slot through which the loader's code calls ResumeThread.
extern "C" DWORD(WINAPI* g_resumeThreadImport)(HANDLE) __asm__("__imp__ResumeThread@4");

namespace {

DWORD(WINAPI* g_realResumeThread)(HANDLE);
std::vector<DWORD> g_suspendCountsAtResume;

DWORD WINAPI RecordingResumeThread(HANDLE thread) {
    g_suspendCountsAtResume.push_back(g_realResumeThread(thread));
    return g_suspendCountsAtResume.back();
}

}  // namespace

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

TEST_F(Win32Folder, ShellExecuteAndWaitReturnsOnlyAfterTheProcessHasEnded) {
    Text setup = InstallSetup("setup.exe", 3000);
    unsigned long exitCode = 1;
    long result = ModShell::ShellExecuteAndWait(nullptr, "open", setup, "", "", SW_SHOWNOACTIVATE, exitCode);
    EXPECT_GT(result, 32);
    EXPECT_EQ(exitCode, 0u);
    // The stand-in logs its end just before it exits; the log is complete now.
    Text log = ReadFile("setup.exe.log");
    EXPECT_NE(strstr(log.c_str(), "start "), nullptr) << log.c_str();
    EXPECT_NE(strstr(log.c_str(), "show=4"), nullptr) << log.c_str();
    EXPECT_NE(strstr(log.c_str(), "end "), nullptr) << log.c_str();
}

TEST_F(Win32Folder, ShellExecuteAndWaitForAMissingFileReturnsTheErrorAtOnce) {
    // The shell reports the failure in its own box first; OK dismisses it.
    MessageBoxDismisser user;
    unsigned long exitCode = 0;
    long result =
        ModShell::ShellExecuteAndWait(nullptr, "open", Path("missing.exe"), "", "", SW_SHOWNOACTIVATE, exitCode);
    EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(exitCode, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
}

// The image check must see the new process before it runs its first instruction.
TEST_F(Win32Folder, StartExactLetsTheProcessRunOnlyAfterItsImageWasChecked) {
    Text setup = InstallSetup("setup.exe", 0);
    UniqueFileHandle image = OpenWideSharingOnlyReads(setup);
    DWORD protection = 0;
    ASSERT_TRUE(VirtualProtect(&g_resumeThreadImport, sizeof g_resumeThreadImport, PAGE_READWRITE, &protection));
    g_realResumeThread = g_resumeThreadImport;
    g_resumeThreadImport = RecordingResumeThread;
    unsigned long error = 1;
    UniqueKernelHandle process(ModShell::StartExact(setup, folder_, SW_HIDE, image.Get(), error));
    g_resumeThreadImport = g_realResumeThread;
    ASSERT_TRUE(process.Valid()) << error;
    EXPECT_EQ(g_suspendCountsAtResume, std::vector<DWORD>{1}) << "it ran before its image was checked";
    EXPECT_EQ(ModShell::WaitForExitCode(process.Get(), 1), 0u);
}
