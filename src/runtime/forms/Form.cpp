#include "Form.h"

#include "../platform/Err.h"
#include "Twips.h"

bool Form::RegisterClassOnce() {
    WNDCLASSA existing;
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (::GetClassInfoA(instance, definition_.className, &existing)) return true;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &Form::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = ::CreateSolidBrush(definition_.background);
    if (definition_.iconResource) windowClass.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(definition_.iconResource));
    windowClass.lpszClassName = definition_.className;
    if (::RegisterClassA(&windowClass)) return true;
    Err::RaiseSystem(::GetLastError(), Text("Cannot register the window class ") + definition_.className);
    return false;
}

int Form::DotsPerInch() {
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

bool Form::Load() {
    if (hwnd_) return true;
    if (!RegisterClassOnce()) return false;
    int dpi = DotsPerInch();
    int width = TwipsToPixels(definition_.widthTwips, dpi);
    int height = TwipsToPixels(definition_.heightTwips, dpi);
    int left = TwipsToPixels(definition_.leftTwips, dpi);
    int top = TwipsToPixels(definition_.topTwips, dpi);
    if (definition_.centred) {
        left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    // A tool window gets no taskbar button; WS_POPUP has neither border nor title bar.
    HWND hwnd =
        ::CreateWindowExA(WS_EX_TOOLWINDOW, definition_.className, definition_.caption, WS_POPUP | WS_CLIPCHILDREN,
                          left, top, width, height, nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
    if (!hwnd) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot create the window ") + definition_.className);
        return false;
    }
    Form_Load();
    return true;
}

bool Form::Show() {
    if (!Load()) return false;
    ::ShowWindow(hwnd_, SW_SHOW);
    ::UpdateWindow(hwnd_);
    return true;
}

void Form::Unload() {
    if (!hwnd_ || unloading_) return;
    unloading_ = true;
    Form_Unload();
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    ::DestroyWindow(hwnd);
    unloading_ = false;
}

void Form::SetCaption(const Text& caption) {
    if (hwnd_) ::SetWindowTextA(hwnd_, caption.c_str());
}

void Form::SetWidthTwips(int twips) {
    RECT rect;
    if (!hwnd_ || !::GetWindowRect(hwnd_, &rect)) return;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, TwipsToPixels(twips, DotsPerInch()), rect.bottom - rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetHeightTwips(int twips) {
    RECT rect;
    if (!hwnd_ || !::GetWindowRect(hwnd_, &rect)) return;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left, TwipsToPixels(twips, DotsPerInch()),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Form::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_CLOSE:
        // Any close request goes through the unload handler.
        Unload();
        result = 0;
        return true;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd_, &paint);
        Paint(dc);
        ::EndPaint(hwnd_, &paint);
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Form* form;
    if (message == WM_NCCREATE) {
        form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else {
        form = reinterpret_cast<Form*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    LRESULT result = 0;
    if (form && form->hwnd_ == hwnd && form->HandleMessage(message, wParam, lParam, result)) return result;
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void FormTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Apply();
}

void FormTimer::SetInterval(unsigned milliseconds) {
    interval_ = milliseconds;
    Apply();
}

void FormTimer::Apply() {
    if (!owner_.hWnd()) return;
    if (enabled_ && interval_ > 0)
        ::SetTimer(owner_.hWnd(), id_, interval_, nullptr);
    else
        ::KillTimer(owner_.hWnd(), id_);
}
