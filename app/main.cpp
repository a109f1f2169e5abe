#include "app/command_line.h"
#include "catalog/startup_location_set.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return GetStartupLocationSet().Run(CommandLineTail(GetCommandLineA()));
}
