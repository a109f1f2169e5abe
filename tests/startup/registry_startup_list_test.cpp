#include "harness/check.h"
#include "harness/fixtures.h"
#include "startup/registry_startup_list.h"

TEST_CASE(EmptyKeysGiveAnEmptyListAndAreNotCreated) {
    fixture::ScratchKey scratch(HKEY_CURRENT_USER, fixture::UniqueTestPath("empty"));
    RegistryStartupList list(3, HKEY_CURRENT_USER, scratch.sub("Live"), HKEY_CURRENT_USER, scratch.sub("Disabled"));
    CHECK(list.Items().empty());
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, scratch.sub("Live")));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, scratch.sub("Disabled")));
}
