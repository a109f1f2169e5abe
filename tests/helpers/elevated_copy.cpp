// Stands in for the elevated copy of the program that Windows starts after
// its consent prompt: appends its command-line tail to elevated_copy.log in
// the temporary folder, gives back the rights the test took from HKLM Run,
// then runs veltrane.exe with the same tail and ends with its exit code.
#include "app/command_line.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"

#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string tail = CommandLineTail(GetCommandLineA());
    if (FILE* log = std::fopen(driver::ElevatedCopyLogPath().c_str(), "ab")) {
        std::fprintf(log, "%s\n", tail.c_str());
        std::fclose(log);
    }
    fixture::SetKeyDacl(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "D:P(A;;KA;;;WD)");
    const driver::Outcome outcome = driver::RunRawCommand("\"" + driver::VeltranePath() + "\" " + tail);
    return static_cast<int>(outcome.exitCode);
}
