#pragma once
// Drives veltrane.exe from the test's own process: starts it, finds its main
// dialog and the message boxes the dialog owns, reads and sets controls, and
// answers boxes, all through real window messages.

#include "platform/handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

extern const char kDialogTitle[];

// Full path of veltrane.exe, for building command lines by hand.
std::string VeltranePath();

// One running veltrane.exe.
class Program {
public:
    // Starts build/<arch>/veltrane.exe with `tail` after its quoted path.
    static Program Start(const std::string& tail);
    // Starts `program` (veltrane.exe by default) with the whole command line
    // given (the program path included).
    static Program StartRaw(const std::string& commandLine, const std::string& program = VeltranePath());
    Program() = default;
    Program(Program&&) = default;
    Program& operator=(Program&&) = default;
    // Ends the process when it is still running (a test that failed midway
    // may leave it waiting in a message box), so no run outlives its test.
    ~Program();

    bool running() const;
    // Waits until the process has ended (closing its dialog is the caller's
    // business); its exit code, or 0x7FFFFFFF when it did not end in time.
    DWORD WaitForExit() const;
    // The visible main dialog of this process, or null when the process ended
    // without showing one.
    HWND WaitForDialog() const;
    const std::string& path() const { return path_; }

private:
    UniqueHandle process_;
    DWORD id_ = 0;
    std::string path_;
};

// The stand-in for the monitor program (helpers/wardlow_monitor), running
// from construction until Stop, and logging each message it hears with the
// live state at that moment into a file of its own, removed with the object.
class Monitor {
public:
    Monitor();
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // True when its window was found.
    bool listening() const { return window_ != nullptr; }
    // Closes it; true once it has ended.
    bool Stop();
    const std::string& logPath() const { return log_; }

private:
    std::string log_;
    Program program_;
    HWND window_ = nullptr;
};

// The file the stand-in for the elevated copy (helpers/elevated_copy) adds
// its command-line tail to, a line a run; and what it holds, emptied for the
// next check.
std::string ElevatedCopyLogPath();
std::string TakeElevatedCopyLog();

// What a command-line run did: whether the dialog opened (it is then closed
// with Close) and the exit code.
struct Outcome {
    bool dialogOpened = false;
    DWORD exitCode = 0x7FFFFFFF;
};
Outcome RunCommand(const std::string& tail);
Outcome RunRawCommand(const std::string& commandLine, const std::string& program = VeltranePath());

std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
std::vector<std::string> ListEntries(HWND dialog, int id);
int ListSelection(HWND dialog, int id);
// Every row of a list view, its cells joined by "|". The program's list view
// is read in the program's own memory: pointers in list view messages do not
// cross processes.
std::vector<std::string> ListViewRows(HWND dialog, int id);

void Type(HWND dialog, int id, const std::string& text);
// Chooses an entry (-1: none) and tells the dialog, as the combo box does.
void Select(HWND dialog, int id, int index);
// BM_CLICK, sent: returns once the dialog has handled the click.
void Click(HWND dialog, int id);
// Posts IDOK, as the OK button does, without waiting for what it opens.
void PressOk(HWND dialog);
void Close(HWND dialog);
// Posts a click on the button, which does nothing while it is disabled.
void Push(HWND dialog, int id);
// Waits until the window is destroyed; false when it stays.
bool WaitUntilGone(HWND window);

// A message box shown by the dialog.
struct Box {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    std::vector<int> buttons;  // ids of the box's push buttons, ascending
    bool hasIcon = false;      // an icon static is shown
};
// Waits for the next visible message box owned by `dialog`.
Box WaitForBox(HWND dialog);
// Answers the box by clicking one of its buttons and waits until it is gone.
void Answer(const Box& box, int buttonId);
// True when, once the dialog is idle again, no box of it is open.
bool NoBoxOpen(HWND dialog);

}  // namespace driver
