#include "harness/check.h"
#include "harness/fixtures.h"
#include "harness/package_fixtures.h"
#include "startup/packaged_task_startup_list.h"

#include <string>
#include <vector>

namespace {

// "name=state display" for every item.
std::vector<std::string> Items(const StartupList& list) {
    std::vector<std::string> items;
    for (const StartupItem& item : list.Items()) {
        DWORD state = 0;
        items.push_back(item.name + "=" + (ReadTaskState(item, state) ? std::to_string(state) : "?") + " " +
                        TaskDisplayName(item));
    }
    return items;
}

}  // namespace

TEST_CASE(TheItemsAreTheTasksTheInstalledPackagesDeclareAndOnlyTheyAreSet) {
    fixture::PackageRepository repository;
    fixture::TestPackage chat("VtChat_10.0.0.0_x64__vtpub1",
                              fixture::ManifestDeclaring({{"uap5", "ChatStartup", "true", "Chat"},
                                                          {"uap5", "Helper", "", "ms-resource:HelperName"}}));
    // An older version too: its own task counts, the newer one's manifest gives the rest.
    fixture::TestPackage oldChat("VtChat_9.5.0.0_x64__vtpub1",
                                 fixture::ManifestDeclaring({{"uap5", "ChatStartup", "", "Old chat"},
                                                             {"desktop", "Legacy", "1", ""}}));
    fixture::TestPackage music("VtMusic_1.0.0.0_neutral__vtpub2",
                               fixture::ManifestDeclaring({{"desktop", "MusicTray", " true ", "Music"},
                                                           {"desktop", "Bad\\Id", "true", ""},
                                                           {"desktop", "\xE4\xB8\xAD", "true", "No key name here"}}));
    fixture::TestPackage phone("VtPhone_1.0.0.0_x64__vtpub3", fixture::ManifestDeclaring({}));
    // Cut off after its task: a manifest that does not parse to its end declares none.
    const std::string whole = fixture::ManifestDeclaring({{"uap5", "Half", "true", ""}});
    fixture::TestPackage broken("VtBroken_1.0.0.0_x64__vtpub4", whole.substr(0, whole.find("</Applications>")));
    fixture::SetTaskState("VtChat_vtpub1", "Helper", kTaskDisabledByUser);
    fixture::SetTaskState("VtMusic_vtpub2", "MusicTray", kTaskDisabledByPolicy);

    PackagedTaskStartupList list(10);
    CHECK(list.HoldsSwitches());
    CHECK_EQ(Items(list), (std::vector<std::string>{"VtChat_vtpub1\\ChatStartup=2 Chat",
                                                    "VtChat_vtpub1\\Helper=1 Helper",
                                                    "VtChat_vtpub1\\Legacy=2 Legacy",
                                                    "VtMusic_vtpub2\\MusicTray=3 Music"}));
    // Resolved only where it is shown: Wine has no package resources.
    CHECK_EQ(list.Items()[1].command, "@{VtChat_10.0.0.0_x64__vtpub1?ms-resource:HelperName}");

    // A write sets State, of a task the list holds, to a state a user may choose.
    CHECK(list.WriteItem(TaskItem("VtChat_vtpub1", "ChatStartup", "", kTaskDisabledByUser)));
    CHECK_EQ(fixture::TaskState("VtChat_vtpub1", "ChatStartup"), kTaskDisabledByUser);
    CHECK(!list.WriteItem(TaskItem("VtChat_vtpub1", "Legacy", "", kTaskEnabledByPolicy)));
    CHECK(!list.WriteItem(TaskItem("VtMusic_vtpub2", "MusicTray", "", kTaskEnabled)));
    CHECK(!list.WriteItem(TaskItem("VtPhone_vtpub3", "Never", "", kTaskEnabled)));
    CHECK_EQ(fixture::TaskState("VtChat_vtpub1", "Legacy"), fixture::kNoState);
    CHECK_EQ(fixture::TaskState("VtMusic_vtpub2", "MusicTray"), kTaskDisabledByPolicy);
    CHECK(!fixture::KeyExists(HKEY_CURRENT_USER, fixture::TaskKey("VtPhone_vtpub3", "Never")));
    CHECK(list.Installed("VtChat_vtpub1\\Legacy"));
    CHECK(!list.Installed("VtPhone_vtpub3\\Never"));

    // The rights check opens each task's own key, or the key that would hold it.
    const std::vector<StartupItem> both = {TaskItem("VtChat_vtpub1", "Helper", "", kTaskEnabled),
                                           TaskItem("VtChat_vtpub1", "Legacy", "", kTaskDisabled)};
    CHECK(list.MaySet(both));
    fixture::ReadOnlyKey readOnly(HKEY_CURRENT_USER, fixture::TaskKey("VtChat_vtpub1", "Helper"));
    CHECK(!list.MaySet(both));
    CHECK(list.MaySet({both[1]}));
}
