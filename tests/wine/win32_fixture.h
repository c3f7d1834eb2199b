#pragma once
#include <gtest/gtest.h>

#include "runtime/Text.h"
#include "runtime/Win32.h"

// A fresh folder beside the test program for each test, removed afterwards.
class Win32Folder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Text Path(const Text& name) const { return folder_ + "\\" + name; }
    Text MakeFile(const Text& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL, const Text& content = "x");
    Text MakeFolder(const Text& name);
    Text ReadFile(const Text& name) const;
    // The folder that holds the test program and the fixture programs.
    static Text ProgramFolder();

    Text folder_;
};
