#include "LazyFunction.h"

#include <string.h>

#include "Err.h"

HMODULE LoadSystemLibrary(const char* name) {
    // Windows 7 and later with the search flags; on older systems the flag is
    // rejected, and a full path into the system directory does the same.
    HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;
    char path[MAX_PATH];
    UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    size_t nameLength = strlen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = '\\';
    memcpy(path + length + 1, name, nameLength + 1);
    return ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearchToSystem() {
    static LazyFunction<BOOL(WINAPI*)(DWORD)> setDefaultDllDirectories("kernel32.dll", "SetDefaultDllDirectories");
    static LazyFunction<BOOL(WINAPI*)(LPCSTR)> setDllDirectory("kernel32.dll", "SetDllDirectoryA");
    if (auto fn = setDefaultDllDirectories.Get()) fn(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Takes the current folder out of the search where the flag above is missing.
    if (auto fn = setDllDirectory.Get()) fn("");
}

void RaiseMissingFunction(const char* name) {
    Err::Raise(kErrFunctionMissing, Text("Cannot find the function ") + name + ".");
}
