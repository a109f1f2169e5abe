#pragma once
// The load a user starts in a dialog, from the main dialog's OK or from the
// Changes view's Load: the questions before it, the hand-over to an elevated
// copy where rights are lacking, and what the user is told after it. The
// program's message boxes for both windows are shown here too.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

extern const char kConfigurationNotFound[];  // "The specified configuration could not be found."
extern const char kBackslashInName[];        // a name with a backslash is refused

// A message box of the program: caption "Veltrane", owned by `owner`.
int Tell(HWND owner, const char* text, UINT flags);

// A backslash would make the name a path of nested keys.
bool HasBackslash(const std::string& name);

// "HKLM-Run, CommonStartup": the locations' key names, in slot order.
std::string LocationNames(const std::vector<int>& locations);

enum class DialogLoad {
    Declined,  // the user answered no to a question: nothing changed, nothing more shown
    Ended,     // the user was told how it ended: loaded, failed, refused or not found
};

// Loads the configuration `name` as the main dialog's OK does, with message
// boxes owned by `owner`: the backup warning unless `savedThisSession`, the
// load, or for want of rights the elevated copy or the refusal, and the
// outcome. `rewritten` runs once the locations were rewritten (here or by the
// elevated copy), before the outcome is shown.
DialogLoad LoadFromDialog(HWND owner, const std::string& name, bool savedThisSession,
                          const std::function<void()>& rewritten);
