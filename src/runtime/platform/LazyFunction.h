#pragma once
#include "Win32.h"

// Loads a library from the system directory only. The loader lives in
// download and driver folders, where a DLL planted beside it must never load.
HMODULE LoadSystemLibrary(const char* name);

// Restricts the process's own later DLL loads to the system directory where
// the system offers that. Processes it starts are not affected.
void RestrictDllSearchToSystem();

// Raises the error of a function that cannot be found.
void RaiseMissingFunction(const char* name);

// A Windows function bound by library and name at its first call, so the
// program also starts on systems that lack it; only that call then fails.
template <typename Fn>
class LazyFunction {
public:
    constexpr LazyFunction(const char* library, const char* name) : library_(library), name_(name) {}

    // The function, or null when it cannot be found. Binding happens once:
    // the library's name goes once tried.
    Fn Get() {
        if (library_) {
            HMODULE module = LoadSystemLibrary(library_);
            library_ = nullptr;
            FARPROC proc = module ? ::GetProcAddress(module, name_) : nullptr;
            // Through a generic function pointer, so the cast says what it does.
            fn_ = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
        }
        return fn_;
    }

    // The function, or null with the failure raised in Err.
    Fn GetOrRaise() {
        Fn fn = Get();
        if (!fn) RaiseMissingFunction(name_);
        return fn;
    }

private:
    // Three words and no flag of its own: these objects are nearly all of
    // the loader's initialised data.
    const char* library_;
    const char* name_;
    Fn fn_ = nullptr;
};
