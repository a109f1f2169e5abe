#include "catalog/startup_location_set.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLineTail, int) {
    return GetStartupLocationSet().Run(commandLineTail);
}
