#pragma once
// The Changes view: what loading one configuration would change, entry by
// entry, shown before the user loads it. Opening it reads only.

#include <windows.h>

#include <string>

// Shows the view of the configuration `name` over `owner` (the main dialog)
// until the user closes it. Its Load button loads the configuration as the
// main dialog's OK does, with the backup warning unless `savedThisSession`.
// True when that load rewrote the locations. A configuration that is no
// longer stored is reported instead, in a message box owned by `owner`.
bool ShowChanges(HWND owner, const std::string& name, bool savedThisSession);
