#pragma once

#include <windows.h>

#include <string>

// Stores the file-system path of a shell special folder (a CSIDL number) in
// `path`, ending in a backslash. False, with `path` unchanged, when the
// system does not offer that folder.
bool GetSpecialFolderPath(std::string& path, int folder);

// True on a system of the NT family. The system is asked once per process.
bool IsWindowsNT();

// A function of a system DLL the process has loaded, looked up at run time
// rather than imported, so that the program still starts on systems that lack
// it; nullptr there.
template <class Function>
Function FindSystemFunction(const char* module, const char* name) {
    HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

// The text an indirect string names ("@C:\\app.dll,-101", a string of a
// file's resources), loaded by the shell; empty when it cannot be loaded.
std::string LoadIndirectText(const std::string& source);

// The system DLL `module` (a bare file name), loaded from the system folder
// when the process has not loaded it yet. It stays loaded for the rest of the
// process, so that objects it handed out never outlive their code; nullptr
// where the system lacks it.
HMODULE LoadSystemModule(const char* module);

// A function of a system DLL that the program does not import (one that old
// Windows or Wine may lack), loaded as LoadSystemModule loads it; nullptr
// where the system lacks it.
template <class Function>
Function LoadSystemFunction(const char* module, const char* name) {
    HMODULE loaded = LoadSystemModule(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

// True on 64-bit Windows, where HKEY_LOCAL_MACHINE's Run keys exist in two
// registry views: always for a 64-bit build, and for a 32-bit build when it
// runs under WOW64.
bool IsWindows64();

// How often IsWindowsNT has asked the system (for its tests).
int WindowsVersionQueries();
