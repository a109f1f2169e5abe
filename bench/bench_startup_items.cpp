// Benchmark helper: fills, empties and checks the live startup locations in
// one process, so that setting up thousands of entries costs a fraction of a
// second instead of one process per entry.
//
//   bench_startup_items reset            empties every place below
//   bench_startup_items fill TAG N       reset, then writes the set TAG of N items
//   bench_startup_items check TAG N      exit 0 when the places hold exactly that set
//   bench_startup_items noop             does nothing (the cost of starting a program)
//   bench_startup_items profile FILE     times the product's reloads against the bare
//                                        platform calls on what the places hold now
//   bench_startup_items refused N FILE   times RemoveAll over N values that cannot be
//                                        deleted by their 8-bit names, against N reloads
//   bench_startup_items services N EXE   makes exactly N benchmark services, each of its
//                                        own copy of EXE (never started)
//   bench_startup_items dialog EXE FILE  starts EXE, writes into FILE the milliseconds until
//                                        its main dialog shows, and closes it
//   bench_startup_items packages N [T]   removes every packaged app, then installs N, the
//                                        first T of them (all by default) with a startup
//                                        task (0: none, and no repository of packages)
//
// Item i goes to place i % 4 (user Startup folder, HKLM Run, HKCU Run, HKLM
// RunOnce); every fifth item is parked in that location's disabled key. A
// TAG of the form X+Y is the set X with every tenth item taken from the set Y
// instead: nine in ten of its items are those of X. Where packaged apps are
// installed, the one startup task of each is on in every set but B, and off
// there (the user switched it off); fill and check take it as an item too.
// Exit codes: 0 success, 1 check mismatch, 2 usage or setup failure.

#include "platform/handles.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "startup/package_manifest.h"
#include "startup/packaged_task_startup_list.h"
#include "startup/registry_startup_list.h"
#include "startup/shortcut_folder_startup_list.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kPlaces = 4;
const char kRunKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char kDisabledKeys[] = "Software\\Ostrel\\Pellory\\Disabled\\";
const char* const kDisabledNames[kPlaces] = {"UserStartup", "HKLM-Run", "HKCU-Run", "RunOnce"};

struct Place {
    HKEY root;             // live key root; nullptr for the folder
    std::string livePath;  // live key path
    std::string disabledPath;
};

std::vector<Place> Places() {
    return {{nullptr, "", std::string(kDisabledKeys) + kDisabledNames[0]},
            {HKEY_LOCAL_MACHINE, std::string(kRunKeys) + "Run", std::string(kDisabledKeys) + kDisabledNames[1]},
            {HKEY_CURRENT_USER, std::string(kRunKeys) + "Run", std::string(kDisabledKeys) + kDisabledNames[2]},
            {HKEY_LOCAL_MACHINE, std::string(kRunKeys) + "RunOnce", std::string(kDisabledKeys) + kDisabledNames[3]}};
}

std::string StartupFolder() {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
    std::string folder(path);
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

std::string ItemName(const std::string& tag, int index) {
    char name[64];
    std::snprintf(name, sizeof(name), "Bench%s_%05d", tag.c_str(), index);
    return name;
}

// Shortcut targets keep to a plain path: the shell rewrites arguments.
std::string ItemCommand(const std::string& tag, int index, bool folder) {
    char command[128];
    if (folder) {
        std::snprintf(command, sizeof(command), "C:\\Bench%s\\tool%05d.exe", tag.c_str(), index);
    } else {
        std::snprintf(command, sizeof(command), "\"C:\\Program Files\\Bench%s\\tool%05d.exe\" /background",
                      tag.c_str(), index);
    }
    return command;
}

bool IsDisabled(int index) { return index % 5 == 4; }

// Calls visit(place, enabled, name, command) for every item of the set TAG of
// `count` items.
template <class Visit>
void ForEachItem(const std::string& tag, int count, Visit&& visit) {
    const size_t plus = tag.find('+');
    for (int index = 0; index < count; ++index) {
        const int place = index % kPlaces;
        std::string itemTag = tag.substr(0, plus);
        if (plus != std::string::npos && index % 10 == 9) itemTag = tag.substr(plus + 1);
        visit(place, !IsDisabled(index), ItemName(itemTag, index), ItemCommand(itemTag, index, place == 0));
    }
}

// Calls visit(entry) for every entry of the folder that matches `pattern`.
template <class Visit>
void ForEachFolderEntry(const std::string& folder, const char* pattern, Visit&& visit) {
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA((folder + pattern).c_str(), &entry));
    if (search.get() == INVALID_HANDLE_VALUE) return;
    do {
        visit(entry);
    } while (FindNextFileA(search.get(), &entry));
}

// A memory block locked with GlobalLock for as long as the holder lives.
class GlobalLockHolder {
public:
    explicit GlobalLockHolder(HGLOBAL memory) : memory_(memory), bytes_(GlobalLock(memory)) {}
    GlobalLockHolder(const GlobalLockHolder&) = delete;
    GlobalLockHolder& operator=(const GlobalLockHolder&) = delete;
    ~GlobalLockHolder() {
        if (bytes_ != nullptr) GlobalUnlock(memory_);
    }
    const void* bytes() const { return bytes_; }

private:
    HGLOBAL memory_;
    const void* bytes_;
};

// A new shell link object and its persistence interface `persistId`; false
// (both empty) when either cannot be had.
template <class Persist>
bool CreateShellLink(ComPtr<IShellLinkA>& link, ComPtr<Persist>& persist, REFIID persistId) {
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.receiveVoid())) ||
        FAILED(link->QueryInterface(persistId, persist.receiveVoid())) || !persist) {
        persist.reset();
        link.reset();
        return false;
    }
    return true;
}

bool EmptyKey(HKEY root, const std::string& path) {
    const RegKey key = CreateRegistryKey(root, path, kRegistryCreate);
    if (!key) return false;
    std::vector<std::string> names;
    char name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof(name);
        if (RegEnumValueA(key.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    bool emptied = true;
    for (const std::string& each : names) {
        if (RegDeleteValueA(key.get(), each.c_str()) != ERROR_SUCCESS) emptied = false;
    }
    return emptied;
}

// Every value as "name=text".
std::set<std::string> KeyContents(HKEY root, const std::string& path) {
    std::set<std::string> contents;
    const RegKey key = OpenRegistryKey(root, path, kRegistryRead);
    if (!key) return contents;
    std::vector<char> name(16384);
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size() - 1);
        if (RegEnumValueA(key.get(), index, name.data(), &nameSize, nullptr, nullptr, data.data(), &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        data[dataSize] = 0;
        contents.insert(std::string(name.data(), nameSize) + "=" + reinterpret_cast<const char*>(data.data()));
    }
    return contents;
}

std::vector<std::string> ShortcutFiles(const std::string& folder) {
    std::vector<std::string> files;
    ForEachFolderEntry(folder, "*.lnk", [&](const WIN32_FIND_DATAA& entry) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) files.emplace_back(entry.cFileName);
    });
    return files;
}

bool Reset(const std::vector<Place>& places, const std::string& folder) {
    bool done = true;
    for (const std::string& file : ShortcutFiles(folder)) {
        if (!DeleteFileA((folder + file).c_str())) done = false;
    }
    for (const Place& place : places) {
        if (place.root != nullptr && !EmptyKey(place.root, place.livePath)) done = false;
        if (!EmptyKey(HKEY_CURRENT_USER, place.disabledPath)) done = false;
    }
    return done;
}

// Writes the link through IPersistStream into memory and then to the file:
// IPersistFile::Save would also start Wine's menu builder for every file.
bool WriteShortcut(IShellLinkA* link, IPersistStream* persist, const std::string& path, const std::string& target) {
    if (FAILED(link->SetPath(target.c_str()))) return false;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.receive()))) return false;
    HGLOBAL memory = nullptr;
    STATSTG status = {};
    if (FAILED(persist->Save(stream.get(), TRUE)) || FAILED(GetHGlobalFromStream(stream.get(), &memory)) ||
        FAILED(stream->Stat(&status, STATFLAG_NONAME))) {
        return false;
    }
    const GlobalLockHolder lock(memory);
    const UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (lock.bytes() == nullptr || !file) return false;
    DWORD done = 0;
    const DWORD size = static_cast<DWORD>(status.cbSize.QuadPart);
    return WriteFile(file.get(), lock.bytes(), size, &done, nullptr) && done == size;
}

bool Fill(const std::vector<Place>& places, const std::string& folder, const std::string& tag, int count) {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistStream> persist;
    if (!CreateShellLink(link, persist, IID_IPersistStream)) return false;
    RegKey keys[kPlaces][2];
    for (int place = 0; place < kPlaces; ++place) {
        if (places[place].root != nullptr) {
            keys[place][1] = CreateRegistryKey(places[place].root, places[place].livePath, kRegistryCreate);
        }
        keys[place][0] = CreateRegistryKey(HKEY_CURRENT_USER, places[place].disabledPath, kRegistryCreate);
    }
    bool done = true;
    ForEachItem(tag, count, [&](int place, bool enabled, const std::string& name, const std::string& command) {
        if (place == 0 && enabled) {
            if (!WriteShortcut(link.get(), persist.get(), folder + name + ".lnk", command)) done = false;
            return;
        }
        const RegKey& key = keys[place][enabled ? 1 : 0];
        if (!key || !SetRegistryString(key.get(), name, command)) done = false;
    });
    return done;
}

// The places hold exactly the set: every item under its name with its
// command (shortcuts by file name and target), and nothing else.
bool Check(const std::vector<Place>& places, const std::string& folder, const std::string& tag, int count) {
    std::set<std::string> expected[kPlaces][2];
    std::set<std::string> expectedFiles;
    ForEachItem(tag, count, [&](int place, bool enabled, const std::string& name, const std::string& command) {
        if (place == 0 && enabled) {
            expectedFiles.insert(name + ".lnk=" + command);
        } else {
            expected[place][enabled ? 1 : 0].insert(name + "=" + command);
        }
    });
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (!CreateShellLink(link, file, IID_IPersistFile)) return false;
    std::set<std::string> files;
    for (const std::string& each : ShortcutFiles(folder)) {
        wchar_t widePath[MAX_PATH];
        char target[MAX_PATH] = {};
        WIN32_FIND_DATAA data;
        if (MultiByteToWideChar(CP_ACP, 0, (folder + each).c_str(), -1, widePath, MAX_PATH) != 0 &&
            SUCCEEDED(file->Load(widePath, STGM_READ))) {
            link->GetPath(target, MAX_PATH, &data, 0);
        }
        files.insert(each + "=" + target);
    }
    if (files != expectedFiles) return false;
    for (int place = 0; place < kPlaces; ++place) {
        if (places[place].root != nullptr && KeyContents(places[place].root, places[place].livePath) != expected[place][1]) {
            return false;
        }
        if (KeyContents(HKEY_CURRENT_USER, places[place].disabledPath) != expected[place][0]) return false;
    }
    return true;
}

// ---- Packaged apps ---------------------------------------------------------------------------------------------

const char kPackageFolders[] = "C:\\BenchPackages\\";
constexpr int kMostPackages = 100;

// The packages that declare a startup task are apps, the others libraries.
const char kAppPrefix[] = "BenchApp";

std::string PackageName(int index, bool fullName, bool withTask = true) {
    char name[64];
    std::snprintf(name, sizeof(name), fullName ? "%s%02d_1.0.%d.0_x64__benchpub" : "%s%02d_benchpub",
                  withTask ? kAppPrefix : "BenchLib", index, index);
    return name;
}

// A manifest of a few kilobytes, as real ones are, declaring one startup task or none.
std::string BenchManifest(int index, bool withTask) {
    const std::string prefix = index % 2 == 0 ? "uap5" : "desktop";
    std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<Package xmlns=\"http://schemas.microsoft.com/appx/manifest/foundation/windows10\"\r\n"
        "  xmlns:uap=\"http://schemas.microsoft.com/appx/manifest/uap/windows10\"\r\n"
        "  xmlns:uap5=\"http://schemas.microsoft.com/appx/manifest/uap/windows10/5\"\r\n"
        "  xmlns:desktop=\"http://schemas.microsoft.com/appx/manifest/desktop/windows10\"\r\n"
        "  xmlns:rescap=\"http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities\">\r\n"
        "  <Identity Name=\"BenchApp\" Publisher=\"CN=Bench\" Version=\"1.0.0.0\" ProcessorArchitecture=\"x64\" />\r\n"
        "  <Properties><DisplayName>Bench app</DisplayName><PublisherDisplayName>Bench</PublisherDisplayName></Properties>\r\n"
        "  <Applications>\r\n"
        "    <Application Id=\"App\" Executable=\"App.exe\" EntryPoint=\"Windows.FullTrustApplication\">\r\n"
        "      <uap:VisualElements DisplayName=\"Bench app\" Description=\"Bench app\" BackgroundColor=\"transparent\"\r\n"
        "        Square150x150Logo=\"Assets\\Square150x150Logo.png\" Square44x44Logo=\"Assets\\Square44x44Logo.png\" />\r\n"
        "      <Extensions>\r\n" +
        (withTask ? "        <" + prefix + ":Extension Category=\"windows.startupTask\" Executable=\"App.exe\">\r\n"
                    "          <" + prefix + ":StartupTask TaskId=\"BenchTask\" Enabled=\"true\" DisplayName=\"Bench app\" />\r\n"
                    "        </" + prefix + ":Extension>\r\n"
                  : std::string()) +
        "        <uap:Extension Category=\"windows.protocol\"><uap:Protocol Name=\"bench\" /></uap:Extension>\r\n"
        "      </Extensions>\r\n"
        "    </Application>\r\n"
        "  </Applications>\r\n"
        "  <Capabilities>\r\n";
    for (int capability = 0; capability < 60; ++capability) {
        text += "    <rescap:Capability Name=\"benchCapability" + std::to_string(capability) + "\" />\r\n";
    }
    return text + "  </Capabilities>\r\n</Package>\r\n";
}

// Installs `count` packages, the first `tasks` of which declare a startup task.
bool SetPackages(int count, int tasks) {
    DeleteRegistryTree(HKEY_CURRENT_USER, kPackageRepositoryKey);
    DeleteRegistryTree(HKEY_CURRENT_USER, kPackageStatesKey);
    for (int index = 0; index < 2 * kMostPackages; ++index) {
        const std::string folder = kPackageFolders + PackageName(index / 2, true, index % 2 == 0);
        DeleteFileA((folder + "\\AppxManifest.xml").c_str());
        RemoveDirectoryA(folder.c_str());
    }
    if (count <= 0) return true;
    if (count > kMostPackages) return false;
    CreateDirectoryA(kPackageFolders, nullptr);
    const RegKey repository = CreateRegistryKey(HKEY_CURRENT_USER, kPackageRepositoryKey, kRegistryCreate);
    bool done = static_cast<bool>(repository);
    for (int index = 0; index < count && done; ++index) {
        const bool withTask = index < tasks;
        const std::string folder = kPackageFolders + PackageName(index, true, withTask);
        const RegKey key = CreateRegistryKey(repository.get(), PackageName(index, true, withTask), kRegistryCreate);
        done = CreateDirectoryA(folder.c_str(), nullptr) &&
               ReplaceWholeFile(folder + "\\AppxManifest.xml", BenchManifest(index, withTask)) && key &&
               SetRegistryString(key.get(), "PackageRootFolder", folder);
    }
    return done;
}

// How many installed packages declare a startup task.
int PackageCount() {
    const RegKey repository = OpenRegistryKey(HKEY_CURRENT_USER, kPackageRepositoryKey, kRegistryRead);
    int apps = 0;
    for (const std::string& name : repository ? EnumerateRegistrySubkeys(repository.get()) : std::vector<std::string>()) {
        if (name.rfind(kAppPrefix, 0) == 0) ++apps;
    }
    return apps;
}

DWORD TaskStateIn(const std::string& tag, int index) {
    const size_t plus = tag.find('+');
    const std::string set = plus != std::string::npos && index % 10 == 9 ? tag.substr(plus + 1) : tag.substr(0, plus);
    return set == "B" ? kTaskDisabledByUser : kTaskEnabled;
}

std::string TaskKeyPath(int index) {
    return std::string(kPackageStatesKey) + "\\" + PackageName(index, false) + "\\BenchTask";
}

bool FillTaskStates(const std::string& tag) {
    bool done = true;
    const int packages = PackageCount();
    for (int index = 0; index < packages; ++index) {
        const RegKey key = CreateRegistryKey(HKEY_CURRENT_USER, TaskKeyPath(index), kRegistryCreate);
        const DWORD state = TaskStateIn(tag, index);
        const std::string data(reinterpret_cast<const char*>(&state), sizeof state);
        if (!key || !SetRegistryValue(key.get(), "State", REG_DWORD, data)) done = false;
    }
    return done;
}

bool CheckTaskStates(const std::string& tag) {
    std::string data;
    const int packages = PackageCount();
    for (int index = 0; index < packages; ++index) {
        const RegKey key = OpenRegistryKey(HKEY_CURRENT_USER, TaskKeyPath(index), kRegistryRead);
        const DWORD state = TaskStateIn(tag, index);
        if (!key || !GetRegistryBinary(key.get(), "State", sizeof state, data) ||
            data != std::string(reinterpret_cast<const char*>(&state), sizeof state)) {
            return false;
        }
    }
    return true;
}

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds per call of `action`, over `rounds` calls.
template <class Action>
double PerCall(int rounds, Action&& action) {
    const double start = Now();
    for (int round = 0; round < rounds; ++round) action();
    return (Now() - start) / rounds;
}

// One bare pass over a key: what a reload cannot do with less.
size_t BareKeyPass(HKEY root, const std::string& path) {
    const RegKey key = OpenRegistryKey(root, path, kRegistryRead);
    if (!key) return 0;
    char name[256];
    BYTE data[1024];
    size_t count = 0;
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof(name);
        DWORD dataSize = sizeof(data);
        if (RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, data, &dataSize) != ERROR_SUCCESS) break;
        ++count;
    }
    return count;
}

// One bare walk of the folder with one shell link object.
size_t BareFolderWalk(const std::string& folder) {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (!CreateShellLink(link, file, IID_IPersistFile)) return 0;
    size_t count = 0;
    ForEachFolderEntry(folder, "*.*", [&](const WIN32_FIND_DATAA& entry) {
        wchar_t widePath[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, (folder + entry.cFileName).c_str(), -1, widePath, MAX_PATH) == 0 ||
            FAILED(file->Load(widePath, STGM_READ))) {
            return;
        }
        char target[MAX_PATH];
        WIN32_FIND_DATAA data;
        if (SUCCEEDED(link->GetPath(target, MAX_PATH, &data, 0))) ++count;
    });
    return count;
}

bool Profile(const std::vector<Place>& places, const std::string& folder, const char* outputPath) {
    FILE* output = std::fopen(outputPath, "w");
    if (output == nullptr) return false;
    constexpr int kRounds = 20;
    if (PackageCount() > 0) {
        // The first read loads XmlLite; the later ones show what a read costs.
        const double start = Now();
        PackagedTaskStartupList list(10);
        const double first = Now() - start;
        const double again = PerCall(kRounds, [&] { list.Reload(); });
        std::vector<ManifestTask> tasks;
        ManifestReader reader;
        const std::string manifest = kPackageFolders + PackageName(0, true) + "\\AppxManifest.xml";
        const double parse = PerCall(kRounds, [&] { reader.ReadTasks(manifest, tasks); });
        std::fprintf(output, "packaged reload: %zu tasks of %d apps, first %.3f ms, again %.3f ms, one manifest %.3f ms\n",
                     list.Items().size(), PackageCount(), first, again, parse);
    }
    {
        ShortcutFolderStartupList list(0, folder, HKEY_CURRENT_USER, places[0].disabledPath);
        const double product = PerCall(kRounds, [&] { list.Reload(); });
        size_t shortcuts = 0;
        const double bare = PerCall(kRounds, [&] {
            shortcuts = BareFolderWalk(folder);
            BareKeyPass(HKEY_CURRENT_USER, places[0].disabledPath);
        });
        std::fprintf(output, "folder reload: %zu items (%zu shortcuts), product %.3f ms, bare calls %.3f ms\n",
                     list.Items().size(), shortcuts, product, bare);
    }
    {
        RegistryStartupList list(3, places[2].root, places[2].livePath, HKEY_CURRENT_USER, places[2].disabledPath);
        const double product = PerCall(kRounds, [&] { list.Reload(); });
        const double bare = PerCall(kRounds, [&] {
            BareKeyPass(places[2].root, places[2].livePath);
            BareKeyPass(HKEY_CURRENT_USER, places[2].disabledPath);
        });
        std::fprintf(output, "registry reload: %zu items, product %.3f ms, bare calls %.3f ms\n",
                     list.Items().size(), product, bare);
        // One Add and one Remove of an item that is not there yet: the write
        // and the reload that follows it.
        const StartupItem probe("BenchProbe", "C:\\probe.exe", 1);
        const double change = PerCall(kRounds, [&] {
            list.Add(probe);
            list.Remove(probe);
        });
        std::fprintf(output, "registry add+remove: %.3f ms\n", change);
    }
    {
        ShortcutFolderStartupList list(0, folder, HKEY_CURRENT_USER, places[0].disabledPath);
        const StartupItem probe("BenchProbe", "C:\\probe.exe", 1);
        const double change = PerCall(5, [&] {
            list.Add(probe);
            list.Remove(probe);
        });
        std::fprintf(output, "folder add+remove: %.3f ms\n", change);
    }
    std::fclose(output);
    return true;
}

// Values whose names have no 8-bit form enumerate as "?" and then cannot be
// deleted by that name, so RemoveAll steps over every one of them.
bool ProfileRefused(int count, const char* outputPath) {
    const char path[] = "Software\\BenchRefused";
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    {
        const RegKey key = CreateRegistryKey(HKEY_CURRENT_USER, path, kRegistryCreate);
        if (!key) return false;
        for (int index = 0; index < count; ++index) {
            wchar_t name[32];
            std::swprintf(name, 32, L"\u4e2d\u6587%05d", index);
            const wchar_t data[] = L"C:\\stuck.exe";
            RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
        }
    }
    RegistryStartupList list(3, HKEY_CURRENT_USER, path, HKEY_CURRENT_USER, std::string(path) + "\\Disabled");
    const size_t before = list.Items().size();
    const double reloads = PerCall(1, [&] {
        for (int index = 0; index < count; ++index) list.Reload();
    });
    const double removeAll = PerCall(1, [&] { list.RemoveAll(); });
    FILE* output = std::fopen(outputPath, "w");
    if (output == nullptr) return false;
    std::fprintf(output, "refused: %zu items, %d reloads %.1f ms, RemoveAll %.1f ms, %zu left\n", before, count,
                 reloads, removeAll, list.Items().size());
    std::fclose(output);
    return true;
}

constexpr char kServicePrefix[] = "BenchService";

// Each service runs a file of its own, as services of different programs do,
// so that telling whether one is Windows' own reads as many files.
bool InstallServices(int count, const char* program) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    for (int index = 0;; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%05d", kServicePrefix, index);
        const ServiceHandle old(OpenServiceA(manager.get(), name, DELETE));
        if (!old) break;
        DeleteService(old.get());
    }
    CreateDirectoryA("C:\\BenchServices", nullptr);
    // As a machine has them: most on demand, some automatic, a few disabled.
    // Wine starts automatic services only when its server starts, which the
    // bench does not do while they exist.
    const DWORD starts[] = {SERVICE_DEMAND_START, SERVICE_AUTO_START, SERVICE_DEMAND_START, SERVICE_DISABLED};
    for (int index = 0; index < count; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%05d", kServicePrefix, index);
        const std::string file = std::string("C:\\BenchServices\\") + name + ".exe";
        if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES && !CopyFileA(program, file.c_str(), TRUE)) {
            return false;
        }
        const std::string binary = "\"" + file + "\" -service";
        const ServiceHandle made(CreateServiceA(manager.get(), name, name, SERVICE_ALL_ACCESS,
                                                SERVICE_WIN32_OWN_PROCESS, starts[index % 4], SERVICE_ERROR_IGNORE,
                                                binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!made) return false;
    }
    return true;
}

bool TimeDialog(const char* program, const char* outputPath) {
    std::string command = "\"" + std::string(program) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const ULONGLONG start = GetTickCount64();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    HWND dialog = nullptr;
    while (GetTickCount64() - start < 60000) {
        dialog = FindWindowA("#32770", "Veltrane by Dunmere");
        if (dialog != nullptr && IsWindowVisible(dialog)) break;
        dialog = nullptr;
        Sleep(1);
    }
    const ULONGLONG shown = GetTickCount64() - start;
    if (dialog != nullptr) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    if (dialog == nullptr || WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return false;
    }
    FILE* output = std::fopen(outputPath, "w");
    if (output == nullptr) return false;
    std::fprintf(output, "%llu\n", shown);
    std::fclose(output);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 2) return 2;
    const std::string verb = __argv[1];
    if (verb == "noop") return 0;
    if (FAILED(CoInitialize(nullptr))) return 2;
    const std::vector<Place> places = Places();
    const std::string folder = StartupFolder();
    int status = 2;
    if (folder.empty()) {
        status = 2;
    } else if (verb == "reset") {
        status = Reset(places, folder) ? 0 : 2;
    } else if (verb == "refused" && __argc == 4) {
        status = ProfileRefused(std::atoi(__argv[2]), __argv[3]) ? 0 : 2;
    } else if (verb == "services" && __argc == 4) {
        status = InstallServices(std::atoi(__argv[2]), __argv[3]) ? 0 : 2;
    } else if (verb == "dialog" && __argc == 4) {
        status = TimeDialog(__argv[2], __argv[3]) ? 0 : 2;
    } else if (verb == "packages" && (__argc == 3 || __argc == 4)) {
        status = SetPackages(std::atoi(__argv[2]), __argc == 4 ? std::atoi(__argv[3]) : std::atoi(__argv[2])) ? 0 : 2;
    } else if (verb == "profile" && __argc == 3) {
        status = Profile(places, folder, __argv[2]) ? 0 : 2;
    } else if ((verb == "fill" || verb == "check") && __argc == 4) {
        const std::string tag = __argv[2];
        const int count = std::atoi(__argv[3]);
        if (verb == "fill") {
            status = Reset(places, folder) && Fill(places, folder, tag, count) && FillTaskStates(tag) ? 0 : 2;
        } else {
            status = Check(places, folder, tag, count) && CheckTaskStates(tag) ? 0 : 1;
        }
    }
    CoUninitialize();
    return status;
}
