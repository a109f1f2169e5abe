// Runs with the program's UTF-8 code page, under which a name or text can
// take more bytes than the registry's UTF-16 lengths announce.
#include "harness/check.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"
#include "startup/registry_startup_list.h"

#include <shlobj.h>

TEST_CASE(LongUtf8NamesAndTextsDoNotEndTheEnumeration) {
    REQUIRE(GetACP() == CP_UTF8);
    fixture::ScratchKey scratch(HKEY_CURRENT_USER, fixture::UniqueTestPath("utf8"));
    const std::string live = scratch.sub("Live");
    const std::wstring cjk = L"\x4e2d\x6587\x4e2d\x6587\x4e2d\x6587";
    fixture::SetWideName(HKEY_CURRENT_USER, live, cjk, cjk + cjk);
    fixture::SetWideName(HKEY_CURRENT_USER, live, L"\x9fa5", L"after.exe");  // enumerates after it
    RegistryStartupList list(3, HKEY_CURRENT_USER, live, HKEY_CURRENT_USER, scratch.sub("Disabled"));
    REQUIRE(list.Items().size() == 2);
    const std::string utf8Name = "\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87";
    CHECK_EQ(list.Items()[0].name, utf8Name);
    CHECK_EQ(list.Items()[0].command, utf8Name + utf8Name);
    CHECK_EQ(list.Items()[1].name, "\xe9\xbe\xa5");
    CHECK_EQ(list.Items()[1].command, "after.exe");

    // The UTF-8 name leads back to its value.
    list.RemoveAll();
    CHECK(list.Items().empty());
    CHECK(fixture::ValueNamesW(HKEY_CURRENT_USER, live).empty());
}

TEST_CASE(ANonAsciiShortcutTargetIsStoredAndWrittenExactly) {
    REQUIRE(GetACP() == CP_UTF8);
    fixture::Catalog catalog;
    const std::string folder = fixture::StartupFolder(CSIDL_STARTUP);
    // "Ünï " and 100 times "中": fewer characters than MAX_PATH, more bytes in UTF-8.
    std::string target = "C:\\Tools\\\xc3\x9cn\xc3\xaf ";
    for (int i = 0; i < 100; ++i) target += "\xe4\xb8\xad";
    REQUIRE(fixture::MakeShortcut(folder + "Tool.lnk", target + ".exe"));
    REQUIRE(catalog.set.SaveConfiguration("Wide"));
    const std::string stored = std::string(fixture::kConfigurations) + "\\Wide\\UserStartup";
    CHECK_EQ(fixture::ReadValue(HKEY_CURRENT_USER, stored + "\\Enabled", "Tool"), target + ".exe");
    // Without its stored bytes the shortcut is made again from its target.
    fixture::DeleteTree(HKEY_CURRENT_USER, stored + "\\Links");
    fixture::ClearLiveLocations();
    CHECK(catalog.set.LoadConfiguration("Wide"));
    CHECK_EQ(fixture::ShortcutsIn(folder), std::vector<std::string>{"Tool=" + target + ".exe"});
}
