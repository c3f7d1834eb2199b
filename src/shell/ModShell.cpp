#include "ModShell.h"

#include <objbase.h>
#include <shellapi.h>
#include <wchar.h>
#include <wctype.h>

#include "../runtime/files/Files.h"
#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/WideText.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/process/Kernel.h"
#include "../runtime/process/ProcessImage.h"
#include "ProcessTree.h"
#include "hw.h"

namespace {

LazyFunction<decltype(&::ShellExecuteExA)> g_shellExecuteEx("shell32.dll", "ShellExecuteExA");
LazyFunction<decltype(&::ShellExecuteExW)> g_shellExecuteExW("shell32.dll", "ShellExecuteExW");
LazyFunction<decltype(&::WaitForSingleObject)> g_waitForSingleObject("kernel32.dll", "WaitForSingleObject");
LazyFunction<decltype(&::GetLastError)> g_getLastError("kernel32.dll", "GetLastError");
LazyFunction<decltype(&::MsgWaitForMultipleObjects)> g_msgWait("user32.dll", "MsgWaitForMultipleObjects");
LazyFunction<decltype(&::PeekMessageA)> g_peekMessage("user32.dll", "PeekMessageA");
LazyFunction<decltype(&::GetExitCodeProcess)> g_exitCodeProcess("kernel32.dll", "GetExitCodeProcess");
LazyFunction<decltype(&::CoInitializeEx)> g_coInitializeEx("ole32.dll", "CoInitializeEx");

// The shell may hand a start to COM components, which want the calling
// thread in a single-threaded apartment without OLE1 DDE. Once, before the
// first start; where it fails the shell copes as it would have anyway.
void InitialiseComOnce() {
    static bool tried = false;
    if (tried) return;
    tried = true;
    if (auto coInitializeEx = g_coInitializeEx.Get())
        coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

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

// What one start through ShellExecuteEx gave.
struct ShellStart {
    bool started = false;
    long result = 0;           // the shell's success value, or the system error code
    HANDLE process = nullptr;  // null when the shell started none
};

// ShellExecuteEx, keeping the started process's handle. Where nobody can see
// the screen the shell shows no error box either: nobody could answer it.
ShellStart StartWithProcessHandle(HWND owner, const Text& verb, const Text& file, const Text& parameters,
                                  const Text& folder, long show, ULONG mask) {
    ShellStart start;
    auto shellExecuteEx = g_shellExecuteEx.GetOrRaise();
    // Bound before the launch, so binding cannot disturb the error it reads.
    auto getLastError = g_getLastError.GetOrRaise();
    if (!shellExecuteEx || !getLastError) {
        start.result = ERROR_PROC_NOT_FOUND;
        return start;
    }
    InitialiseComOnce();

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | mask | (Kernel::WindowStationVisible() ? 0 : SEE_MASK_FLAG_NO_UI);
    info.hwnd = owner;
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = static_cast<int>(show);

    start.started = shellExecuteEx(&info) != FALSE;
    if (start.started) {
        start.result = static_cast<long>(reinterpret_cast<intptr_t>(info.hInstApp));
    } else {
        DWORD error = getLastError();
        // The shell's own error box can leave no system code behind; its
        // error value then says what went wrong, and where it too is 0 the
        // start still failed: 0 would read as success.
        if (error == 0) error = static_cast<DWORD>(reinterpret_cast<uintptr_t>(info.hInstApp));
        start.result = static_cast<long>(ExitCode::OfFailure(error));
    }
    start.process = info.hProcess;
    return start;
}

// The process's own environment block less __COMPAT_LAYER, which would run
// the setup program under compatibility shims of the caller's choosing; on
// the heap, for the caller to free. Null when it cannot be made.
wchar_t* EnvironmentWithoutCompatLayer() {
    static const wchar_t kName[] = L"__COMPAT_LAYER=";
    wchar_t* own = ::GetEnvironmentStringsW();
    if (!own) return nullptr;
    size_t total = 0;
    while (own[total]) total += wcslen(own + total) + 1;
    auto* copy = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, (total + 2) * sizeof(wchar_t)));
    size_t used = 0;
    for (size_t at = 0; copy && own[at]; at += wcslen(own + at) + 1) {
        size_t length = wcslen(own + at) + 1;
        bool named = true;  // names compare without regard to case
        for (size_t i = 0; named && kName[i]; ++i) named = towupper(own[at + i]) == kName[i];
        if (named) continue;
        wmemcpy(copy + used, own + at, length);
        used += length;
    }
    if (copy) {
        copy[used] = L'\0';
        copy[used + 1] = L'\0';  // an empty block still ends in two
    }
    ::FreeEnvironmentStringsW(own);
    return copy;
}

}  // namespace

static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the ANSI record has fifteen 32-bit fields");

namespace ModShell {

VBool FileExists(const Text& path) {
    unsigned long attributes = 0;
    if (!Files::Attributes(path, attributes)) return kFalse;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kFalse : kTrue;
}

HANDLE ShellOpen(const Text& path, unsigned long& error) {
    // Without an owner nothing is started.
    auto shellExecuteEx = g_shellExecuteExW.GetOrRaise();
    if (!hw().Load() || !shellExecuteEx) {
        error = ExitCode::OfFailure(Err::Number());
        return nullptr;
    }
    InitialiseComOnce();
    WideText file(path);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // The user has just let this very file run: a second zone check could
    // only ask them again.
    info.fMask =
        SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOZONECHECKS | (Kernel::WindowStationVisible() ? 0 : SEE_MASK_FLAG_NO_UI);
    info.hwnd = hw().hWnd();
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    error = shellExecuteEx(&info) ? 0 : ExitCode::OfFailure(::GetLastError());
    return error ? nullptr : info.hProcess;
}

long ShellExecuteAndWait(HWND owner, const Text& verb, const Text& file, const Text& parameters, const Text& folder,
                         long show, unsigned long& exitCode, UniqueFileHandle* heldUntilEnded) {
    ShellStart start = StartWithProcessHandle(owner, verb, file, parameters, folder, show, 0);
    exitCode = start.started ? 0 : static_cast<unsigned long>(start.result);
    // The handle stays open until the loader's own process ends.
    if (start.process) exitCode = WaitForExitCode(start.process, exitCode);
    if (heldUntilEnded) heldUntilEnded->Reset();
    return start.result;
}

HANDLE StartExact(const Text& path, const Text& folder, long show, HANDLE image, unsigned long& error,
                  SetupTree* tree) {
    WideText application(path), commandLine("\"" + path + "\""), directory(folder);
    wchar_t* environment = folder.empty() ? nullptr : EnvironmentWithoutCompatLayer();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process = {};
    BOOL started = ::CreateProcessW(application.c_str(), commandLine.c_str(), nullptr, nullptr, FALSE,
                                    CREATE_SUSPENDED | (environment ? CREATE_UNICODE_ENVIRONMENT : 0), environment,
                                    folder.empty() ? nullptr : directory.c_str(), &startup, &process);
    error = started ? 0 : ExitCode::OfFailure(::GetLastError());
    if (environment) ::HeapFree(::GetProcessHeap(), 0, environment);
    if (!started) return nullptr;
    UniqueKernelHandle thread(process.hThread);
    if (!ProcessImageIs(process.hProcess, image)) {
        ::TerminateProcess(process.hProcess, ExitCode::kBadImageHash);
        ::CloseHandle(process.hProcess);
        error = ExitCode::kBadImageHash;
        return nullptr;
    }
    if (tree) tree->Join(process.hProcess, false);
    ::ResumeThread(thread.Get());
    return process.hProcess;
}

unsigned long WaitForExitCode(HANDLE process, unsigned long fallback) {
    WaitForProcess(process);
    DWORD code = 0;
    auto exitCodeProcess = g_exitCodeProcess.GetOrRaise();
    return exitCodeProcess && exitCodeProcess(process, &code) ? code : fallback;
}

}  // namespace ModShell
