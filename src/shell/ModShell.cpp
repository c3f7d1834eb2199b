#include "ModShell.h"

#include <shellapi.h>

#include "../runtime/Files.h"
#include "../runtime/LazyFunction.h"
#include "ShellResult.h"
#include "hw.h"

namespace {

LazyFunction<decltype(&::ShellExecuteA)> g_shellExecute("shell32.dll", "ShellExecuteA");
LazyFunction<decltype(&::ShellExecuteExA)> g_shellExecuteEx("shell32.dll", "ShellExecuteExA");
LazyFunction<decltype(&::WaitForSingleObject)> g_waitForSingleObject("kernel32.dll", "WaitForSingleObject");
LazyFunction<decltype(&::GetLastError)> g_getLastError("kernel32.dll", "GetLastError");
LazyFunction<decltype(&::MsgWaitForMultipleObjects)> g_msgWait("user32.dll", "MsgWaitForMultipleObjects");
LazyFunction<decltype(&::PeekMessageA)> g_peekMessage("user32.dll", "PeekMessageA");

// Blocks until the process has ended. The thread owns the hidden window, and
// a program that sends a message to every top-level window (installers
// announce setting changes that way) waits for each one to answer: so
// messages sent to this thread are answered meanwhile. Posted messages stay
// queued, and there is no time limit.
void WaitForProcess(HANDLE process) {
    auto msgWait = g_msgWait.Get();
    auto peekMessage = g_peekMessage.Get();
    if (msgWait && peekMessage) {
        for (;;) {
            DWORD woke = msgWait(1, &process, FALSE, INFINITE, QS_SENDMESSAGE);
            if (woke == WAIT_OBJECT_0) return;
            if (woke != WAIT_OBJECT_0 + 1) break;
            MSG message;
            peekMessage(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    if (auto waitForSingleObject = g_waitForSingleObject.GetOrRaise()) waitForSingleObject(process, INFINITE);
}

// ShellExecuteEx, keeping the started process's handle (null when the shell
// started none). result is the shell's success value, or the system error
// code when the launch failed.
HANDLE StartWithProcessHandle(HWND owner, const Text& verb, const Text& file, const Text& parameters,
                              const Text& folder, long show, long& result) {
    auto shellExecuteEx = g_shellExecuteEx.GetOrRaise();
    // Bound before the launch, so binding cannot disturb the error it reads.
    auto getLastError = g_getLastError.GetOrRaise();
    if (!shellExecuteEx || !getLastError) {
        result = ERROR_PROC_NOT_FOUND;
        return nullptr;
    }

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = static_cast<int>(show);

    if (shellExecuteEx(&info)) {
        result = static_cast<long>(reinterpret_cast<intptr_t>(info.hInstApp));
    } else {
        result = static_cast<long>(getLastError());
        // The shell's own error box can leave no system code behind; its
        // error value then says what went wrong.
        if (result == 0) result = static_cast<long>(reinterpret_cast<intptr_t>(info.hInstApp));
    }
    return info.hProcess;
}

}  // namespace

static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the ANSI record has fifteen 32-bit fields");

namespace ModShell {

VBool FileExists(const Text& path) {
    unsigned long attributes = 0;
    if (!Files::Attributes(path, attributes)) return kFalse;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kFalse : kTrue;
}

HANDLE ShellOpen(const Text& path) {
    if (!hw().Load()) return nullptr;  // without an owner nothing is started
    long result;
    return StartWithProcessHandle(hw().hWnd(), "open", path, "", "", SW_SHOWNORMAL, result);
}

VBool ShellExecuteFile(const Text& file, long show, const Text& parameters, const Text& folder, const Text& verb,
                       HWND owner) {
    auto shellExecute = g_shellExecute.GetOrRaise();
    if (!shellExecute) return kFalse;
    // With neither parameters nor a folder, the file is always shown normally.
    int showCommand = (parameters.empty() && folder.empty()) ? SW_SHOWNORMAL : static_cast<int>(show);
    HINSTANCE result = shellExecute(owner, verb.c_str(), file.c_str(), parameters.c_str(), folder.c_str(), showCommand);
    return IsShellExecuteSuccess(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(result))) ? kTrue : kFalse;
}

long ShellExecuteAndWait(HWND owner, const Text& verb, const Text& file, const Text& parameters, const Text& folder,
                         long show) {
    long result;
    // The handle stays open until the loader's own process ends.
    if (HANDLE process = StartWithProcessHandle(owner, verb, file, parameters, folder, show, result))
        WaitForProcess(process);
    return result;
}

}  // namespace ModShell
