#pragma once
#include "Win32.h"

// kernel32 and user32 functions that the loader binds at their first call.
// Each returns false (and raises Err) when the function cannot be found.
namespace Kernel {

bool Sleep(DWORD milliseconds);
bool ReleaseCapture();
bool SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);

}  // namespace Kernel
