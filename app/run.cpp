#include "app/command_line.h"
#include "app/elevation.h"
#include "app/main_dialog.h"
#include "catalog/startup_location_set.h"
#include "store/configuration_store.h"
#include "store/store_journal.h"

#include <ole2.h>

#include <cstring>
#include <string>

namespace {

// Compares without regard to the case of A-Z, and of nothing else.
bool SameVerb(const char* text, size_t length, const char* verb) {
    if (std::strlen(verb) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != verb[i]) return false;
    }
    return true;
}

enum class Verb { None, Load, Save, Delete, Undo };

// A load the user's rights do not allow goes to an elevated copy, where
// Windows can start one; the consent prompt is the only question.
bool LoadFromCommandLine(StartupLocationSet& locations, const std::string& name) {
    const LoadResult result = locations.TryLoadConfiguration(name);
    if (result.carriedOut) return result.complete;
    return !result.deniedLocations.empty() && CanElevate() && LoadElevated(name, nullptr) == ElevatedLoad::Loaded;
}

Verb ParseVerb(const char* text, size_t length) {
    if (SameVerb(text, length, "load")) return Verb::Load;
    if (SameVerb(text, length, "save")) return Verb::Save;
    if (SameVerb(text, length, "delete")) return Verb::Delete;
    if (SameVerb(text, length, "undo")) return Verb::Undo;
    return Verb::None;
}

// The verb the tail starts with (after spaces, up to the next space); `end`
// is where it ends.
Verb LeadingVerb(const char* tail, const char*& end) {
    // Only the space separates words; a tab belongs to the word.
    while (*tail == ' ') ++tail;
    end = tail + std::strcspn(tail, " ");
    return ParseVerb(tail, static_cast<size_t>(end - tail));
}

}  // namespace

const char* CommandLineTail(const char* commandLine) {
    if (commandLine == nullptr) return "";
    const char* tail = commandLine;
    if (*tail == '"') {
        ++tail;
        while (*tail != '\0' && *tail != '"') ++tail;
        if (*tail == '"') ++tail;
    } else {
        while (static_cast<unsigned char>(*tail) > ' ') ++tail;
    }
    while (*tail != '\0' && static_cast<unsigned char>(*tail) <= ' ') ++tail;
    return tail;
}

int StartupLocationSet::Run(const char* commandLineTail) {
    ClearSlots();
    // The shortcut folder lists create shell link objects from their
    // construction on, so OLE comes first and goes last.
    OleInitialize(nullptr);
    // A save or delete an earlier run left unfinished is finished first, so
    // that this run sees every configuration whole.
    FinishInterruptedStoreWork();
    {
        // Read under the store lock: a command can then tell, by whether it
        // has to wait for the lock, if another run may have changed the
        // places since, and otherwise need not read them again. The dialog
        // reads every list again before it acts, so without a command the
        // services, the dearest to read, wait for it.
        const StoreLock lock;
        const char* end = nullptr;
        BuildCatalog(commandLineTail == nullptr || LeadingVerb(commandLineTail, end) != Verb::None);
    }
    listsCurrent = true;
    const bool handled = HandleCommandLine(commandLineTail);
    listsCurrent = false;
    if (!handled) ShowMainDialog();
    ClearSlots();
    OleUninitialize();
    return 0;
}

bool StartupLocationSet::HandleCommandLine(const char* commandLineTail) {
    if (commandLineTail == nullptr) return false;
    const char* verbEnd = nullptr;
    const Verb command = LeadingVerb(commandLineTail, verbEnd);
    if (command == Verb::None) return false;
    // Undo takes no name: it loads the state the last load replaced.
    if (command == Verb::Undo) {
        return verbEnd[std::strspn(verbEnd, " ")] == '\0' && ConfigurationExists(kBeforeLastLoad) &&
               LoadFromCommandLine(*this, kBeforeLastLoad);
    }
    if (*verbEnd == '\0') return false;
    // The name is the rest of the line exactly as typed.
    const std::string name(verbEnd + 1);
    if (name.empty()) return false;
    // A backslash would turn the name into a path of nested keys.
    if (name.find('\\') != std::string::npos) return false;
    switch (command) {
        case Verb::Load:
            return ConfigurationExists(name) && LoadFromCommandLine(*this, name);
        case Verb::Save:
            return SaveConfiguration(name);
        case Verb::Delete:
            return DeleteConfiguration(name);
        case Verb::None:
        case Verb::Undo:
            break;
    }
    return false;
}
