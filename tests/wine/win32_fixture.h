#pragma once
#include <gtest/gtest.h>

#include "runtime/platform/Win32.h"
#include "runtime/text/Text.h"

// A fresh folder beside the test program for each test, removed afterwards.
class Win32Folder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Text Path(const Text& name) const { return folder_ + "\\" + name; }
    Text MakeFile(const Text& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL, const Text& content = "x");
    Text MakeFolder(const Text& name);
    Text ReadFile(const Text& name) const;
    // Copies the stand-in setup program here as name; it runs for runMs and
    // logs its start (with its show command) and end in name + ".log".
    Text InstallSetup(const Text& name, unsigned runMs);
    // The folder that holds the test program and the fixture programs.
    static Text ProgramFolder();

    Text folder_;
};

// While alive, presses OK on every message box this process shows, as a user
// would, and counts them: the shell reports a failed launch in one.
class MessageBoxDismisser {
public:
    MessageBoxDismisser();
    ~MessageBoxDismisser();
    MessageBoxDismisser(const MessageBoxDismisser&) = delete;
    MessageBoxDismisser& operator=(const MessageBoxDismisser&) = delete;
    long Dismissed() const { return dismissed_; }

private:
    static DWORD WINAPI Watch(void* self);
    HANDLE thread_;
    volatile LONG stop_ = 0;
    volatile LONG dismissed_ = 0;
};
