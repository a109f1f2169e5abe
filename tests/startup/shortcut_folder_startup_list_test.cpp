#include "harness/check.h"
#include "harness/fixtures.h"
#include "harness/shell_fixtures.h"
#include "platform/handles.h"
#include "startup/shell_link_file.h"
#include "startup/shortcut_folder_startup_list.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A shortcut folder list over a fresh temporary folder and a fresh disabled
// key, with OLE initialised for the shell link object.
struct Setup {
    explicit Setup(const std::string& label)
        : folder(label), disabled(HKEY_CURRENT_USER, fixture::UniqueTestPath(label)) {
        REQUIRE(ole.ok());
        REQUIRE(fixture::DirectoryExists(folder.path()));
    }
    ShortcutFolderStartupList List() const {
        return ShortcutFolderStartupList(0, folder.path(), HKEY_CURRENT_USER, disabled.path());
    }
    std::string Disabled(const std::string& name) const {
        return fixture::ReadValue(HKEY_CURRENT_USER, disabled.path(), name);
    }

    fixture::OleSession ole;
    fixture::TempFolder folder;
    fixture::ScratchKey disabled;
};

std::string Describe(const std::vector<StartupItem>& items) {
    std::string text;
    for (const StartupItem& item : items) {
        text += "[" + item.name + "|" + item.command + "|" + std::to_string(item.enabled) + "]";
    }
    return text;
}

// A file that loads as a shortcut of that target, and keeps existing.
std::string ExistingTarget(const Setup& setup, const std::string& name) {
    const std::string path = setup.folder.file(name);
    fixture::WriteFileText(path, "x");
    return path;
}

// Writes the shortcut again with a target of the same length and moves its
// write time one second on; true when the file kept its size.
bool RewriteWithTheSameSize(const std::string& path, const std::string& target) {
    WIN32_FILE_ATTRIBUTE_DATA old;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &old)) return false;
    if (!fixture::MakeShortcut(path, target)) return false;
    ULARGE_INTEGER time{{old.ftLastWriteTime.dwLowDateTime, old.ftLastWriteTime.dwHighDateTime}};
    time.QuadPart += 10000000;
    const FILETIME later{time.LowPart, time.HighPart};
    const UniqueHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && SetFileTime(file.get(), nullptr, nullptr, &later) &&
           fixture::ReadFileBytes(path).size() == old.nFileSizeLow;
}

std::string Repeat(char c, size_t count) { return std::string(count, c); }

std::string Join(std::vector<std::string> texts) {
    std::string joined;
    for (const std::string& text : texts) joined += "<" + text + ">";
    return joined;
}

}  // namespace

// ---- Reading the folder -------------------------------------------------------------------------------------

TEST_CASE(ShortcutBecomesOneEnabledItemNamedAfterItsFile) {
    Setup setup("read");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    auto list = setup.List();
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\foo.exe|1]"));
}

TEST_CASE(NameIsTheFileNameUpToItsLastDot) {
    Setup setup("dots");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.exe.lnk"), "C:\\Tools\\foo.exe"));
    REQUIRE(fixture::MakeShortcut(setup.folder.file(".lnk"), "C:\\Tools\\bare.exe"));
    auto list = setup.List();
    // The file system lists ".lnk" before "Foo.exe.lnk".
    CHECK_EQ(Describe(list.Items()), std::string("[|C:\\Tools\\bare.exe|1][Foo.exe|C:\\Tools\\foo.exe|1]"));

    StartupItem fooExe = list.Items().at(1);
    list.Remove(fooExe);
    CHECK(!fixture::FileExists(setup.folder.file("Foo.exe.lnk")));
    CHECK(fixture::FileExists(setup.folder.file(".lnk")));
    CHECK_EQ(Describe(list.Items()), std::string("[|C:\\Tools\\bare.exe|1]"));

    StartupItem unnamed = list.Items().at(0);
    list.Remove(unnamed);
    CHECK(!fixture::FileExists(setup.folder.file(".lnk")));
    CHECK(list.Items().empty());
}

TEST_CASE(ArgumentsAreNeitherReadNorWrittenBack) {
    Setup setup("args");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe", "/min /quiet"));
    REQUIRE(fixture::ReadShortcut(setup.folder.file("Foo.lnk")).arguments == "/min /quiet");
    auto list = setup.List();
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\foo.exe|1]"));

    // What a save followed by a load does to the folder: a copy of the items,
    // everything removed, the copy added back.
    fixture::TempFolder stored("args-copy");
    ShortcutFolderStartupList copy(0, stored.path(), HKEY_CURRENT_USER, setup.disabled.sub("Copy"));
    copy.AddAll(list);
    list.RemoveAll();
    CHECK(!fixture::FileExists(setup.folder.file("Foo.lnk")));
    list.AddAll(copy);
    const fixture::ShortcutContent recreated = fixture::ReadShortcut(setup.folder.file("Foo.lnk"));
    CHECK(recreated.loaded);
    CHECK_EQ(recreated.target, std::string("C:\\Tools\\foo.exe"));
    CHECK_EQ(recreated.arguments, std::string(""));
}

TEST_CASE(AShortcutSavedUnderAnotherExtensionIsAFileItem) {
    Setup setup("bak");
    const std::string path = setup.folder.file("Foo.bak");
    REQUIRE(fixture::MakeShortcut(path, "C:\\Tools\\foo.exe"));
    auto list = setup.List();
    CHECK_EQ(Describe(list.Items()), "[Foo.bak|" + path + "|1]");
    StartupItem foo = list.Items().at(0);
    CHECK(foo.IsFile());
    // The disabled place parks shortcuts only.
    CHECK(!list.Disable(foo));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, setup.disabled.path()));
    list.Remove(foo);
    CHECK(!fixture::FileExists(path));
    CHECK(list.Items().empty());
}

TEST_CASE(EveryOtherFileIsAnItemButSubFoldersHiddenSystemFilesAndLargeOnes) {
    Setup setup("other");
    const std::string ini = setup.folder.file("desktop.ini");
    REQUIRE(fixture::WriteFileText(ini, "[.ShellClassInfo]\r\nLocalizedResourceName=@shell32.dll,-21787\r\n"));
    REQUIRE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    REQUIRE(fixture::WriteFileText(setup.folder.file("Empty.lnk"), ""));
    REQUIRE(CreateDirectoryA(setup.folder.file("Sub.lnk").c_str(), nullptr));
    REQUIRE(CreateDirectoryA(setup.folder.file("Sub.bat").c_str(), nullptr));
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Sub.lnk\\Inner.lnk"), "C:\\Tools\\inner.exe"));
    REQUIRE(fixture::WriteFileText(setup.folder.file("Large.exe"), std::string(kLargestFileItem + 1, 'L')));
    REQUIRE(fixture::WriteFileText(setup.folder.file("Limit.exe"), std::string(kLargestFileItem, 'L')));
    REQUIRE(fixture::WriteFileText(setup.folder.file("run.bat"), "@echo off\r\n"));
    auto list = setup.List();
    CHECK_EQ(Describe(list.Items()), "[Limit.exe|" + setup.folder.file("Limit.exe") + "|1][run.bat|" +
                                         setup.folder.file("run.bat") + "|1]");
    CHECK(list.LeavesOut("desktop.ini") && list.LeavesOut("Large.exe") && list.LeavesOut("Sub.bat"));
    CHECK(!list.LeavesOut("Limit.exe") && !list.LeavesOut("Missing.exe"));
}

TEST_CASE(DisabledItemsFollowAllEnabledItems) {
    Setup setup("order");
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Beta", "C:\\b.exe");
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Alpha", "C:\\a.exe");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Zed.lnk"), "C:\\Tools\\zed.exe"));
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Yak.lnk"), "C:\\Tools\\yak.exe"));
    auto list = setup.List();
    CHECK_EQ(Describe(list.Items()), std::string("[Yak|C:\\Tools\\yak.exe|1][Zed|C:\\Tools\\zed.exe|1]"
                                                 "[Alpha|C:\\a.exe|0][Beta|C:\\b.exe|0]"));
}

TEST_CASE(ShortcutChangedByAnotherProgramIsReadWithItsNewTarget) {
    Setup setup("changed");
    const std::string path = setup.folder.file("Foo.lnk");
    REQUIRE(fixture::MakeShortcut(path, "C:\\Tools\\one.exe"));
    auto list = setup.List();
    const size_t size = fixture::ReadFileBytes(path).size();
    REQUIRE(fixture::MakeShortcut(path, "C:\\Tools\\longer\\two.exe"));
    REQUIRE(fixture::ReadFileBytes(path).size() != size);
    list.Reload();
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\longer\\two.exe|1]"));

    REQUIRE(RewriteWithTheSameSize(path, "C:\\Tools\\longer\\six.exe"));
    list.Reload();
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\longer\\six.exe|1]"));
}

// The list knows the files it writes, also under their short names, and keeps
// what it reads of each for a configuration.
TEST_CASE(AShortcutTheListWritesIsReadAgainWhateverItsTimeStamps) {
    Setup setup("rewritten");
    const std::string path = setup.folder.file("Long name.lnk");
    auto list = setup.List();
    list.Add(StartupItem("Long name", "C:\\Tools\\one.exe", 1));
    REQUIRE(Describe(list.Items()) == "[Long name|C:\\Tools\\one.exe|1]");
    char shortPath[MAX_PATH] = {};
    REQUIRE(GetShortPathNameA(path.c_str(), shortPath, MAX_PATH) > 0);
    std::string shortName = std::string(shortPath).substr(std::string(shortPath).find_last_of('\\') + 1);
    shortName.erase(shortName.find_last_of('.'));
    REQUIRE(shortName != "Long name");
    WIN32_FILE_ATTRIBUTE_DATA before;
    REQUIRE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &before));
    REQUIRE(list.WriteItem(StartupItem(shortName, "C:\\Tools\\two.exe", 1)));
    {
        const UniqueHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        REQUIRE(SetFileTime(file.get(), &before.ftCreationTime, nullptr, &before.ftLastWriteTime));
    }
    REQUIRE(fixture::ReadFileBytes(path).size() == before.nFileSizeLow);
    list.Reload();
    CHECK_EQ(Describe(list.Items()), std::string("[Long name|C:\\Tools\\two.exe|1]"));
    std::string bytes;
    std::string target;
    CHECK(list.ShortcutFileBytes("LONG NAME", bytes, &target));
    CHECK(bytes == fixture::ReadFileBytes(path));
    CHECK_EQ(target, "C:\\Tools\\two.exe");
    CHECK(!list.ShortcutFileBytes("Other", bytes));
}

TEST_CASE(ShortcutReplacedByAFileThatIsNoShortcutDisappears) {
    Setup setup("replaced");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Bar.lnk"), "C:\\Tools\\bar.exe"));
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    auto list = setup.List();
    REQUIRE(list.Items().size() == 2);
    REQUIRE(fixture::WriteFileText(setup.folder.file("Foo.lnk"), "no shortcut"));
    list.Reload();
    CHECK_EQ(Describe(list.Items()), std::string("[Bar|C:\\Tools\\bar.exe|1]"));
}

// ---- Add and Remove ---------------------------------------------------------------------------------------------

TEST_CASE(AddWritesTheWholeCommandAsTheTarget) {
    Setup setup("target");
    auto list = setup.List();
    // An existing file whose name looks like a program and an argument: the
    // shell reads an existing target back unchanged.
    const std::string existing = ExistingTarget(setup, "foo.exe -min");
    list.Add(StartupItem("Real", existing, 1));
    const fixture::ShortcutContent real = fixture::ReadShortcut(setup.folder.file("Real.lnk"));
    CHECK(real.loaded);
    CHECK_EQ(real.target, existing);
    CHECK_EQ(real.arguments, std::string(""));

    // A missing target with a slash: the file keeps "foo.exe /min" as the
    // last part of the target, in its 8-bit and its wide form, and the shell
    // reads the path back with the slash turned round.
    list.Add(StartupItem("Foo", "C:\\Tools\\foo.exe /min", 1));
    const std::string bytes = fixture::ReadFileBytes(setup.folder.file("Foo.lnk"));
    const std::wstring wide = L"foo.exe /min";
    const std::string wideBytes(reinterpret_cast<const char*>(wide.c_str()), wide.size() * sizeof(wchar_t));
    CHECK(bytes.find("foo.exe /min") != std::string::npos);
    CHECK(bytes.find(wideBytes) != std::string::npos);
    const fixture::ShortcutContent foo = fixture::ReadShortcut(setup.folder.file("Foo.lnk"));
    CHECK_EQ(foo.target, std::string("C:\\Tools\\foo.exe \\min"));
    CHECK_EQ(foo.arguments, std::string(""));
    CHECK(list.Holds("Foo", 1));
}

TEST_CASE(AddReplacesAnExistingShortcut) {
    Setup setup("replace");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\old.exe", "-old"));
    auto list = setup.List();
    list.Add(StartupItem("Foo", "C:\\Tools\\new.exe", 1));
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\new.exe|1]"));
    const fixture::ShortcutContent content = fixture::ReadShortcut(setup.folder.file("Foo.lnk"));
    CHECK_EQ(content.target, std::string("C:\\Tools\\new.exe"));
    CHECK_EQ(content.arguments, std::string(""));

    // Again, with a target of the same length and the name in another case:
    // the file keeps its name.
    list.Add(StartupItem("FOO", "C:\\Tools\\two.exe", 1));
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\two.exe|1]"));
}

TEST_CASE(DisabledItemsLiveInTheDisabledKey) {
    Setup setup("disabled");
    auto list = setup.List();
    REQUIRE(!fixture::KeyExists(HKEY_CURRENT_USER, setup.disabled.path()));
    list.Add(StartupItem("Foo", "C:\\Tools\\foo.exe", 0));
    CHECK_EQ(setup.Disabled("Foo"), std::string("C:\\Tools\\foo.exe"));
    list.Add(StartupItem("", "C:\\Tools\\default.exe", 0));
    CHECK_EQ(setup.Disabled(""), std::string("C:\\Tools\\default.exe"));
    CHECK_EQ(Describe(list.Items()), std::string("[|C:\\Tools\\default.exe|0][Foo|C:\\Tools\\foo.exe|0]"));
    CHECK(fixture::FolderEntries(setup.folder.path()).empty());

    StartupItem unnamed = list.Items().at(0);
    list.Remove(unnamed);
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, setup.disabled.path(), ""));
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\foo.exe|0]"));
}

TEST_CASE(RemoveOfADisabledItemWithoutItsKeyChangesNothing) {
    Setup setup("nokey");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    auto list = setup.List();
    CHECK(list.Remove(StartupItem("Foo", "C:\\Tools\\foo.exe", 0)));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, setup.disabled.path()));
    CHECK(fixture::FileExists(setup.folder.file("Foo.lnk")));
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\foo.exe|1]"));
}

// ---- Paths that do not fit ----------------------------------------------------------------------------------------

TEST_CASE(ShellLinkFileRefusesPathsOf260CharactersOrMore) {
    Setup setup("longlink");
    const std::string folder = setup.folder.path();
    REQUIRE(folder.size() < 200);
    const std::string fits = folder + Repeat('a', 259 - folder.size() - 4) + ".lnk";
    const std::string tooLong = folder + Repeat('b', 260 - folder.size() - 4) + ".lnk";
    REQUIRE(fits.size() == 259);
    REQUIRE(tooLong.size() == 260);
    REQUIRE(fixture::MakeShortcut(fits, "C:\\Tools\\fits.exe"));
    REQUIRE(fixture::MakeShortcut(tooLong, "C:\\Tools\\long.exe"));

    ShellLinkFile link;
    CHECK(link.LoadFrom(fits));
    char target[MAX_PATH];
    WIN32_FIND_DATAA data;
    CHECK(link.GetTarget(target, MAX_PATH, &data, 0));
    CHECK_EQ(std::string(target), std::string("C:\\Tools\\fits.exe"));
    CHECK(!link.LoadFrom(tooLong));
    CHECK(!link.LoadFrom(tooLong + Repeat('c', 300)));

    CHECK(link.SetTarget("C:\\Tools\\other.exe"));
    CHECK(!link.SaveTo(folder + Repeat('d', 260 - folder.size() - 4) + ".lnk"));
    CHECK(link.SaveTo(folder + Repeat('e', 259 - folder.size() - 4) + ".lnk"));
    CHECK(fixture::FileExists(folder + Repeat('e', 259 - folder.size() - 4) + ".lnk"));
    CHECK(!fixture::FileExists(folder + Repeat('d', 260 - folder.size() - 4) + ".lnk"));
}

TEST_CASE(LongFileNamesAreReadWhileTheirPathFits) {
    Setup setup("longname");
    const std::string folder = setup.folder.path();
    // The longest name whose shortcut path the shell can still load: the
    // 255-character cut is out of reach here, as the path limit comes first.
    const std::string longest = Repeat('n', 259 - folder.size() - 4);
    const std::string beyond = Repeat('m', 260 - folder.size() - 4);
    REQUIRE(fixture::MakeShortcut(folder + longest + ".lnk", "C:\\Tools\\n.exe"));
    REQUIRE(fixture::MakeShortcut(folder + beyond + ".lnk", "C:\\Tools\\m.exe"));
    auto list = setup.List();
    CHECK_EQ(Describe(list.Items()), Describe({StartupItem(longest, "C:\\Tools\\n.exe", 1)}));
}

TEST_CASE(AddOfAShortcutWhosePathDoesNotFitWritesNothing) {
    Setup setup("longadd");
    const std::string folder = setup.folder.path();
    auto list = setup.List();
    for (size_t length : {260 - folder.size() - 4, 300 - folder.size(), size_t(600)}) {
        CHECK(list.Add(StartupItem(Repeat('x', length), "C:\\Tools\\x.exe", 1)));
    }
    CHECK(fixture::FolderEntries(folder).empty());
    CHECK(list.Items().empty());
}

// ---- Watching the folder ------------------------------------------------------------------------------------------

TEST_CASE(WatchSignalsANewFileAndIsRearmed) {
    Setup setup("watch");
    REQUIRE(CreateDirectoryA(setup.folder.file("Sub").c_str(), nullptr));
    auto list = setup.List();
    HANDLE watch = list.StartWatch();
    REQUIRE(watch != INVALID_HANDLE_VALUE && watch != nullptr);
    CHECK_EQ(WaitForSingleObject(watch, 200), static_cast<DWORD>(WAIT_TIMEOUT));

    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    CHECK_EQ(WaitForSingleObject(watch, 5000), static_cast<DWORD>(WAIT_OBJECT_0));

    CHECK(list.RearmWatch(watch) == watch);
    // Let the notifications of the save settle before looking for silence.
    while (WaitForSingleObject(watch, 200) == WAIT_OBJECT_0) list.RearmWatch(watch);
    CHECK_EQ(WaitForSingleObject(watch, 200), static_cast<DWORD>(WAIT_TIMEOUT));

    // Sub-folders are not watched.
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Sub\\Inner.lnk"), "C:\\Tools\\inner.exe"));
    CHECK_EQ(WaitForSingleObject(watch, 500), static_cast<DWORD>(WAIT_TIMEOUT));

    CHECK(DeleteFileA(setup.folder.file("Foo.lnk").c_str()));
    CHECK_EQ(WaitForSingleObject(watch, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    list.StopWatch(watch);
}

TEST_CASE(WatchOfAFolderPathThatDoesNotFitFails) {
    Setup setup("watchlong");
    const std::string base = setup.folder.path();
    const std::string fits = base + Repeat('f', 258 - base.size()) + "\\";
    const std::string tooLong = base + Repeat('g', 259 - base.size()) + "\\";
    REQUIRE(fits.size() == 259);
    REQUIRE(tooLong.size() == 260);
    REQUIRE(CreateDirectoryW(fixture::LongPath(fits).c_str(), nullptr));
    REQUIRE(CreateDirectoryW(fixture::LongPath(tooLong).c_str(), nullptr));

    ShortcutFolderStartupList fitting(0, fits, HKEY_CURRENT_USER, setup.disabled.path());
    HANDLE watch = fitting.StartWatch();
    CHECK(watch != INVALID_HANDLE_VALUE);
    if (watch != INVALID_HANDLE_VALUE) fitting.StopWatch(watch);

    ShortcutFolderStartupList longer(0, tooLong, HKEY_CURRENT_USER, setup.disabled.path());
    CHECK(longer.StartWatch() == INVALID_HANDLE_VALUE);
    ShortcutFolderStartupList longest(0, tooLong + Repeat('h', 400) + "\\", HKEY_CURRENT_USER, setup.disabled.path());
    CHECK(longest.StartWatch() == INVALID_HANDLE_VALUE);
}

// ---- Store ------------------------------------------------------------------------------------------------------

TEST_CASE(StoreWritesShortcutsAndDisabledItemsBack) {
    Setup setup("store");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Bar", "C:\\Tools\\bar.exe");
    auto list = setup.List();
    REQUIRE(list.Items().size() == 2);
    REQUIRE(DeleteFileA(setup.folder.file("Foo.lnk").c_str()));
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Stray", "C:\\Tools\\stray.exe");

    CHECK(list.Store());
    CHECK_EQ(fixture::ReadShortcut(setup.folder.file("Foo.lnk")).target, std::string("C:\\Tools\\foo.exe"));
    CHECK_EQ(Join(fixture::Snapshot(HKEY_CURRENT_USER, setup.disabled.path())), std::string("<Bar=C:\\Tools\\bar.exe>"));
}

TEST_CASE(StoreWithoutEnabledItemsStillWritesTheDisabledOnes) {
    Setup setup("storedisabled");
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Bar", "C:\\Tools\\bar.exe");
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "", "C:\\Tools\\default.exe");
    auto list = setup.List();
    REQUIRE(list.Items().size() == 2);
    CHECK(list.Store());
    CHECK_EQ(Join(fixture::Snapshot(HKEY_CURRENT_USER, setup.disabled.path())),
             std::string("<=C:\\Tools\\default.exe><Bar=C:\\Tools\\bar.exe>"));
    CHECK(fixture::FolderEntries(setup.folder.path()).empty());
}

TEST_CASE(StoreKeepsTheDisabledItemsWhenAShortcutCannotBeSaved) {
    Setup setup("storefail");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Bar", "C:\\Tools\\bar.exe");
    auto list = setup.List();
    REQUIRE(list.Items().size() == 2);
    // A folder now stands where the shortcut is to be written.
    REQUIRE(DeleteFileA(setup.folder.file("Foo.lnk").c_str()));
    REQUIRE(CreateDirectoryA(setup.folder.file("Foo.lnk").c_str(), nullptr));
    CHECK(!list.Store());
    CHECK_EQ(Join(fixture::Snapshot(HKEY_CURRENT_USER, setup.disabled.path())), std::string("<Bar=C:\\Tools\\bar.exe>"));
}

// ---- RemoveAll, Disable and Enable --------------------------------------------------------------------------------

TEST_CASE(RemoveAllStepsOverShortcutsThatCannotBeDeleted) {
    Setup setup("removeall");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Alpha.lnk"), "C:\\Tools\\alpha.exe"));
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Fixed.lnk"), "C:\\Tools\\fixed.exe"));
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.bak"), "C:\\Tools\\foo.exe"));
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Zulu.lnk"), "C:\\Tools\\zulu.exe"));
    REQUIRE(SetFileAttributesA(setup.folder.file("Fixed.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "Off", "C:\\Tools\\off.exe");
    auto list = setup.List();
    REQUIRE(list.Items().size() == 5);

    list.RemoveAll();
    CHECK_EQ(Describe(list.Items()), std::string("[Fixed|C:\\Tools\\fixed.exe|1]"));
    CHECK_EQ(Join(fixture::FolderEntries(setup.folder.path())), std::string("<Fixed.lnk>"));
    CHECK(fixture::Snapshot(HKEY_CURRENT_USER, setup.disabled.path()).empty());
}

TEST_CASE(DisableMovesTheShortcutIntoTheDisabledKey) {
    Setup setup("disable");
    REQUIRE(fixture::MakeShortcut(setup.folder.file("Foo.lnk"), "C:\\Tools\\foo.exe"));
    auto list = setup.List();
    StartupItem foo = list.Items().at(0);
    CHECK(list.Disable(foo));
    CHECK_EQ(foo.enabled, static_cast<unsigned char>(1));
    CHECK(!fixture::FileExists(setup.folder.file("Foo.lnk")));
    CHECK_EQ(setup.Disabled("Foo"), std::string("C:\\Tools\\foo.exe"));
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\foo.exe|0]"));

    StartupItem off = list.Items().at(0);
    CHECK(!list.Disable(off));
    CHECK(list.Enable(off));
    CHECK_EQ(off.enabled, static_cast<unsigned char>(0));
    CHECK_EQ(fixture::ReadShortcut(setup.folder.file("Foo.lnk")).target, std::string("C:\\Tools\\foo.exe"));
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, setup.disabled.path(), "Foo"));
    CHECK_EQ(Describe(list.Items()), std::string("[Foo|C:\\Tools\\foo.exe|1]"));
}

TEST_CASE(EnableKeepsTheDisabledValueWhenTheShortcutCannotBeWritten) {
    Setup setup("enablefail");
    fixture::SetString(HKEY_CURRENT_USER, setup.disabled.path(), "a|b", "C:\\Tools\\ab.exe");
    auto list = setup.List();
    StartupItem item = list.Items().at(0);
    CHECK(!list.Enable(item));
    CHECK_EQ(item.enabled, static_cast<unsigned char>(0));
    CHECK_EQ(setup.Disabled("a|b"), std::string("C:\\Tools\\ab.exe"));
    CHECK(fixture::FolderEntries(setup.folder.path()).empty());
    CHECK_EQ(Describe(list.Items()), std::string("[a|b|C:\\Tools\\ab.exe|0]"));
}

// ---- Names a load may give a file of the folder -----------------------------------------------------------------

TEST_CASE(OnlyNamesOfFilesOfTheFolderItselfAreWritten) {
    Setup setup("names");
    // The names the rule gets wrong.
    std::vector<std::string> wrong;
    for (const char* name : {"", "a\\b", "..\\up.bat", "a/b", "a:b", "a\x1f" "b", ".", "..", "trail.", "trail ", "CON",
                             "nul", "Com1.txt", "lpt9.lnk", "AUX .bat", "PRN.a.b"}) {
        if (IsFolderFileName(name)) wrong.push_back(name);
    }
    for (const char* name : {"a b.lnk", "\xc3\xbc.bat", "x..y", ".lnk", "CONSOLE", "COM0", "LPT10", "nul_"}) {
        if (!IsFolderFileName(name)) wrong.push_back(name);
    }
    CHECK_EQ(wrong, std::vector<std::string>{});
    auto list = setup.List();
    // A shortcut's name counts with ".lnk".
    CHECK(!list.WriteItem(StartupItem("..\\Out", "C:\\Tools\\out.exe", 1)));
    CHECK(!list.WriteShortcutFile("NUL", "bytes"));
    CHECK(!list.WriteWholeFile("..\\out.bat", "x"));
    CHECK(!fixture::FileExists(setup.folder.file("..\\Out.lnk")) && !fixture::FileExists(setup.folder.file("..\\out.bat")));
}
