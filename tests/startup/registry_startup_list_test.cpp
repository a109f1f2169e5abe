#include "harness/check.h"
#include "harness/fixtures.h"
#include "startup/registry_startup_list.h"

#include <string>
#include <vector>

namespace {

// A live key and a disabled key below one scratch key.
struct Places {
    fixture::ScratchKey scratch{HKEY_CURRENT_USER, fixture::UniqueTestPath("registry-list")};
    std::string live = scratch.sub("Live");
    std::string disabled = scratch.sub("Disabled");

    RegistryStartupList List() const { return RegistryStartupList(3, HKEY_CURRENT_USER, live, HKEY_CURRENT_USER, disabled); }
};

std::string Describe(const StartupList& list) {
    std::string text;
    for (const StartupItem& item : list.Items()) {
        text += (item.enabled ? "+" : "-") + item.name + "=" + item.command + ";";
    }
    return text;
}

std::vector<std::string> Entries(const std::string& path) { return fixture::Snapshot(HKEY_CURRENT_USER, path); }

}  // namespace

TEST_CASE(MissingKeysGiveAnEmptyListAndAreNotCreated) {
    Places places;
    RegistryStartupList list = places.List();
    CHECK(list.Items().empty());
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, places.live));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, places.disabled));
    // Emptying and filling from an empty list touch nothing either.
    RegistryStartupList other = places.List();
    list.RemoveAll();
    list.AddAll(other);
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, places.live));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, places.disabled));
}

TEST_CASE(LiveItemsComeFirstThenDisabledInRegistryOrder) {
    Places places;
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Zed", "z.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Alpha", "a.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Beta", "b.exe -x");
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Same", "live.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Same", "parked.exe");
    RegistryStartupList list = places.List();
    CHECK_EQ(Describe(list), "+Beta=b.exe -x;+Same=live.exe;-Alpha=a.exe;-Same=parked.exe;-Zed=z.exe;");
    CHECK(list.ReadValues(HKEY_CURRENT_USER, places.live, 1));
    CHECK(!list.ReadValues(HKEY_CURRENT_USER, places.scratch.sub("Nowhere"), 1));
}

TEST_CASE(DefaultValueIsAnItemOnlyBesideNamedValues) {
    Places places;
    fixture::SetString(HKEY_CURRENT_USER, places.live, "", "default.exe");
    CHECK(places.List().Items().empty());

    fixture::SetString(HKEY_CURRENT_USER, places.live, "Named", "named.exe");
    RegistryStartupList list = places.List();
    CHECK_EQ(Describe(list), "+=default.exe;+Named=named.exe;");
    REQUIRE(list.Items().size() == 2);
    list.Remove(list.Items()[0]);
    CHECK(!fixture::ValueExists(HKEY_CURRENT_USER, places.live, ""));
    CHECK_EQ(Describe(list), "+Named=named.exe;");

    list.Add(StartupItem("", "again.exe", 1));
    CHECK_EQ(fixture::ReadValue(HKEY_CURRENT_USER, places.live, ""), "again.exe");
}

TEST_CASE(KeyWhoseValuesAreAllEmptyGivesNoItems) {
    Places places;
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "One", REG_SZ, "", 0);
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "Two", REG_SZ, "", 0);
    CHECK(places.List().Items().empty());
    // A string that holds only its terminating zero is an item with no command.
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Three", "");
    CHECK_EQ(Describe(places.List()), "+One=;+Three=;+Two=;");
}

TEST_CASE(ValuesReadAsTextAndAreWrittenBackWithTheirTypeAndBytes) {
    Places places;
    const DWORD number = 0x00636261;  // "abc" then a zero byte
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "Number", REG_DWORD, &number, sizeof(number));
    const char binary[] = {'x', 'y', '\0', 'z', 'w'};
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "Binary", REG_BINARY, binary, sizeof(binary));
    const char expand[] = "%SystemRoot%\\tool.exe";
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "Expand", REG_EXPAND_SZ, expand, sizeof(expand));
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "Multi", REG_MULTI_SZ, "a\0b\0", 5);
    fixture::SetRaw(HKEY_CURRENT_USER, places.live, "Empty", REG_SZ, "", 0);
    const std::vector<std::string> stored = fixture::RawSnapshot(HKEY_CURRENT_USER, places.live);
    RegistryStartupList list = places.List();
    CHECK_EQ(Describe(list), "+Binary=xy;+Empty=;+Expand=%SystemRoot%\\tool.exe;+Multi=a;+Number=abc;");

    const std::vector<StartupItem> read = list.Items();
    for (const StartupItem& item : read) {
        list.Remove(item);
        list.Add(item);
    }
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, places.live), stored);
    // Switched off and on again, each is the same value in either place.
    for (StartupItem item : read) CHECK(list.Disable(item));
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, places.disabled), stored);
    for (StartupItem item : read) {
        item.enabled = 0;
        CHECK(list.Enable(item));
    }
    CHECK_EQ(fixture::RawSnapshot(HKEY_CURRENT_USER, places.live), stored);
    CHECK(Entries(places.disabled).empty());
}

TEST_CASE(AddWritesIntoThePlaceItsFlagSelectsAndReplacesByName) {
    Places places;
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Tool", "old.exe");
    RegistryStartupList list = places.List();
    list.Add(StartupItem("TOOL", "new.exe /quiet", 1));
    CHECK_EQ(Describe(list), "+Tool=new.exe /quiet;");
    CHECK_EQ(Entries(places.live).size(), static_cast<size_t>(1));

    // The first disabled item creates the disabled key.
    CHECK(list.Add(StartupItem("Parked", "p.exe", 0)));
    CHECK_EQ(Entries(places.disabled), std::vector<std::string>{"Parked=p.exe"});
    CHECK_EQ(Describe(list), "+Tool=new.exe /quiet;-Parked=p.exe;");
}

TEST_CASE(RemoveOnAMissingKeyCreatesItEmpty) {
    Places places;
    RegistryStartupList list = places.List();
    CHECK(list.Remove(StartupItem("Ghost", "", 0)));
    CHECK(fixture::KeyExists(HKEY_CURRENT_USER, places.disabled));
    CHECK(Entries(places.disabled).empty());
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, places.live));
}

TEST_CASE(SubkeysAreNeitherReadNorTouched) {
    Places places;
    const std::string child = places.live + "\\Child";
    fixture::SetString(HKEY_CURRENT_USER, child, "Inner", "inner.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Outer", "outer.exe");
    RegistryStartupList list = places.List();
    CHECK_EQ(Describe(list), "+Outer=outer.exe;");
    list.Add(StartupItem("More", "more.exe", 1));
    list.RemoveAll();
    CHECK(list.Items().empty());
    CHECK(Entries(places.live).empty());
    CHECK_EQ(Entries(child), std::vector<std::string>{"Inner=inner.exe"});
}

TEST_CASE(RemoveAllEmptiesBothPlacesIncludingOneNameInBoth) {
    Places places;
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Same", "live.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Same", "parked.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Other", "o.exe");
    RegistryStartupList list = places.List();
    CHECK_EQ(list.Items().size(), static_cast<size_t>(3));
    list.RemoveAll();
    CHECK(list.Items().empty());
    CHECK(Entries(places.live).empty());
    CHECK(Entries(places.disabled).empty());
}

TEST_CASE(CopyingOneLocationOntoAnotherGivesExactlyTheSource) {
    Places source;
    Places target;
    fixture::SetString(HKEY_CURRENT_USER, source.live, "A", "a.exe");
    fixture::SetString(HKEY_CURRENT_USER, source.live, "Both", "both-live.exe");
    fixture::SetString(HKEY_CURRENT_USER, source.disabled, "Both", "both-parked.exe");
    fixture::SetString(HKEY_CURRENT_USER, source.disabled, "C", "c.exe");
    fixture::SetString(HKEY_CURRENT_USER, target.live, "Old", "old.exe");
    fixture::SetString(HKEY_CURRENT_USER, target.live, "A", "stale.exe");
    fixture::SetString(HKEY_CURRENT_USER, target.disabled, "OldParked", "x.exe");
    RegistryStartupList from = source.List();
    RegistryStartupList to = target.List();
    to.RemoveAll();
    to.AddAll(from);
    CHECK_EQ(Describe(to), Describe(from));
    CHECK_EQ(Entries(target.live), (std::vector<std::string>{"A=a.exe", "Both=both-live.exe"}));
    CHECK_EQ(Entries(target.disabled), (std::vector<std::string>{"Both=both-parked.exe", "C=c.exe"}));
    // The source is only read.
    CHECK_EQ(Entries(source.live), (std::vector<std::string>{"A=a.exe", "Both=both-live.exe"}));
}

TEST_CASE(RemoveAllStepsOverAValueStorageWillNotDelete) {
    // Without a UTF-8 code page this name reads back as "??", which names no
    // value, so its removal is refused.
    Places places;
    fixture::SetWideName(HKEY_CURRENT_USER, places.live, L"\x4e2d\x6587", L"cjk.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Alpha", "a.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Zulu", "z.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Parked", "p.exe");
    RegistryStartupList list = places.List();
    REQUIRE(list.Items().size() == 4);
    list.RemoveAll();
    CHECK_EQ(list.Items().size(), static_cast<size_t>(1));
    CHECK_EQ(fixture::ValueNamesW(HKEY_CURRENT_USER, places.live), std::vector<std::wstring>{L"\x4e2d\x6587"});
    CHECK(Entries(places.disabled).empty());
}

TEST_CASE(DisableAndEnableMoveAnItemBetweenThePlaces) {
    Places places;
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Tool", "tool.exe");
    RegistryStartupList list = places.List();
    StartupItem item("Tool", "tool.exe", 1);
    CHECK(list.Disable(item));
    CHECK_EQ(item.enabled, static_cast<unsigned char>(1));
    CHECK_EQ(Describe(list), "-Tool=tool.exe;");
    CHECK(Entries(places.live).empty());

    item.enabled = 0;
    CHECK(list.Enable(item));
    CHECK_EQ(item.enabled, static_cast<unsigned char>(0));
    CHECK_EQ(Describe(list), "+Tool=tool.exe;");
    CHECK(Entries(places.disabled).empty());

    // Disabling a disabled item, or enabling an enabled one, writes nothing.
    StartupItem parked("Nothing", "n.exe", 0);
    CHECK(!list.Disable(parked));
    StartupItem live("Nothing", "n.exe", 1);
    CHECK(list.Enable(live));
    CHECK_EQ(Describe(list), "+Tool=tool.exe;");
}

TEST_CASE(AFailedMoveKeepsTheEntryWhereItWas) {
    // A disabled key whose path is too long for the registry cannot be made.
    Places places;
    const std::string unreachable = places.scratch.sub(std::string(300, 'k'));
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Tool", "tool.exe");
    RegistryStartupList list(3, HKEY_CURRENT_USER, places.live, HKEY_CURRENT_USER, unreachable);
    StartupItem item("Tool", "tool.exe", 1);
    CHECK(!list.Disable(item));
    CHECK_EQ(Entries(places.live), std::vector<std::string>{"Tool=tool.exe"});
    CHECK_EQ(Describe(list), "+Tool=tool.exe;");

    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Parked", "p.exe");
    RegistryStartupList reverse(3, HKEY_CURRENT_USER, unreachable, HKEY_CURRENT_USER, places.disabled);
    StartupItem parked("Parked", "p.exe", 0);
    CHECK(!reverse.Enable(parked));
    CHECK_EQ(Entries(places.disabled), std::vector<std::string>{"Parked=p.exe"});
}

TEST_CASE(WriteValuesWritesTheChosenItemsAsStrings) {
    Places source;
    fixture::SetString(HKEY_CURRENT_USER, source.live, "On", "on.exe");
    fixture::SetString(HKEY_CURRENT_USER, source.disabled, "Off", "off.exe");
    RegistryStartupList list = source.List();
    Places target;
    fixture::CreateKey(HKEY_CURRENT_USER, target.live);
    fixture::CreateKey(HKEY_CURRENT_USER, target.disabled);
    CHECK(list.WriteValues(HKEY_CURRENT_USER, target.live, kSelectEnabled));
    CHECK(list.WriteValues(HKEY_CURRENT_USER, target.disabled, kSelectDisabled));
    CHECK_EQ(Entries(target.live), std::vector<std::string>{"On=on.exe"});
    CHECK_EQ(Entries(target.disabled), std::vector<std::string>{"Off=off.exe"});
    // The key is not created; with something to write that is a failure.
    CHECK(!list.WriteValues(HKEY_CURRENT_USER, target.scratch.sub("Missing"), kSelectEnabled));
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, target.scratch.sub("Missing")));
    // Nothing chosen is nothing failed.
    RegistryStartupList onlyLive(0, HKEY_CURRENT_USER, source.live, HKEY_CURRENT_USER, target.scratch.sub("None"));
    CHECK(onlyLive.WriteValues(HKEY_CURRENT_USER, target.scratch.sub("Missing"), kSelectDisabled));
}

TEST_CASE(StoreRewritesBothKeysFromTheList) {
    Places places;
    fixture::SetString(HKEY_CURRENT_USER, places.live, "On", "on.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Off", "off.exe");
    RegistryStartupList list = places.List();
    // Entries that appeared behind the list's back are dropped by a store.
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Stray", "stray.exe");
    CHECK(list.Store());
    CHECK_EQ(Entries(places.live), std::vector<std::string>{"On=on.exe"});
    CHECK_EQ(Entries(places.disabled), std::vector<std::string>{"Off=off.exe"});
}

TEST_CASE(StoreKeepsTheDisabledItemsWhenTheLiveWriteFails) {
    // Below a volatile key only volatile keys can be made, so once the store
    // has deleted the live key it cannot make it again.
    Places places;
    const std::string volatileParent = places.scratch.sub("Volatile");
    const std::string live = volatileParent + "\\Live";
    fixture::CreateKey(HKEY_CURRENT_USER, places.scratch.path());
    fixture::CreateVolatileKey(HKEY_CURRENT_USER, volatileParent);
    fixture::CreateVolatileKey(HKEY_CURRENT_USER, live);
    fixture::SetString(HKEY_CURRENT_USER, live, "On", "on.exe");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Off", "off.exe");
    RegistryStartupList list(3, HKEY_CURRENT_USER, live, HKEY_CURRENT_USER, places.disabled);
    REQUIRE(list.Items().size() == 2);
    CHECK(!list.Store());
    CHECK_EQ(Entries(places.disabled), std::vector<std::string>{"Off=off.exe"});
}

TEST_CASE(WatchSignalsOnValueChangesOnly) {
    Places places;
    fixture::CreateKey(HKEY_CURRENT_USER, places.live);
    RegistryStartupList list = places.List();
    HANDLE watch = list.StartWatch();
    REQUIRE(watch != INVALID_HANDLE_VALUE);
    fixture::CreateKey(HKEY_CURRENT_USER, places.live + "\\NewChild");
    fixture::SetString(HKEY_CURRENT_USER, places.disabled, "Parked", "p.exe");
    CHECK_EQ(WaitForSingleObject(watch, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    fixture::SetString(HKEY_CURRENT_USER, places.live, "Tool", "tool.exe");
    CHECK_EQ(WaitForSingleObject(watch, 5000), static_cast<DWORD>(WAIT_OBJECT_0));

    CHECK(list.RearmWatch(watch) == watch);
    CHECK_EQ(WaitForSingleObject(watch, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    list.Remove(StartupItem("Tool", "", 1));
    CHECK_EQ(WaitForSingleObject(watch, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    list.StopWatch(watch);

    RegistryStartupList unwatchable(3, HKEY_CURRENT_USER, places.scratch.sub(std::string(300, 'k')),
                                    HKEY_CURRENT_USER, places.disabled);
    CHECK(unwatchable.StartWatch() == INVALID_HANDLE_VALUE);
}
