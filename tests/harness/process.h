#pragma once

#include <windows.h>

#include <string>

namespace fixture {

// Path of the program under test, beside the tests' folder.
std::string VeltraneExe();

// Runs a command line and waits for it; the exit code, or -1 when the program
// could not be started or did not end within the time allowed (it is then
// ended).
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000);

}  // namespace fixture
