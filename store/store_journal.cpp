#include "store/store_journal.h"

#include "platform/registry.h"
#include "store/configuration_layout.h"

const char kStagingKey[] = "Software\\Ostrel\\VeltraneJournal\\Staged";

namespace {

constexpr char kJournalKey[] = "Software\\Ostrel\\VeltraneJournal";
constexpr char kReplaceValue[] = "Replace";
constexpr char kDeleteValue[] = "Delete";

// A plain name, without a "Local\" or "Global\" prefix, which the Windows 95
// family and NT 4 do not know.
constexpr char kStoreMutexName[] = "Ostrel Veltrane configuration store";
// Far longer than a save of a thousand items takes.
constexpr DWORD kLongestWait = 2 * 60 * 1000;
// Configuration names are key names, which are far shorter.
constexpr size_t kLongestJournalValue = 4096;

StoreStepObserver storeStepObserver = nullptr;

// The configuration name in the journal value `valueName`; false when there is none.
bool ReadJournal(const char* valueName, std::string& name) {
    const RegKey journal = OpenRegistryKey(HKEY_CURRENT_USER, kJournalKey, kRegistryRead);
    if (!journal || !GetRegistryBinary(journal.get(), valueName, kLongestJournalValue, name)) return false;
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    return true;
}

// The journal value must be on disk before anything it protects changes.
bool WriteJournal(const char* valueName, const std::string& name) {
    const RegKey journal = CreateRegistryKey(HKEY_CURRENT_USER, kJournalKey, kRegistryCreate);
    return journal && SetRegistryString(journal.get(), valueName, name) && FlushRegistryKey(HKEY_CURRENT_USER);
}

bool ClearJournal(const char* valueName) {
    const RegKey journal = OpenRegistryKey(HKEY_CURRENT_USER, kJournalKey, kRegistryCreate);
    std::string name;
    if (!journal || !GetRegistryBinary(journal.get(), valueName, kLongestJournalValue, name)) return true;
    return DeleteRegistryValue(journal.get(), valueName);
}

// Deleting a key also deletes its values, so the journal key goes only when
// it holds no journal value (and no staging key, or the deletion fails).
void RemoveJournalKeyIfEmpty() {
    DWORD values = 0;
    {
        const RegKey journal = OpenRegistryKey(HKEY_CURRENT_USER, kJournalKey, kRegistryRead);
        if (!journal || RegQueryInfoKeyA(journal.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
    }
    if (values == 0) DeleteRegistryKey(HKEY_CURRENT_USER, kJournalKey);
}

// Deletes the old configuration and puts the staged one in its place: written
// again by `writeAgain` when there is one, else copied from the staging key.
bool PlaceStagedCopy(const std::string& name, const ConfigurationWriter& writeAgain) {
    const RegKey staged = OpenRegistryKey(HKEY_CURRENT_USER, kStagingKey, kRegistryRead);
    // A journal value without its staged copy, or with a name that is no
    // configuration's, was not written by a save: nothing is touched for it.
    if (!staged || !IsStorableName(name)) return true;
    const std::string target = ConfigurationKeyPath(name);
    if (!DeleteRegistryTree(HKEY_CURRENT_USER, target) || !StoreStepReached(StoreStep::OldRemoved)) return false;
    const RegKey placed = CreateRegistryKey(HKEY_CURRENT_USER, target, kRegistryCreate);
    const bool copied = placed && (writeAgain ? writeAgain(target) : CopyRegistryTree(staged.get(), placed.get()));
    // The copy must be on disk before the journal value that protects it goes.
    return copied && FlushRegistryKey(HKEY_CURRENT_USER) && StoreStepReached(StoreStep::Copied);
}

// The replace from its journal value on. Each step can be done again when the
// run is ended before the next.
bool CompleteReplace(const std::string& name, const ConfigurationWriter& writeAgain) {
    if (!PlaceStagedCopy(name, writeAgain)) return false;
    // The journal value goes first: a staged copy no journal value names is discarded.
    if (!ClearJournal(kReplaceValue) || !StoreStepReached(StoreStep::JournalCleared)) return false;
    if (!DeleteRegistryTree(HKEY_CURRENT_USER, kStagingKey) || !StoreStepReached(StoreStep::StagingRemoved)) {
        return false;
    }
    RemoveJournalKeyIfEmpty();
    return true;
}

// The delete from its journal value on. The journal value goes even when the
// keys could not all be deleted: the registry refuses that again on every
// try, and a value left behind would stop every later save.
bool CompleteDelete(const std::string& name) {
    const bool deleted =
        !IsConfigurationName(name) || DeleteRegistryTree(HKEY_CURRENT_USER, ConfigurationKeyPath(name));
    if (!StoreStepReached(StoreStep::OldRemoved)) return false;
    if (!ClearJournal(kDeleteValue) || !StoreStepReached(StoreStep::JournalCleared)) return false;
    RemoveJournalKeyIfEmpty();
    return deleted;
}

}  // namespace

StoreLock::StoreLock() : mutex(CreateMutexA(nullptr, FALSE, kStoreMutexName)) {
    if (!mutex) return;
    DWORD waited = WaitForSingleObject(mutex.get(), 0);
    if (waited == WAIT_TIMEOUT) {
        contended = true;
        waited = WaitForSingleObject(mutex.get(), kLongestWait);
    }
    // Abandoned: the run that held it was ended midway, and left its work to
    // FinishInterruptedStoreWork.
    held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

StoreLock::~StoreLock() {
    if (held) ReleaseMutex(mutex.get());
}

bool FinishInterruptedStoreWork() {
    // Nearly every run finds no journal key, and costs one open.
    if (!OpenRegistryKey(HKEY_CURRENT_USER, kJournalKey, kRegistryRead)) return true;
    const StoreLock lock;
    if (!lock) return false;
    std::string name;
    if (ReadJournal(kReplaceValue, name) && !CompleteReplace(name, nullptr)) return false;
    if (ReadJournal(kDeleteValue, name) && !CompleteDelete(name)) return false;
    DiscardStaging();
    return !OpenRegistryKey(HKEY_CURRENT_USER, kJournalKey, kRegistryRead);
}

bool CreateStaging() { return static_cast<bool>(CreateRegistryKey(HKEY_CURRENT_USER, kStagingKey, kRegistryCreate)); }

void DiscardStaging() {
    DeleteRegistryTree(HKEY_CURRENT_USER, kStagingKey);
    RemoveJournalKeyIfEmpty();
}

bool ReplaceWithStaged(const std::string& name, const ConfigurationWriter& writeAgain) {
    // Checked before the journal value is written, after which the old
    // configuration is no longer kept: the program's key must take the copy.
    if (!IsStorableName(name) || !MayWriteRegistryKey(HKEY_CURRENT_USER, kConfigurationsKey, KEY_CREATE_SUB_KEY) ||
        !FlushRegistryKey(HKEY_CURRENT_USER) || !WriteJournal(kReplaceValue, name)) {
        ClearJournal(kReplaceValue);
        DiscardStaging();
        return false;
    }
    if (!StoreStepReached(StoreStep::JournalWritten)) return false;
    // No rolling back from here on: when the copy fails, the journal value
    // stays and the save reports failure; the next run (or the next save or
    // delete) deletes the old configuration and copies the staged one again.
    return CompleteReplace(name, writeAgain);
}

bool DeleteStoredConfiguration(const std::string& name) {
    if (!WriteJournal(kDeleteValue, name)) {
        ClearJournal(kDeleteValue);
        RemoveJournalKeyIfEmpty();
        return false;
    }
    if (!StoreStepReached(StoreStep::JournalWritten)) return false;
    return CompleteDelete(name);
}

void SetStoreStepObserver(StoreStepObserver observer) { storeStepObserver = observer; }

bool StoreStepReached(StoreStep step) { return storeStepObserver == nullptr || storeStepObserver(step); }
