#pragma once
// The store's operations (exists, save, load, delete) are those of the
// application object, StartupLocationSet; this header holds what they add.

// Every load first keeps what the locations hold under this name, so that
// loading it undoes the load. It is an ordinary configuration otherwise.
extern const char kBeforeLastLoad[];

// For tests: called during a load once a location holds the stored items
// beside its old ones, before the old ones are removed. Returning false ends
// the load there, as if the program had been stopped. The program never
// sets it.
using LoadFillObserver = bool (*)(int locationIndex);
void SetLoadFillObserver(LoadFillObserver observer);
