// Runs with the program's UTF-8 code page, under which a name or text can
// take more bytes than the registry's UTF-16 lengths announce.
#include "harness/check.h"
#include "harness/fixtures.h"
#include "startup/registry_startup_list.h"

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
