// The program as a user without full rights runs it under User Account
// Control: its token is the limited one, and a load it may not make goes to
// an elevated copy. Wine cannot give a program such a token, so this is the
// program with that one answer played. The copy is the program named by the
// environment variable VELTRANE_TEST_COPY, by default elevated_copy.exe beside
// this one.
#include "app/command_line.h"
#include "app/elevation.h"
#include "catalog/startup_location_set.h"
#include "harness/fixtures.h"

#include <windows.h>

#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::vector<char> copy(MAX_PATH * 4);
    const DWORD length = GetEnvironmentVariableA("VELTRANE_TEST_COPY", copy.data(), static_cast<DWORD>(copy.size()));
    const std::string program =
        length > 0 && length < copy.size() ? std::string(copy.data()) : fixture::ProgramDirectory() + "elevated_copy.exe";
    SetElevationForTests(TokenElevationTypeLimited, program);
    return GetStartupLocationSet().Run(CommandLineTail(GetCommandLineA()));
}
