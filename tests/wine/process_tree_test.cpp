#include <gtest/gtest.h>

#include <string.h>

#include "runtime/platform/UniqueHandle.h"
#include "shell/ModShell.h"
#include "shell/ProcessTree.h"
#include "win32_fixture.h"

namespace {

bool Logged(const Text& log, const char* what) { return strstr(log.c_str(), what) != nullptr; }

}  // namespace

// setup.exe ends at once; the work goes on in its child's child, or in a
// child that breaks away. Started exactly as a bound copy starts it.
TEST_F(Win32Folder, AWholeTreeRunEndsWithTheLastProcessOfTheTreeAndTheSetupProgramsCode) {
    const struct {
        const char* setup;  // its .cfg
        bool waitsForWork;
    } rows[] = {{"0 child:kid", true}, {"0 breakaway:kid", false}};
    for (const auto& row : rows) {
        for (const char* name : {"setup.exe", "kid.exe", "grand.exe"}) {
            ::DeleteFileA(Path(Text(name) + ".log").c_str());
            InstallSetup(name, 0);
        }
        MakeFile("setup.exe.cfg", FILE_ATTRIBUTE_NORMAL, row.setup);
        MakeFile("kid.exe.cfg", FILE_ATTRIBUTE_NORMAL, "0 child:grand");
        MakeFile("grand.exe.cfg", FILE_ATTRIBUTE_NORMAL, "3000 9");  // the work, and a code of its own
        UniqueFileHandle image(::CreateFileA(Path("setup.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        SetupTree tree(true);
        unsigned long error = 1;
        UniqueKernelHandle setup(
            ModShell::StartExact(Path("setup.exe"), folder_, SW_SHOWNOACTIVATE, image.Get(), error, &tree));
        ASSERT_TRUE(setup.Valid()) << error;
        EXPECT_EQ(ModShell::WaitForExitCode(setup.Get(), 1), 0u) << row.setup;
        DWORD setupEnded = ::GetTickCount();
        tree.WaitForRest();
        DWORD waited = ::GetTickCount() - setupEnded;
        Text work = ReadFile("grand.exe.log");
        EXPECT_EQ(Logged(work, "end "), row.waitsForWork) << row.setup << ": " << work.c_str();
        EXPECT_EQ(tree.ActiveProcesses(), 0u) << row.setup;
        if (!row.waitsForWork) {
            EXPECT_TRUE(Logged(ReadFile("setup.exe.log"), "breakaway 0")) << "the breakaway was refused";
            EXPECT_LT(waited, 2500u) << "the run waited for a child that broke away";
            for (int i = 0; i < 300 && !Logged(ReadFile("grand.exe.log"), "end "); ++i) ::Sleep(100);
        }
    }
}
