#pragma once

#include <string>

// Stores the file-system path of a shell special folder (a CSIDL number) in
// `path`, ending in a backslash. False, with `path` unchanged, when the
// system does not offer that folder.
bool GetSpecialFolderPath(std::string& path, int folder);

// True on a system of the NT family. The system is asked once per process.
bool IsWindowsNT();

// How often IsWindowsNT has asked the system (for its tests).
int WindowsVersionQueries();
