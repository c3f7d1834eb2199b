#include "runtime/platform/Win32.h"
#include "runtime/process/App.h"
#include "runtime/process/ExitCodes.h"
#include "startup/MainMod.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MainMod::Main();
    // Only the waiting instance gets here: its window's events run until its
    // unload handler ends the process.
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    // Asked to quit from outside before the window closed: the install was cut short.
    App::EndProcess(ExitCode::kUserExit);
}
