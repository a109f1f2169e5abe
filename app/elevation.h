#pragma once
// Handing a load to an elevated copy of the program. Under User Account
// Control even an administrator's programs start with a limited token; a copy
// started with the verb "runas" runs with the full one, once the user agrees
// in Windows' consent prompt.

#include <windows.h>

#include <string>

// True when the program runs with the limited token of a user whose full
// token Windows can give to a copy of the program.
bool CanElevate();

enum class ElevatedLoad {
    Loaded,     // the copy ended and every location holds the configuration
    Failed,     // the copy ended, and the locations do not hold it
    NotStarted  // no copy ran: the consent prompt was refused, or the start failed
};

// Starts an elevated copy of the program with "load NAME", waits for it to end
// (`owner`, the dialog when there is one, is disabled meanwhile but keeps
// painting), then reads every location again and reports what it finds.
ElevatedLoad LoadElevated(const std::string& name, HWND owner);

// For tests: Wine gives every program the full token, so a test plays a
// limited one, and starts `program` as the copy.
void SetElevationForTests(TOKEN_ELEVATION_TYPE type, const std::string& program);
