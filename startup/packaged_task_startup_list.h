#pragma once

#include "startup/switch_startup_list.h"

#include <windows.h>

#include <string>

// Below HKEY_CURRENT_USER (never HKEY_CLASSES_ROOT, which does not show
// these keys everywhere): the packages installed for the user, one key per
// package full name (Name_Version_Architecture_ResourceId_PublisherId) with
// the package's folder in its value PackageRootFolder.
extern const char kPackageRepositoryKey[];
// Below HKEY_CURRENT_USER: Windows' own, undocumented place of each startup
// task's state for the user, the REG_DWORD value State of
// <PackageFamilyName>\<TaskId>, which Task Manager's switch writes.
extern const char kPackageStatesKey[];

// A task's state, as Windows numbers them (StartupTaskState).
constexpr DWORD kTaskDisabled = 0;
constexpr DWORD kTaskDisabledByUser = 1;
constexpr DWORD kTaskEnabled = 2;
constexpr DWORD kTaskDisabledByPolicy = 3;
constexpr DWORD kTaskEnabledByPolicy = 4;

// The item of a startup task: name "PackageFamilyName\TaskId" (a family name
// holds no backslash), command what names it (see TaskDisplayName), its value
// the state as a REG_DWORD.
StartupItem TaskItem(const std::string& family, const std::string& taskId, const std::string& displayName,
                     DWORD state);
// False when the item holds no state (a configuration edited by hand).
bool ReadTaskState(const StartupItem& item, DWORD& state);
bool IsPolicyState(DWORD state);
// The two halves of the item's name.
std::string TaskFamily(const StartupItem& item);
std::string TaskIdOf(const StartupItem& item);
// The name Task Manager shows: the manifest's display name, a resource one
// (kept as "@{PackageFullName?ms-resource:...}") resolved only now, as only
// the Changes view needs it; the TaskId when there is none or it cannot be
// resolved.
std::string TaskDisplayName(const StartupItem& item);

// The startup tasks of the user's installed packaged apps: a list of
// switches, one item per task (family name and TaskId) that the manifest of
// an installed package declares. Of two installed versions of one family the
// higher one's manifest gives a task's default and name. A task's value is
// its State, or, where nobody switched it yet, its manifest's default
// (Enabled: 2, else 0). A write sets State, for tasks the list holds only.
class PackagedTaskStartupList : public SwitchStartupList {
public:
    // Reads the tasks unless `readNow` is false: the list is then empty
    // until its first Reload.
    explicit PackagedTaskStartupList(int locationIndex, bool readNow = true);
    ~PackagedTaskStartupList() override;

    bool Reload() override;
    bool WriteItems(const std::vector<StartupItem>& changed) override;

    // Only states 0, 1 and 2, and never over a policy's state.
    // A state of any number: one above 4 is shown as it is, and never set.
    bool IsSwitchValue(const StartupItem& stored) const override;
    bool CanSet(const StartupItem& live, const StartupItem& stored) const override;
    // Checks each task's own key, as a write opens it.
    bool MaySet(const std::vector<StartupItem>& switches) const override;

private:
    bool SetState(HKEY states, const StartupItem& item) const;
};
