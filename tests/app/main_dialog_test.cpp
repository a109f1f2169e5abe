// Starts veltrane.exe without arguments and drives its dialog from this process.
#include "app/resource.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using driver::Box;

const char kStore[] = "Software\\Ostrel\\Veltrane";
const char kUserRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

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
    OpenDialog() : program(driver::Program::Start("")), window(program.WaitForDialog()) { REQUIRE(window != nullptr); }
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

// Seconds since 1601 of a local time, or of a default name's time.
ULONGLONG Seconds(const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return ((static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime) / 10000000;
}

bool ParseDefaultName(const std::string& text, SYSTEMTIME& time) {
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != std::strlen("Backup Tue Mar 07 09:05:03 2000") || text.compare(0, 7, "Backup ") != 0) {
        return false;
    }
    const char* format = "Backup www mmm 00 00:00:00 0000";
    for (size_t i = 0; i < text.size(); ++i) {
        if (format[i] == '0' && (text[i] < '0' || text[i] > '9')) return false;
        if ((format[i] == ' ' || format[i] == ':') && text[i] != format[i]) return false;
    }
    time = SYSTEMTIME{};
    time.wDayOfWeek = 7;
    for (WORD i = 0; i < 7; ++i) if (text.compare(7, 3, kDays[i]) == 0) time.wDayOfWeek = i;
    for (WORD i = 0; i < 12; ++i) if (text.compare(11, 3, kMonths[i]) == 0) time.wMonth = i + 1;
    time.wDay = static_cast<WORD>(std::stoi(text.substr(15, 2)));
    time.wHour = static_cast<WORD>(std::stoi(text.substr(18, 2)));
    time.wMinute = static_cast<WORD>(std::stoi(text.substr(21, 2)));
    time.wSecond = static_cast<WORD>(std::stoi(text.substr(24, 2)));
    time.wYear = static_cast<WORD>(std::stoi(text.substr(27, 4)));
    return time.wDayOfWeek < 7 && time.wMonth != 0;
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
    SYSTEMTIME shown{};
    REQUIRE(ParseDefaultName(name, shown));
    CHECK(Seconds(before) <= Seconds(shown) && Seconds(shown) <= Seconds(after));
    // The weekday must be the one of the date shown.
    SYSTEMTIME check{};
    FILETIME file{};
    SystemTimeToFileTime(&shown, &file);
    FileTimeToSystemTime(&file, &check);
    CHECK_EQ(shown.wDayOfWeek, check.wDayOfWeek);
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
    // Nothing in the dialog changes after a load.
    CHECK(driver::Checked(dialog, IDC_LOAD));
    CHECK_EQ(driver::ListSelection(dialog, IDC_CONFIGURATIONS), 0);
}

TEST_CASE(AConfigurationGoneSinceTheListWasFilled) {
    Reset({"Work"}, {"Other"});
    OpenDialog dialog;
    driver::Click(dialog, IDC_LOAD);
    driver::Select(dialog, IDC_CONFIGURATIONS, 0);
    fixture::DeleteTree(HKEY_CURRENT_USER, std::string(kStore) + "\\Work");
    driver::Answer(OkShows(dialog, kM5, kOk), IDOK);
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
