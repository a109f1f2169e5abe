// Runs with the program's UTF-8 code page, under which a shortcut's target
// can hold any character.
#include "harness/check.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"

#include <shlobj.h>

#include <string>
#include <vector>

TEST_CASE(ANonAsciiShortcutTargetIsStoredAndWrittenExactly) {
    REQUIRE(GetACP() == CP_UTF8);
    fixture::Catalog catalog;
    const std::string folder = fixture::StartupFolder(CSIDL_STARTUP);
    // "Ünï" and 100 times "中": fewer characters than MAX_PATH, but more bytes
    // in UTF-8, which a buffer of MAX_PATH bytes would cut.
    std::string target = "C:\\Tools\\\xc3\x9cn\xc3\xaf ";
    for (int i = 0; i < 100; ++i) target += "\xe4\xb8\xad";
    target += ".exe";
    REQUIRE(fixture::MakeShortcut(folder + "Tool.lnk", target));
    REQUIRE(catalog.set.SaveConfiguration("Wide"));
    const std::string stored = std::string(fixture::kConfigurations) + "\\Wide\\UserStartup";
    CHECK_EQ(fixture::ReadValue(HKEY_CURRENT_USER, stored + "\\Enabled", "Tool"), target);
    // Without its stored bytes the shortcut is made again from the target.
    fixture::DeleteTree(HKEY_CURRENT_USER, stored + "\\Links");
    fixture::ClearLiveLocations();
    CHECK(catalog.set.LoadConfiguration("Wide"));
    CHECK_EQ(fixture::ShortcutsIn(folder), std::vector<std::string>{"Tool=" + target});
}
