#include "harness/dialog_driver.h"

#include "harness/fixtures.h"
#include "harness/shell_fixtures.h"

#include <commctrl.h>

#include <algorithm>

namespace driver {

const char kDialogTitle[] = "Veltrane by Dunmere";

namespace {

// Waits are bounded so that a broken program fails the test instead of
// hanging it; the bound is far above anything a working run needs.
constexpr DWORD kPatience = 30000;
constexpr DWORD kPoll = 20;

template <class Ready>
bool WaitUntil(Ready ready) {
    const ULONGLONG until = GetTickCount64() + kPatience;
    while (!ready()) {
        if (GetTickCount64() > until) return false;
        Sleep(kPoll);
    }
    return true;
}

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct OwnedSearch {
    HWND owner;
    DWORD processId;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<OwnedSearch*>(parameter);
    if (GetWindow(window, GW_OWNER) != search->owner || ClassName(window) != "#32770") return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND OwnedBox(HWND dialog, bool visibleOnly) {
    OwnedSearch search{dialog, 0, visibleOnly, nullptr};
    EnumWindows(FindOwnedBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<OwnedSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || ClassName(window) != "#32770") return TRUE;
    if (Text(window) != kDialogTitle || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// A text read through a W message, in the test's code page.
std::string Narrow(const wchar_t* text) {
    char narrow[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    return narrow;
}

Outcome Finish(const Program& program) {
    Outcome outcome;
    HWND dialog = program.WaitForDialog();
    if (dialog != nullptr) {
        outcome.dialogOpened = true;
        Close(dialog);
    }
    outcome.exitCode = program.WaitForExit();
    return outcome;
}

}  // namespace

Monitor::Monitor() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    log_ = std::string(temp) + "wardlow-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(log_.c_str());
    const std::string helper = fixture::ProgramDirectory() + "wardlow_monitor.exe";
    program_ = Program::StartRaw("\"" + helper + "\" " + log_, helper);
    WaitUntil([&] { return (window_ = FindWindowA("Wardlow", "Wardlow")) != nullptr || !program_.running(); });
}

Monitor::~Monitor() {
    Stop();
    DeleteFileA(log_.c_str());
}

bool Monitor::Stop() {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    window_ = nullptr;
    return program_.WaitForExit() == 0;
}

std::string ElevatedCopyLogPath() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "elevated_copy.log";
}

std::string TakeElevatedCopyLog() {
    const std::string log = fixture::ReadFileBytes(ElevatedCopyLogPath());
    DeleteFileA(ElevatedCopyLogPath().c_str());
    return log;
}

std::string VeltranePath() { return fixture::ProgramDirectory() + "..\\veltrane.exe"; }

Program Program::Start(const std::string& tail) { return StartRaw("\"" + VeltranePath() + "\" " + tail); }

Program Program::StartRaw(const std::string& commandLine, const std::string& path) {
    Program program;
    program.path_ = path;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(program.path_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        program.process_.reset(info.hProcess);
        program.id_ = info.dwProcessId;
    }
    return program;
}

Program::~Program() {
    if (running()) {
        TerminateProcess(process_.get(), 0xDEAD);
        WaitForSingleObject(process_.get(), kPatience);
    }
}

bool Program::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

DWORD Program::WaitForExit() const {
    if (!process_ || WaitForSingleObject(process_.get(), kPatience) != WAIT_OBJECT_0) return 0x7FFFFFFF;
    DWORD code = 0x7FFFFFFF;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

HWND Program::WaitForDialog() const {
    HWND dialog = nullptr;
    WaitUntil([&] {
        OwnedSearch search{nullptr, id_, true, nullptr};
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        dialog = search.found;
        return dialog != nullptr || !running();
    });
    return dialog;
}

Outcome RunCommand(const std::string& tail) { return Finish(Program::Start(tail)); }

Outcome RunRawCommand(const std::string& commandLine, const std::string& program) {
    return Finish(Program::StartRaw(commandLine, program));
}

std::string Text(HWND window) {
    const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> buffer(static_cast<size_t>(length) + 2, '\0');
    SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

std::string ControlText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool Checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::vector<std::string> ListEntries(HWND dialog, int id) {
    std::vector<std::string> entries;
    const LRESULT count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        const LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, index, 0);
        if (length < 0) break;
        // Across processes the text only arrives intact through the W message.
        std::vector<wchar_t> wide(static_cast<size_t>(length) + 1, L'\0');
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()));
        entries.push_back(Narrow(wide.data()));
    }
    return entries;
}

int ListSelection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

std::vector<std::string> ListViewRows(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    const LRESULT columns = SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0);
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    const UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    struct Cell {
        LVITEMW item;
        wchar_t text[2048];
    };
    auto* remote = static_cast<Cell*>(VirtualAllocEx(process.get(), nullptr, sizeof(Cell), MEM_COMMIT, PAGE_READWRITE));
    std::vector<std::string> rows(remote == nullptr ? 0 : static_cast<size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    Cell cell{};
    for (size_t row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < columns; ++column) {
            cell.item = LVITEMW{};
            cell.item.iSubItem = column;
            cell.item.pszText = remote->text;
            cell.item.cchTextMax = 2048;
            WriteProcessMemory(process.get(), remote, &cell.item, sizeof cell.item, nullptr);
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process.get(), remote, &cell, sizeof cell, nullptr);
            rows[row] += (column > 0 ? "|" : "") + Narrow(cell.text);
        }
    }
    if (remote != nullptr) VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return rows;
}

void Type(HWND dialog, int id, const std::string& text) {
    SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Select(HWND dialog, int id, int index) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

void PressOk(HWND dialog) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

void Close(HWND dialog) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

void Push(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool WaitUntilGone(HWND window) {
    return WaitUntil([&] { return !IsWindow(window); });
}

Box WaitForBox(HWND dialog) {
    Box box;
    WaitUntil([&] {
        box.window = OwnedBox(dialog, true);
        return box.window != nullptr;
    });
    if (box.window == nullptr) return box;
    box.caption = Text(box.window);
    box.text = ControlText(box.window, 0xFFFF);
    for (HWND child = GetWindow(box.window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::string kind = ClassName(child);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (_stricmp(kind.c_str(), "Button") == 0) box.buttons.push_back(GetDlgCtrlID(child));
        if (_stricmp(kind.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) box.hasIcon = true;
    }
    std::sort(box.buttons.begin(), box.buttons.end());
    return box;
}

void Answer(const Box& box, int buttonId) {
    Push(box.window, buttonId);
    WaitUntilGone(box.window);
}

bool NoBoxOpen(HWND dialog) {
    // A sent message is handled only once the dialog's thread waits for
    // messages again, i.e. once it is idle or showing a box.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kPatience, &result);
    return OwnedBox(dialog, false) == nullptr;
}

}  // namespace driver
