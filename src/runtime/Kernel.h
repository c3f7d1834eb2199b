#pragma once
#include "Win32.h"

// kernel32 and user32 functions that the loader binds at their first call.
// Each returns false (and raises Err) when the function cannot be found.
namespace Kernel {

bool Sleep(DWORD milliseconds);
bool ReleaseCapture();
bool SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);

// False when the process's window station is not the interactive one (a
// service's, or a deployment agent's under SYSTEM): nobody sees its windows,
// and a message box there would wait for ever. True when it cannot be told.
bool WindowStationVisible();

}  // namespace Kernel
