#include "Kernel.h"

#include "../platform/LazyFunction.h"
#include "Visibility.h"

namespace {

LazyFunction<decltype(&::Sleep)> g_sleep("kernel32.dll", "Sleep");
LazyFunction<decltype(&::ReleaseCapture)> g_releaseCapture("user32.dll", "ReleaseCapture");
LazyFunction<decltype(&::SendMessageA)> g_sendMessage("user32.dll", "SendMessageA");
LazyFunction<decltype(&::GetProcessWindowStation)> g_processWindowStation("user32.dll", "GetProcessWindowStation");
LazyFunction<decltype(&::GetUserObjectInformationA)> g_userObjectInformation("user32.dll", "GetUserObjectInformationA");
LazyFunction<BOOL(WINAPI*)(DWORD, DWORD*)> g_processIdToSessionId("kernel32.dll", "ProcessIdToSessionId");
LazyFunction<BOOL(WINAPI*)(OSVERSIONINFOA*)> g_versionEx("kernel32.dll", "GetVersionExA");
LazyFunction<DWORD(WINAPI*)(HANDLE)> g_processId("kernel32.dll", "GetProcessId");
LazyFunction<BOOL(WINAPI*)(DWORD)> g_allowSetForeground("user32.dll", "AllowSetForegroundWindow");
LazyFunction<decltype(&::MsgWaitForMultipleObjects)> g_msgWait("user32.dll", "MsgWaitForMultipleObjects");
LazyFunction<decltype(&::PeekMessageA)> g_peekMessage("user32.dll", "PeekMessageA");
LazyFunction<decltype(&::DispatchMessageA)> g_dispatchMessage("user32.dll", "DispatchMessageA");

}  // namespace

namespace Kernel {

bool Sleep(DWORD milliseconds) {
    auto fn = g_sleep.GetOrRaise();
    if (fn) fn(milliseconds);
    return fn != nullptr;
}

bool ReleaseCapture() {
    auto fn = g_releaseCapture.GetOrRaise();
    if (fn) fn();
    return fn != nullptr;
}

bool SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto fn = g_sendMessage.GetOrRaise();
    if (!fn) return false;
    LRESULT value = fn(window, message, wParam, lParam);
    if (result) *result = value;
    return true;
}

bool WindowStationVisible() {
    StationFacts facts;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    auto versionEx = g_versionEx.Get();
    if (versionEx && versionEx(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT)
        facts.ntMajorVersion = version.dwMajorVersion;
    auto processIdToSessionId = g_processIdToSessionId.Get();
    DWORD session = 0;
    facts.sessionKnown = processIdToSessionId && processIdToSessionId(::GetCurrentProcessId(), &session);
    facts.sessionId = session;
    auto processWindowStation = g_processWindowStation.Get();
    auto userObjectInformation = g_userObjectInformation.Get();
    HWINSTA station = processWindowStation ? processWindowStation() : nullptr;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    facts.flagsKnown =
        station && userObjectInformation && userObjectInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed);
    facts.stationVisible = (flags.dwFlags & WSF_VISIBLE) != 0;
    return SomebodyCanSee(facts);
}

void AllowForeground(HANDLE process) {
    auto processId = g_processId.Get();
    auto allowSetForeground = g_allowSetForeground.Get();
    DWORD id = processId && process ? processId(process) : 0;
    if (id && allowSetForeground) allowSetForeground(id);
}

bool WaitDispatching(HANDLE object, DWORD milliseconds) {
    auto msgWait = g_msgWait.Get();
    auto peekMessage = g_peekMessage.Get();
    auto dispatchMessage = g_dispatchMessage.Get();
    if (!msgWait || !peekMessage || !dispatchMessage)
        return ::WaitForSingleObject(object, milliseconds) == WAIT_OBJECT_0;
    DWORD start = ::GetTickCount();
    for (;;) {
        DWORD spent = ::GetTickCount() - start;
        if (spent >= milliseconds) return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        DWORD woke = msgWait(1, &object, FALSE, milliseconds - spent, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        MSG message;
        // A request to quit changes nothing now: the process is ending anyway.
        while (peekMessage(&message, nullptr, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT) dispatchMessage(&message);
    }
}

}  // namespace Kernel
