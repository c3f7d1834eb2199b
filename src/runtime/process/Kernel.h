#pragma once
#include "../platform/Win32.h"

// kernel32 and user32 functions that the loader binds at their first call.
// Each returns false (and raises Err) when the function cannot be found.
namespace Kernel {

bool Sleep(DWORD milliseconds);
bool ReleaseCapture();
bool SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);

// False where nobody can see the process's windows (SomebodyCanSee): a
// service's or a deployment agent's window station, or session 0 on NT 6
// and later; a message box there would wait for ever. True when it cannot
// be told.
bool WindowStationVisible();

// Lets the process take the foreground, so that the windows and prompts it
// (and what it starts) shows can come to the front. Nothing where the system
// cannot (before XP SP1).
void AllowForeground(HANDLE process);

// Waits up to milliseconds for the object while the thread's windows get
// their messages; true when it was signalled.
bool WaitDispatching(HANDLE object, DWORD milliseconds);

}  // namespace Kernel
