// Starts veltrane.exe without arguments and drives its dialog from this process.
#include "app/main_dialog.h"
#include "app/resource.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

using driver::Box;

const char* const kStore = fixture::kConfigurations;
const char* const kUserRun = fixture::kHkcuRun;

const char kDescription[] =
    "Veltrane will save or load the Windows configuration data that causes programs to run at system startup. "
    "This allows you to easily switch between multiple startup configurations, for a myriad of potential "
    "purposes.\n\nIt is strongly reccomended that you save a copy of your configuration as a backup before "
    "loading any new configuration. Also, it is generally not advisable to share configurations with other "
    "computers.";

std::string Stored(const std::string& configuration, const char* location = "HKCU-Run") {
    return std::string(kStore) + "\\" + configuration + "\\" + location + "\\Enabled";
}

std::vector<std::string> Configurations() { return fixture::SubkeyNames(HKEY_CURRENT_USER, kStore); }
std::vector<std::string> UserRun() { return fixture::Snapshot(HKEY_CURRENT_USER, kUserRun); }

// No stored configurations but the given ones (each holding one HKCU Run
// item named after it), and HKCU Run holding just `live`.
void Reset(const std::vector<std::string>& configurations, const std::vector<std::string>& live) {
    fixture::DeleteTree(HKEY_CURRENT_USER, kStore);
    fixture::DeleteTree(HKEY_CURRENT_USER, kUserRun);
    fixture::CreateKey(HKEY_CURRENT_USER, kUserRun);
    for (const std::string& name : configurations) fixture::SetString(HKEY_CURRENT_USER, Stored(name), name, "C:\\" + name + ".exe");
    for (const std::string& name : live) fixture::SetString(HKEY_CURRENT_USER, kUserRun, name, "C:\\" + name + ".exe");
}

// The program with its dialog open; closing it with Close must end the
// process with exit code 0.
class OpenDialog {
public:
    OpenDialog() : OpenDialog(driver::Program::Start("")) {}
    explicit OpenDialog(driver::Program started) : program(std::move(started)), window(program.WaitForDialog()) {
        REQUIRE(window != nullptr);
    }
    ~OpenDialog() {
        if (program.running()) driver::Close(window);
        CHECK_EQ(program.WaitForExit(), 0u);
    }
    operator HWND() const { return window; }

    driver::Program program;
    HWND window;
};

// Presses OK and returns the box it opens, checking the caption and buttons.
Box OkShows(HWND dialog, const char* text, std::vector<int> buttons) {
    driver::PressOk(dialog);
    Box box = driver::WaitForBox(dialog);
    REQUIRE(box.window != nullptr);
    CHECK_EQ(box.caption, "Veltrane");
    CHECK_EQ(box.text, text);
    CHECK_EQ(box.buttons, buttons);
    CHECK(box.hasIcon);
    return box;
}

const char kM1[] = "You must enter a name for the current configuration.";
const char kM2[] = "The specified configuration already exists. Do you wish to overwrite it?";
const char kM3[] = "Your configuration has been saved successfully.";
const char kM4[] = "There was an error saving your configuration.";
const char kM5[] = "The specified configuration could not be found.";
const char kM6[] =
    "It is strongly reccomended that you save a backup copy before loading a new configuration. Do you wish to "
    "continue?";
const char kM7[] = "Your configuration has been restored successfully.";
const char kM8[] = "There was an error restoring your configuration.";
const char kBackslash[] = "A configuration name cannot contain a backslash.";
const std::vector<int> kOk{IDOK};
const std::vector<int> kYesNo{IDYES, IDNO};
const std::vector<int> kOkCancel{IDOK, IDCANCEL};

// Whether `name` is the default name of some second from `from` to `to`
// (local times); the name's format itself is pinned by a unit test.
bool DefaultNameBetween(const std::string& name, const SYSTEMTIME& from, const SYSTEMTIME& to) {
    FILETIME first{}, last{};
    SystemTimeToFileTime(&from, &first);
    SystemTimeToFileTime(&to, &last);
    auto ticks = [](const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    const ULONGLONG second = 10000000;
    for (ULONGLONG t = ticks(first) / second * second; t <= ticks(last); t += second) {
        const FILETIME file{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
        SYSTEMTIME time{};
        FileTimeToSystemTime(&file, &time);  // fills in the weekday
        if (DefaultConfigurationName(time) == name) return true;
    }
    return false;
}

}  // namespace

TEST_CASE(FirstStartWithNothingSaved) {
    Reset({}, {});
    SYSTEMTIME before{};
    GetLocalTime(&before);
    OpenDialog dialog;
    SYSTEMTIME after{};
    GetLocalTime(&after);

    CHECK_EQ(driver::Text(dialog), "Veltrane by Dunmere");
    CHECK_EQ(driver::ControlText(dialog, IDC_DESCRIPTION), kDescription);
    CHECK(driver::Checked(dialog, IDC_SAVE));
    CHECK(!driver::Checked(dialog, IDC_LOAD));
    CHECK(!driver::Enabled(dialog, IDC_LOAD));
    CHECK(driver::Enabled(dialog, IDC_NAME));
    CHECK(driver::Enabled(dialog, IDC_NAME_GROUP));
    CHECK(!driver::Enabled(dialog, IDC_CONFIGURATIONS));
    CHECK(driver::ListEntries(dialog, IDC_CONFIGURATIONS).empty());

    const std::string name = driver::ControlText(dialog, IDC_NAME);
    CHECK_EQ(name.rfind("Backup ", 0), 0u);
    CHECK(DefaultNameBetween(name, before, after));
}

TEST_CASE(SavedConfigurationsAreListedSortedWithNoneChosen) {
    Reset({"Zeta", "alpha", "Beta"}, {});
    OpenDialog dialog;
    CHECK(driver::Enabled(dialog, IDC_LOAD));
    CHECK(!driver::Enabled(dialog, IDC_CONFIGURATIONS));
    CHECK_EQ(driver::ListEntries(dialog, IDC_CONFIGURATIONS), (std::vector<std::string>{"alpha", "Beta", "Zeta"}));
    CHECK_EQ(driver::ListSelection(dialog, IDC_CONFIGURATIONS), CB_ERR);
}

TEST_CASE(ChoicesSwitchTheNameFieldAgainstTheList) {
    Reset({"Work"}, {});
    OpenDialog dialog;
    driver::Click(dialog, IDC_LOAD);
    CHECK(driver::Checked(dialog, IDC_LOAD));
    CHECK(!driver::Checked(dialog, IDC_SAVE));
    CHECK(driver::Enabled(dialog, IDC_CONFIGURATIONS));
    CHECK(!driver::Enabled(dialog, IDC_NAME));
    CHECK(!driver::Enabled(dialog, IDC_NAME_GROUP));
    driver::Click(dialog, IDC_SAVE);
    CHECK(driver::Checked(dialog, IDC_SAVE));
    CHECK(!driver::Enabled(dialog, IDC_CONFIGURATIONS));
    CHECK(driver::Enabled(dialog, IDC_NAME));
    CHECK(driver::Enabled(dialog, IDC_NAME_GROUP));
}

TEST_CASE(SavingAskedAndAnswered) {
    Reset({}, {"Tool"});
    OpenDialog dialog;

    driver::Type(dialog, IDC_NAME, "");
    driver::Answer(OkShows(dialog, kM1, kOk), IDOK);
    CHECK(Configurations().empty());

    driver::Type(dialog, IDC_NAME, "a\\b");
    driver::Answer(OkShows(dialog, kBackslash, kOk), IDOK);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK(Configurations().empty());

    driver::Type(dialog, IDC_NAME, "Work");
    driver::Answer(OkShows(dialog, kM3, kOk), IDOK);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work")), std::vector<std::string>{"Tool=C:\\Tool.exe"});
    // The list is refilled; the load choice keeps the state it had at open.
    CHECK_EQ(driver::ListEntries(dialog, IDC_CONFIGURATIONS), std::vector<std::string>{"Work"});
    CHECK_EQ(driver::ListSelection(dialog, IDC_CONFIGURATIONS), CB_ERR);
    CHECK(!driver::Enabled(dialog, IDC_LOAD));
    CHECK(driver::Checked(dialog, IDC_SAVE));
    CHECK_EQ(driver::ControlText(dialog, IDC_NAME), "Work");

    fixture::SetString(HKEY_CURRENT_USER, kUserRun, "Extra", "C:\\Extra.exe");
    driver::Answer(OkShows(dialog, kM2, kYesNo), IDNO);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work")), std::vector<std::string>{"Tool=C:\\Tool.exe"});

    driver::Answer(OkShows(dialog, kM2, kYesNo), IDYES);
    driver::Answer(driver::WaitForBox(dialog), IDOK);
    CHECK_EQ(fixture::Snapshot(HKEY_CURRENT_USER, Stored("Work")),
             (std::vector<std::string>{"Extra=C:\\Extra.exe", "Tool=C:\\Tool.exe"}));

    driver::Type(dialog, IDC_NAME, "   ");
    driver::Answer(OkShows(dialog, kM3, kOk), IDOK);
    CHECK_EQ(Configurations(), (std::vector<std::string>{"   ", "Work"}));
}

TEST_CASE(LoadingAskedAndAnswered) {
    Reset({"Work"}, {"Other"});
    OpenDialog dialog;
    driver::Click(dialog, IDC_LOAD);

    driver::Answer(OkShows(dialog, kM5, kOk), IDOK);
    CHECK(driver::NoBoxOpen(dialog));

    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    driver::Answer(OkShows(dialog, kM6, kOkCancel), IDCANCEL);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(UserRun(), std::vector<std::string>{"Other=C:\\Other.exe"});

    driver::Answer(OkShows(dialog, kM6, kOkCancel), IDOK);
    Box done = driver::WaitForBox(dialog);
    CHECK_EQ(done.text, kM7);
    CHECK_EQ(done.buttons, kOk);
    driver::Answer(done, IDOK);
    CHECK_EQ(UserRun(), std::vector<std::string>{"Work=C:\\Work.exe"});
    // The list now offers the undo; the rest of the dialog is as it was.
    CHECK(driver::Checked(dialog, IDC_LOAD));
    CHECK_EQ(driver::ListEntries(dialog, IDC_CONFIGURATIONS), (std::vector<std::string>{"(before last load)", "Work"}));
    CHECK_EQ(driver::ControlText(dialog, IDC_CONFIGURATIONS), "Work");
    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    driver::Answer(OkShows(dialog, kM6, kOkCancel), IDOK);
    Box undone = driver::WaitForBox(dialog);
    CHECK_EQ(undone.text, kM7);
    driver::Answer(undone, IDOK);
    CHECK_EQ(UserRun(), std::vector<std::string>{"Other=C:\\Other.exe"});
}

TEST_CASE(AConfigurationGoneSinceTheListWasFilled) {
    Reset({"Work"}, {"Other"});
    OpenDialog dialog;
    driver::Click(dialog, IDC_LOAD);
    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    fixture::DeleteTree(HKEY_CURRENT_USER, std::string(kStore) + "\\Work");
    driver::Answer(OkShows(dialog, kM5, kOk), IDOK);
    // Nor is a view offered of what it would change.
    driver::Push(dialog, IDC_CHANGES);
    Box gone = driver::WaitForBox(dialog);
    CHECK_EQ(gone.text, kM5);
    driver::Answer(gone, IDOK);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(UserRun(), std::vector<std::string>{"Other=C:\\Other.exe"});
}

TEST_CASE(ALoadAfterASaveSkipsTheBackupWarning) {
    Reset({"Old"}, {"Current"});
    OpenDialog dialog;
    driver::Type(dialog, IDC_NAME, "New");
    driver::Answer(OkShows(dialog, kM3, kOk), IDOK);
    driver::Click(dialog, IDC_LOAD);
    const std::vector<std::string> entries = driver::ListEntries(dialog, IDC_CONFIGURATIONS);
    REQUIRE(entries == (std::vector<std::string>{"New", "Old"}));
    driver::Select(dialog, IDC_CONFIGURATIONS, 1);
    driver::Answer(OkShows(dialog, kM7, kOk), IDOK);
    CHECK_EQ(UserRun(), std::vector<std::string>{"Old=C:\\Old.exe"});
}

TEST_CASE(StoreFailuresAreReported) {
    Reset({}, {"Tool"});
    fixture::SetString(HKEY_CURRENT_USER, Stored("Broken", "UserStartup"), "a|b", "C:\\x.exe");
    OpenDialog dialog;
    // So long a name makes the stored keys' paths exceed the registry's limit.
    driver::Type(dialog, IDC_NAME, std::string(240, 'x'));
    driver::Answer(OkShows(dialog, kM4, kOk), IDOK);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(Configurations(), std::vector<std::string>{"Broken"});

    // No shortcut file can be named "a|b".
    driver::Click(dialog, IDC_LOAD);
    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    driver::Answer(OkShows(dialog, kM6, kOkCancel), IDOK);
    Box failed = driver::WaitForBox(dialog);
    CHECK_EQ(failed.text, kM8);
    CHECK_EQ(failed.buttons, kOk);
    driver::Answer(failed, IDOK);
}

TEST_CASE(KeysAndTheCloseBox) {
    Reset({}, {});
    {
        OpenDialog dialog;
        driver::Type(dialog, IDC_NAME, "");
        // Enter in the name field presses the default button.
        PostMessageA(GetDlgItem(dialog, IDC_NAME), WM_KEYDOWN, VK_RETURN, 1);
        Box box = driver::WaitForBox(dialog);
        CHECK_EQ(box.text, kM1);
        driver::Answer(box, IDOK);
    }
    {
        OpenDialog dialog;
        PostMessageA(GetDlgItem(dialog, IDC_NAME), WM_KEYDOWN, VK_ESCAPE, 1);
        CHECK_EQ(dialog.program.WaitForExit(), 0u);
    }
    {
        OpenDialog dialog;
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        CHECK_EQ(dialog.program.WaitForExit(), 0u);
    }
    CHECK(Configurations().empty());
}

namespace {

const char kNeedsRights[] =
    "Loading this configuration changes startup entries that only an administrator may change (HKLM-Run). ";

// The load choice, the first configuration, past the backup warning.
void ChooseLoad(HWND dialog) {
    driver::Click(dialog, IDC_LOAD);
    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    driver::Answer(OkShows(dialog, kM6, kOkCancel), IDOK);
}

}  // namespace

TEST_CASE(ALoadThatNeedsAdministratorRightsChangesNothingOrGoesToAnElevatedCopy) {
    Reset({"Work"}, {"Other"});
    fixture::SetString(HKEY_CURRENT_USER, Stored("Work", "HKLM-Run"), "Machine", "C:\\Machine.exe");
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine");
    fixture::ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, fixture::kHklmRun);
    const std::string limited = fixture::ProgramDirectory() + "limited_veltrane.exe";
    driver::TakeElevatedCopyLog();
    {
        // Wine runs the program with the full token: there is nothing to offer.
        OpenDialog dialog;
        ChooseLoad(dialog);
        Box refused = driver::WaitForBox(dialog);
        CHECK_EQ(refused.text, std::string(kNeedsRights) + "Nothing was changed.");
        CHECK_EQ(refused.buttons, kOk);
        driver::Answer(refused, IDOK);
        CHECK_EQ(UserRun(), std::vector<std::string>{"Other=C:\\Other.exe"});
    }
    {
        OpenDialog dialog(driver::Program::StartRaw("\"" + limited + "\"", limited));
        ChooseLoad(dialog);
        Box question = driver::WaitForBox(dialog);
        CHECK_EQ(question.text, std::string(kNeedsRights) + "Load it as administrator?");
        CHECK_EQ(question.buttons, kYesNo);
        driver::Answer(question, IDNO);
        CHECK(driver::NoBoxOpen(dialog));
        CHECK_EQ(UserRun(), std::vector<std::string>{"Other=C:\\Other.exe"});
        CHECK_EQ(driver::TakeElevatedCopyLog(), "");

        driver::Answer(OkShows(dialog, kM6, kOkCancel), IDOK);
        driver::Answer(driver::WaitForBox(dialog), IDYES);
        Box done = driver::WaitForBox(dialog);
        CHECK_EQ(done.text, kM7);
        driver::Answer(done, IDOK);
        CHECK_EQ(driver::TakeElevatedCopyLog(), "load Work\n");
        CHECK_EQ(UserRun(), std::vector<std::string>{"Work=C:\\Work.exe"});
        CHECK(fixture::ValueExists(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine"));
    }
    fixture::DeleteValue(HKEY_LOCAL_MACHINE, fixture::kHklmRun, "Machine");
}

namespace {

std::vector<bool> EntryButtons(HWND dialog) {
    return {driver::Enabled(dialog, IDC_CHANGES), driver::Enabled(dialog, IDC_DELETE)};
}
const std::vector<bool> kEnabled{true, true};
const std::vector<bool> kDisabled{false, false};

// Chooses the load and the first configuration, and opens its Changes view.
HWND OpenChanges(HWND dialog) {
    driver::Click(dialog, IDC_LOAD);
    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    driver::Push(dialog, IDC_CHANGES);
    Box view = driver::WaitForBox(dialog);
    REQUIRE(view.caption == "Veltrane - Changes");
    return view.window;
}

// The view's rows with the kept ones shown, but those of the prefix's own
// services, which stay as they are after every other row; `services` counts them.
std::vector<std::string> RowsBesideServices(HWND view, size_t& services) {
    if (!driver::Checked(view, IDC_SHOW_KEPT)) driver::Click(view, IDC_SHOW_KEPT);
    std::vector<std::string> rows = driver::ListViewRows(view, IDC_CHANGE_LIST);
    services = 0;
    while (services < rows.size() && rows[rows.size() - 1 - services].rfind("SystemServices|", 0) == 0) ++services;
    rows.resize(rows.size() - services);
    return rows;
}

}  // namespace

TEST_CASE(DeleteNeedsAChosenEntryAndAsksFirst) {
    Reset({"Play", "Work"}, {});
    OpenDialog dialog;
    CHECK_EQ(EntryButtons(dialog), kDisabled);
    driver::Select(dialog, IDC_CONFIGURATIONS, 1);
    CHECK_EQ(EntryButtons(dialog), kDisabled);
    driver::Click(dialog, IDC_LOAD);
    CHECK_EQ(EntryButtons(dialog), kEnabled);
    driver::Click(dialog, IDC_SAVE);
    CHECK_EQ(EntryButtons(dialog), kDisabled);
    driver::Click(dialog, IDC_LOAD);
    driver::Push(dialog, IDC_DELETE);
    Box question = driver::WaitForBox(dialog);
    CHECK_EQ(question.text, "Do you want to delete the configuration \"Work\"? It cannot be restored.");
    CHECK_EQ(question.buttons, kYesNo);
    CHECK_EQ(GetWindowLongA(GetDlgItem(question.window, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    driver::Answer(question, IDNO);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(Configurations(), (std::vector<std::string>{"Play", "Work"}));
    CHECK_EQ(driver::ListSelection(dialog, IDC_CONFIGURATIONS), 1);

    driver::Push(dialog, IDC_DELETE);
    driver::Answer(driver::WaitForBox(dialog), IDYES);
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(Configurations(), std::vector<std::string>{"Play"});
    CHECK_EQ(driver::ListEntries(dialog, IDC_CONFIGURATIONS), std::vector<std::string>{"Play"});
    CHECK_EQ(driver::ListSelection(dialog, IDC_CONFIGURATIONS), CB_ERR);
    CHECK_EQ(EntryButtons(dialog), kDisabled);
}

TEST_CASE(TheChangesViewShowsTheLoadAndChangesNothing) {
    Reset({"Work"}, {"Other", "Work"});
    const std::vector<std::string> live = fixture::LiveState();
    const std::vector<std::string> stored = fixture::Tree(HKEY_CURRENT_USER, kStore);
    driver::Monitor monitor;
    REQUIRE(monitor.listening());
    OpenDialog dialog;
    HWND view = OpenChanges(dialog);
    const std::string summary = driver::ControlText(view, IDC_CHANGE_SUMMARY);
    // A cut-off cell is shown whole in a tip.
    const LRESULT styles = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP;
    CHECK_EQ(SendDlgItemMessageA(view, IDC_CHANGE_LIST, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & styles, styles);
    CHECK(!driver::Checked(view, IDC_SHOW_KEPT));
    CHECK_EQ(driver::ControlText(view, IDC_SHOW_KEPT), "Show entries that stay as they are");
    CHECK_EQ(driver::ControlText(view, IDOK) + "/" + driver::ControlText(view, IDCANCEL), "Load/Close");
    CHECK_EQ(driver::ListViewRows(view, IDC_CHANGE_LIST), std::vector<std::string>{"HKCU-Run|Other|remove|C:\\Other.exe||"});
    size_t services = 0;
    CHECK_EQ(RowsBesideServices(view, services),
             (std::vector<std::string>{"HKCU-Run|Other|remove|C:\\Other.exe||",
                                       "HKCU-Run|Work|keep|C:\\Work.exe|C:\\Work.exe|program not found"}));
    CHECK(services > 0);
    CHECK_EQ(summary, "Loading \"Work\" adds 0, removes 1 and changes 0 entries; " + std::to_string(1 + services) +
                          " stay as they are.");
    PostMessageA(view, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(driver::WaitUntilGone(view));
    CHECK(driver::NoBoxOpen(dialog));
    CHECK_EQ(driver::ControlText(dialog, IDC_CONFIGURATIONS), "Work");
    CHECK(monitor.Stop());
    CHECK_EQ(fixture::ReadFileBytes(monitor.logPath()), "");
    CHECK_EQ(fixture::LiveState(), live);
    CHECK_EQ(fixture::Tree(HKEY_CURRENT_USER, kStore), stored);
}

TEST_CASE(LoadInTheChangesViewLoadsAsOkDoes) {
    Reset({"Work"}, {"Other"});
    OpenDialog dialog;
    HWND view = OpenChanges(dialog);
    driver::PressOk(view);
    driver::Answer(driver::WaitForBox(view), IDCANCEL);
    // Backing out of the warning keeps the view open.
    CHECK(driver::NoBoxOpen(view));
    CHECK_EQ(UserRun(), std::vector<std::string>{"Other=C:\\Other.exe"});

    driver::PressOk(view);
    Box warning = driver::WaitForBox(view);
    CHECK_EQ(warning.text, kM6);
    driver::Answer(warning, IDOK);
    Box done = driver::WaitForBox(view);
    CHECK_EQ(done.text, kM7);
    driver::Answer(done, IDOK);
    CHECK(driver::WaitUntilGone(view));
    CHECK_EQ(UserRun(), std::vector<std::string>{"Work=C:\\Work.exe"});
    CHECK_EQ(driver::ListEntries(dialog, IDC_CONFIGURATIONS), (std::vector<std::string>{"(before last load)", "Work"}));
    CHECK_EQ(driver::ControlText(dialog, IDC_CONFIGURATIONS), "Work");
    CHECK_EQ(EntryButtons(dialog), kEnabled);
}

TEST_CASE(TheChangesViewSaysWhichEntriesKeepAConfigurationFromLoading) {
    Reset({"Work"}, {"Other"});
    const std::string work = std::string(kStore) + "\\Work\\";
    fixture::SetString(HKEY_CURRENT_USER, work + "UserStartup\\Disabled", "..\\Out", "C:\\Out.exe");
    fixture::SetRaw(HKEY_CURRENT_USER, work + "HKCU-Run\\Approved", "Work", REG_BINARY, "\x03\0\0", 3);
    OpenDialog dialog;
    HWND view = OpenChanges(dialog);
    const std::string summary = driver::ControlText(view, IDC_CHANGE_SUMMARY);
    size_t services = 0;
    CHECK_EQ(RowsBesideServices(view, services),
             (std::vector<std::string>{"UserStartup|..\\Out|add||C:\\Out.exe (disabled)|invalid name; program not found",
                                       "HKCU-Run|Other|remove|C:\\Other.exe||",
                                       "HKCU-Run|Work|add||C:\\Work.exe|damaged value; program not found"}));
    CHECK_EQ(summary, "Loading \"Work\" adds 2, removes 1 and changes 0 entries; " + std::to_string(services) +
                          " stay as they are. This configuration cannot be loaded: it holds entries that cannot be "
                          "written.");
    PostMessageA(view, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(driver::WaitUntilGone(view));
}
