#include <stdlib.h>

#include "runtime/platform/Win32.h"
#include "runtime/process/App.h"
#include "runtime/process/ExitCodes.h"
#include "startup/MainMod.h"

// The process starts here, at the linker's default entry for a window
// program, with the C runtime's start-up code left out (-nostartfiles): its
// argument vectors, TLS callbacks, pseudo relocations and exception filter
// serve nothing here and cost kilobytes. msvcrt.dll sets itself up for the
// few C functions the loader calls.

extern "C" {

// The linker's list of static constructors: -1, the constructors, then 0.
extern void (*constructorList[])() __asm__("___CTOR_LIST__");

// Every end is immediate (App::EndProcess), so static destructors never run
// and are not registered.
int __cdecl atexit(void(__cdecl*)()) { return 0; }

}  // extern "C"

// Named by the deleting destructors of classes with virtual destructors; the
// C++ library's own brings unwind tables, a section of their own in the file.
// Nothing in the loader is made with new.
void operator delete(void* p) noexcept { free(p); }          // NOLINT(cert-dcl54-cpp)
void operator delete(void* p, size_t) noexcept { free(p); }  // NOLINT(cert-dcl54-cpp)

extern "C" [[noreturn]] __attribute__((used)) void WinMainCRTStartup() {
    // Last first, as the runtime's start-up runs them.
    size_t count = 0;
    while (constructorList[count + 1]) ++count;
    for (; count; --count) constructorList[count]();

    // Only the waiting instance returns, once asked to quit from outside
    // before its window closed: the install was cut short.
    MainMod::Main();
    App::EndProcess(ExitCode::kUserExit);
}
