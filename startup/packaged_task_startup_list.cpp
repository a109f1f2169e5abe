#include "startup/packaged_task_startup_list.h"

#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "startup/package_manifest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

const char kPackageRepositoryKey[] =
    "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository\\Packages";
const char kPackageStatesKey[] =
    "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\SystemAppData";

namespace {

constexpr char kStateValue[] = "State";
constexpr char kResourcePrefix[] = "ms-resource:";
// The longest key name: a family name and a TaskId are each one.
constexpr size_t kLongestKeyName = 255;
constexpr size_t kLongestFolderValue = 32 * 1024;

struct InstalledPackage {
    std::string fullName;
    std::string family;
    std::vector<unsigned long> version;
    std::string folder;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Name_Version_Architecture_ResourceId_PublisherId (a package name holds no
// underscore); false for any other key. The family is Name_PublisherId.
bool ParseFullName(const std::string& fullName, InstalledPackage& package) {
    const std::vector<std::string> fields = Split(fullName, '_');
    if (fields.size() != 5 || fields[0].empty() || fields[4].empty()) return false;
    package.fullName = fullName;
    package.family = fields[0] + "_" + fields[4];
    for (const std::string& part : Split(fields[1], '.')) {
        // A version that is no row of numbers ranks below every other.
        if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string::npos) {
            package.version.clear();
            break;
        }
        package.version.push_back(std::strtoul(part.c_str(), nullptr, 10));
    }
    return package.family.size() <= kLongestKeyName;
}

// A package's folder (REG_SZ).
bool ReadFolder(HKEY package, std::string& folder) {
    DWORD type = REG_NONE;
    if (!GetRegistryBinary(package, "PackageRootFolder", kLongestFolderValue, folder, &type)) return false;
    folder.assign(StartupItem::TextOf(folder));
    return type == REG_SZ;
}

// The packages the repository lists with a folder, the higher version of a
// family before the lower.
std::vector<InstalledPackage> InstalledPackages() {
    std::vector<InstalledPackage> packages;
    const RegKey repository = OpenRegistryKey(HKEY_CURRENT_USER, kPackageRepositoryKey, kRegistryRead);
    if (!repository) return packages;
    for (const std::string& fullName : EnumerateRegistrySubkeys(repository.get())) {
        InstalledPackage package;
        const RegKey key = OpenRegistryKey(repository.get(), fullName, kRegistryRead);
        if (!ParseFullName(fullName, package) || !key || !ReadFolder(key.get(), package.folder)) continue;
        if (!package.folder.empty() && package.folder.back() != '\\') package.folder += '\\';
        packages.push_back(std::move(package));
    }
    std::stable_sort(packages.begin(), packages.end(),
                     [](const InstalledPackage& first, const InstalledPackage& second) {
                         return first.version > second.version;
                     });
    return packages;
}

// A TaskId that can name its key below the family's key and a value of a
// stored configuration: in the code page, without a backslash, short enough.
bool TaskName(const std::wstring& taskId, std::string& name) {
    return taskId.size() <= kLongestKeyName && NarrowText(taskId, name) && !name.empty() &&
           name.find('\\') == std::string::npos;
}

bool IsResourceName(const std::string& text) {
    return _strnicmp(text.c_str(), kResourcePrefix, sizeof kResourcePrefix - 1) == 0;
}

// A resource name is kept in the form that resolves it in the package.
std::string DisplayText(const InstalledPackage& package, const std::wstring& displayName) {
    std::string text;
    NarrowText(displayName, text);
    return IsResourceName(text) ? "@{" + package.fullName + "?" + text + "}" : text;
}

// The task's own key below the states key, opened or (`make`) made: at once
// where the path fits the 8-bit calls, else through its family's key.
RegKey TaskKey(HKEY states, const StartupItem& task, REGSAM rights, bool make) {
    const auto open = make ? CreateRegistryKey : OpenRegistryKey;
    const std::string path = TaskFamily(task) + "\\" + TaskIdOf(task);
    if (FitsRegistryPath(path)) return open(states, path, rights);
    const RegKey family = open(states, TaskFamily(task), rights);
    return family ? open(family.get(), TaskIdOf(task), rights) : RegKey();
}

// Each task's state as Windows keeps it, where it keeps one (a State of
// another type or size is none).
void ReadStates(std::vector<StartupItem>& tasks) {
    const RegKey states = OpenRegistryKey(HKEY_CURRENT_USER, kPackageStatesKey, kRegistryRead);
    if (!states) return;
    for (StartupItem& task : tasks) {
        const RegKey key = TaskKey(states.get(), task, kRegistryRead, false);
        DWORD state = 0;
        if (key && GetRegistryDword(key.get(), kStateValue, state)) {
            task.data.assign(reinterpret_cast<const char*>(&state), sizeof state);
        }
    }
}

bool IsSettable(const StartupItem& item) {
    DWORD state = 0;
    return ReadTaskState(item, state) && state <= kTaskEnabled;
}

// True when the user may write the task's State: its key, or the nearest
// key there is, opened as a write opens it. Relative to the states key, as
// the whole path may be too long for the 8-bit calls.
bool MaySetState(HKEY states, const StartupItem& item) {
    const std::string path = TaskFamily(item) + "\\" + TaskIdOf(item);
    if (FitsRegistryPath(path)) return MayWriteRegistryKey(states, path, kRegistryWrite);
    const RegKey family = OpenRegistryKey(states, TaskFamily(item), kRegistryRead);
    if (!family) return MayWriteRegistryKey(states, TaskFamily(item), kRegistryWrite);
    return MayWriteRegistryKey(family.get(), TaskIdOf(item), kRegistryWrite);
}

}  // namespace

StartupItem TaskItem(const std::string& family, const std::string& taskId, const std::string& displayName,
                     DWORD state) {
    StartupItem item(family + "\\" + taskId, displayName, 1);
    item.type = REG_DWORD;
    item.data.assign(reinterpret_cast<const char*>(&state), sizeof state);
    return item;
}

bool ReadTaskState(const StartupItem& item, DWORD& state) {
    if (item.type != REG_DWORD || item.data.size() != sizeof state) return false;
    std::memcpy(&state, item.data.data(), sizeof state);
    return true;
}

bool IsPolicyState(DWORD state) { return state == kTaskDisabledByPolicy || state == kTaskEnabledByPolicy; }

std::string TaskFamily(const StartupItem& item) { return item.name.substr(0, item.name.find('\\')); }

std::string TaskIdOf(const StartupItem& item) {
    const size_t slash = item.name.find('\\');
    return slash == std::string::npos ? std::string() : item.name.substr(slash + 1);
}

std::string TaskDisplayName(const StartupItem& item) {
    std::string text = item.command;
    const auto indirect = [](const std::string& name) { return name.rfind("@{", 0) == 0; };
    if (indirect(text)) text = LoadIndirectText(text);
    // What the shell could not resolve is no name to show.
    return text.empty() || IsResourceName(text) || indirect(text) ? TaskIdOf(item) : text;
}

PackagedTaskStartupList::PackagedTaskStartupList(int index, bool readNow) : SwitchStartupList(index) {
    if (readNow) PackagedTaskStartupList::Reload();
}

PackagedTaskStartupList::~PackagedTaskStartupList() = default;

bool PackagedTaskStartupList::Reload() {
    // By name as the registry compares names: a task of a family is one item
    // however many installed versions declare it, the first (highest) one's.
    std::map<std::wstring, StartupItem> tasks;
    ManifestReader manifests;
    std::vector<ManifestTask> declared;
    std::string taskId;
    for (const InstalledPackage& package : InstalledPackages()) {
        // A manifest that cannot be read declares nothing.
        if (!manifests.ReadTasks(package.folder + "AppxManifest.xml", declared)) continue;
        for (const ManifestTask& task : declared) {
            if (!TaskName(task.taskId, taskId)) continue;
            StartupItem item = TaskItem(package.family, taskId, DisplayText(package, task.displayName),
                                        task.enabled ? kTaskEnabled : kTaskDisabled);
            tasks.emplace(NameKey(item.name), std::move(item));
        }
    }
    items.clear();
    for (auto& [name, task] : tasks) items.push_back(std::move(task));
    ReadStates(items);
    return true;
}

bool PackagedTaskStartupList::WriteItems(const std::vector<StartupItem>& changed) {
    if (changed.empty()) return true;
    const RegKey states = CreateRegistryKey(HKEY_CURRENT_USER, kPackageStatesKey, kRegistryWrite);
    bool allSet = true;
    for (const StartupItem& item : changed) {
        if (!states || !SetState(states.get(), item)) allSet = false;
    }
    return allSet;
}

bool PackagedTaskStartupList::SetState(HKEY states, const StartupItem& item) const {
    // Only a task an installed package declares, as the list read it.
    const auto live = std::find_if(items.begin(), items.end(),
                                   [&](const StartupItem& task) { return SameName(task.name, item.name); });
    if (live == items.end() || !CanSet(*live, item)) return false;
    const RegKey task = TaskKey(states, item, kRegistryWrite, true);
    return task && SetRegistryValue(task.get(), kStateValue, REG_DWORD, item.data);
}

bool PackagedTaskStartupList::IsSwitchValue(const StartupItem& stored) const {
    DWORD state = 0;
    return ReadTaskState(stored, state);
}

bool PackagedTaskStartupList::CanSet(const StartupItem& live, const StartupItem& stored) const {
    return IsSettable(live) && IsSettable(stored);
}

bool PackagedTaskStartupList::MaySet(const std::vector<StartupItem>& switches) const {
    if (switches.empty()) return true;
    const RegKey states = OpenRegistryKey(HKEY_CURRENT_USER, kPackageStatesKey, kRegistryRead);
    if (!states) return MayWriteRegistryKey(HKEY_CURRENT_USER, kPackageStatesKey, kRegistryWrite);
    return std::all_of(switches.begin(), switches.end(),
                       [&](const StartupItem& item) { return MaySetState(states.get(), item); });
}
