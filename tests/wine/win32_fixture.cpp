#include "win32_fixture.h"

#include <stdio.h>

Text Win32Folder::ProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\') --length;
    return Text(path, length ? length - 1 : 0);
}

void Win32Folder::SetUp() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // Two tests can start within one tick: the sequence keeps their folders apart.
    static unsigned long sequence = 0;
    char name[64];
    snprintf(name, sizeof name, "loader-test-%lu-%lu-%lu", GetCurrentProcessId(), GetTickCount(), ++sequence);
    folder_ = Text(temp) + name;
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
}

static void RemoveTree(const Text& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            Text name(found.cFileName);
            if (name == Text(".") || name == Text("..")) continue;
            Text path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

void Win32Folder::TearDown() { RemoveTree(folder_); }

Text Win32Folder::MakeFile(const Text& name, DWORD attributes, const Text& content) {
    Text path = Path(name);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path.c_str();
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.length()), &written, nullptr);
    CloseHandle(file);
    SetFileAttributesA(path.c_str(), attributes);
    return path;
}

Text Win32Folder::MakeFolder(const Text& name) {
    Text path = Path(name);
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path.c_str();
    return path;
}

Text Win32Folder::ReadFile(const Text& name) const {
    Text path = Path(name);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Text();
    char buffer[65536];
    DWORD read = 0;
    ::ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(file);
    return Text(buffer, read);
}

Text Win32Folder::InstallSetup(const Text& name, unsigned runMs) {
    Text path = Path(name);
    EXPECT_TRUE(CopyFileA((ProgramFolder() + "\\fakesetup.exe").c_str(), path.c_str(), FALSE)) << path.c_str();
    char ms[16];
    snprintf(ms, sizeof ms, "%u", runMs);
    MakeFile(name + ".cfg", FILE_ATTRIBUTE_NORMAL, ms);
    return path;
}

MessageBoxDismisser::MessageBoxDismisser() { thread_ = CreateThread(nullptr, 0, &Watch, this, 0, nullptr); }

MessageBoxDismisser::~MessageBoxDismisser() {
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
}

DWORD WINAPI MessageBoxDismisser::Watch(void* self) {
    auto* watcher = static_cast<MessageBoxDismisser*>(self);
    while (!watcher->stop_) {
        HWND box = nullptr;
        while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner != GetCurrentProcessId() || !IsWindowVisible(box)) continue;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            InterlockedIncrement(&watcher->dismissed_);
            Sleep(500);  // let it close before looking again
        }
        Sleep(100);
    }
    return 0;
}
