#pragma once
// A configuration is replaced or deleted all at once, even when the program is
// ended midway (killed, logged off, the power lost). A save first writes the
// new configuration into a staging key outside the program's key, laid out
// exactly as a configuration key. Once the staged copy is complete, one
// journal value (one registry write, which happens whole or not at all) says
// which configuration it replaces; only then is the old configuration deleted
// and the staged copy put in its place. A delete writes its journal value
// first too. Every run starts by finishing what a journal value names, or by
// discarding a staged copy that no journal value names.
//
// Below HKEY_CURRENT_USER, "Software\Ostrel\VeltraneJournal", which exists only
// while the store works or after a run was ended midway:
//   value "Replace" (REG_SZ)  the name of the configuration the staged copy replaces
//   value "Delete" (REG_SZ)   the name of the configuration being deleted
//   key "Staged"              the new configuration, laid out as a configuration key

#include "platform/handles.h"

#include <functional>
#include <string>

// The staging key, below HKEY_CURRENT_USER.
extern const char kStagingKey[];

// Serialises the store's changes across every running copy of the program, so
// that no run discards or overwrites another's staged copy. Held for one
// save, delete or recovery; false when it could not be had in time.
class StoreLock {
public:
    StoreLock();
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    explicit operator bool() const { return held; }
    // True when another run held the store when this lock was asked for, so
    // that it may have changed what this run read before.
    bool Contended() const { return contended; }

private:
    UniqueHandle mutex;
    bool held = false;
    bool contended = false;
};

// Finishes the replace or delete a journal value names, and discards a staged
// copy none names; each step can be done again, so this may itself be ended
// midway. Every run calls it before the catalog is used, and every save and
// delete before it starts. True when nothing is left to do.
bool FinishInterruptedStoreWork();

// The following are called under the store lock, after
// FinishInterruptedStoreWork found nothing left to do.

// Creates the empty staging key.
bool CreateStaging();

// Removes the staging key, and the journal key when it names no work.
void DiscardStaging();

// Writes the configuration a save stages below the given key path (below
// HKEY_CURRENT_USER), whose keys do not exist yet; true when all of it was written.
using ConfigurationWriter = std::function<bool(const std::string& configurationKey)>;

// Puts the complete staged copy in place of the configuration `name`
// (storable, see IsStorableName): `writeAgain`, which wrote the staged copy,
// writes it once more in its place, which costs half a copy of the staged
// keys (a run that completes an ended save copies them). False, with the
// staged copy discarded, when the program's key cannot take the
// configuration; false too when the writing fails once the journal value is
// written, which is then left for the next run to complete.
bool ReplaceWithStaged(const std::string& name, const ConfigurationWriter& writeAgain);

// Deletes the stored configuration `name` whole. False when its keys could not
// all be deleted.
bool DeleteStoredConfiguration(const std::string& name);

// Where a save or delete can be stopped by the test observer below.
enum class StoreStep {
    LocationStaged,  // one more location is in the staging key
    JournalWritten,  // the journal value names the operation
    OldRemoved,      // the configuration's old keys are gone
    Copied,          // the staged copy is in the configuration's place
    JournalCleared,  // the journal value is gone
    StagingRemoved,  // the staging key is gone
};

// For tests: called after each step of a save, a delete, and of finishing
// one. Returning false ends the operation there, as if the program had been
// stopped: nothing is cleaned up. The program never sets it.
using StoreStepObserver = bool (*)(StoreStep step);
void SetStoreStepObserver(StoreStepObserver observer);

// True when the operation goes on after `step` (always, unless a test says otherwise).
bool StoreStepReached(StoreStep step);
