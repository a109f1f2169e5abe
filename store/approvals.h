#pragma once
// Task Manager's on/off switch of each startup entry (Windows 8 and later).
// Switching an entry off does not move it: Windows keeps one REG_BINARY value
// per entry in a StartupApproved key, and starts the entry only when the
// value's first byte is even or there is no value. A configuration carries
// these values of its enabled items in its location's "Approved" key, so that
// a load starts what was started when it was saved.

#include "startup/startup_list.h"

#include <string>

// Copies the approval value of every enabled item of `live` that has one into
// the key `approvedKeyPath` (below HKEY_CURRENT_USER). True when every value
// found was stored; a location without approvals (no approval place, or no
// approval key on this system) stores nothing.
bool SaveApprovals(int locationIndex, const StartupList& live, const std::string& approvedKeyPath);

// For every enabled item of `stored`: writes its stored approval value into
// the approval place, or deletes the live value when none was stored. Values
// of other entries stay. True when every write and deletion succeeded.
bool RestoreApprovals(int locationIndex, const StartupList& stored, const std::string& approvedKeyPath);
