#include "startup/service_startup_list.h"

#include "platform/file_version.h"
#include "platform/handles.h"
#include "platform/program_path.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <cstring>
#include <vector>

namespace {

// Per-user services of Windows 10 and later, which older headers lack.
constexpr DWORD kUserService = 0x40;
constexpr DWORD kUserServiceInstance = 0x80;

constexpr wchar_t kWindowsCompany[] = L"Microsoft Corporation";
constexpr char kServicesKey[] = "System\\CurrentControlSet\\Services";

bool refuseChangesForTests = false;

// A service of its own process or a shared one, interactive or not; not a
// driver, and not a per-user service template or instance.
bool IsProcessService(DWORD type) {
    if ((type & (kUserService | kUserServiceInstance)) != 0) return false;
    const DWORD process = type & ~static_cast<DWORD>(SERVICE_INTERACTIVE_PROCESS);
    return process == SERVICE_WIN32_OWN_PROCESS || process == SERVICE_WIN32_SHARE_PROCESS;
}

bool IsSwitchable(DWORD startType) {
    return startType == SERVICE_AUTO_START || startType == SERVICE_DEMAND_START || startType == SERVICE_DISABLED;
}

// A text value, its terminating zero left off; empty when there is none.
std::string ReadText(HKEY key, const char* name) {
    std::string bytes;
    if (!GetRegistryBinary(key, name, 32 * 1024, bytes)) return std::string();
    return std::string(StartupItem::TextOf(bytes));
}

// How a service starts at the next start of Windows, and what it runs, are
// read from its key below Services: the service control manager keeps its
// services there, writes every change there and reads them at the next start
// (a service made in memory only, without a key, is gone then). Reading them
// costs a fraction of asking the service control manager, another process,
// whose list of services under Wine costs more than all the rest; and each
// value is read only once the ones before it have not ruled the service out.

// The service's key below the open Services key, and its type and start.
bool OpenService(HKEY services, const std::string& name, RegKey& key, DWORD& type, DWORD& startType) {
    key = OpenRegistryKey(services, name, kRegistryRead);
    return key && GetRegistryDword(key.get(), "Type", type) && GetRegistryDword(key.get(), "Start", startType);
}

// Where the system keeps no such value (Windows before Vista), a start is not delayed.
bool IsDelayed(HKEY key) {
    DWORD delayed = 0;
    return GetRegistryDword(key, "DelayedAutostart", delayed) && delayed != 0;
}

// The name a service shows, which may be a string of a program file's
// resources ("@%SystemRoot%\\app.dll,-101"); its key name when it has none.
std::string DisplayName(const std::string& name, const std::string& displayName) {
    if (displayName.empty()) return name;
    if (displayName[0] != '@') return displayName;
    const std::string loaded = LoadIndirectText(displayName);
    return loaded.empty() ? name : loaded;
}

bool IsServiceHost(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return _stricmp(path.c_str() + (slash == std::string::npos ? 0 : slash + 1), "svchost.exe") == 0;
}

// The library a service hosted by svchost.exe runs: its ServiceDll, kept
// below Parameters (or, on older systems, beside the service's own values).
std::string ServiceLibrary(const std::string& name) {
    const std::string key = kServicesKey + ("\\" + name);
    for (const std::string& path : {key + "\\Parameters", key}) {
        const RegKey values = OpenRegistryKey(HKEY_LOCAL_MACHINE, path, kRegistryRead);
        const std::string library = values ? ReadText(values.get(), "ServiceDll") : std::string();
        if (!library.empty()) return ExpandEnvironment(library);
    }
    return std::string();
}

// Windows' own, as the system configuration tool tells them apart: the file
// the service runs carries Microsoft's name in its version resource. A file
// that is missing or cannot be read is no one's.
bool IsWindowsOwn(const std::string& name, const std::string& binaryPath) {
    const NativeFolders native;
    // The search path finds an image path without a drive ("system32\\svc.exe")
    // below the Windows folder, as the service control manager reads it.
    std::string file = CommandProgramPath(ExpandEnvironment(binaryPath));
    if (IsServiceHost(file)) file = ServiceLibrary(name);
    return !file.empty() && FileCompanyName(file) == kWindowsCompany;
}

}  // namespace

StartupItem ServiceItem(const std::string& keyName, const std::string& displayName, ServiceStart start) {
    StartupItem item(keyName, displayName, 1);
    item.type = REG_DWORD;
    item.data.assign(reinterpret_cast<const char*>(&start.startType), sizeof start.startType);
    // Only an automatic start can wait.
    if (start.startType == SERVICE_AUTO_START && start.delayed) item.data.push_back('\1');
    return item;
}

bool ReadServiceStart(const StartupItem& item, ServiceStart& start) {
    if (item.type != REG_DWORD || item.data.size() < sizeof(DWORD) || item.data.size() > sizeof(DWORD) + 1) return false;
    std::memcpy(&start.startType, item.data.data(), sizeof(DWORD));
    start.delayed = item.data.size() > sizeof(DWORD);
    return IsSwitchable(start.startType);
}

void RefuseServiceChangesForTests(bool refuse) { refuseChangesForTests = refuse; }

ServiceStartupList::ServiceStartupList(int index, bool readNow) : SwitchStartupList(index) {
    if (readNow) ServiceStartupList::Reload();
}

ServiceStartupList::~ServiceStartupList() = default;

bool ServiceStartupList::Reload() {
    items.clear();
    const RegKey services = OpenRegistryKey(HKEY_LOCAL_MACHINE, kServicesKey, kRegistryRead);
    if (!services) return true;
    for (const std::string& name : EnumerateRegistrySubkeys(services.get())) {
        RegKey key;
        DWORD type = 0;
        DWORD startType = 0;
        if (!OpenService(services.get(), name, key, type, startType) || !IsProcessService(type) ||
            !IsSwitchable(startType) || IsWindowsOwn(name, ReadText(key.get(), "ImagePath"))) {
            continue;
        }
        const bool delayed = startType == SERVICE_AUTO_START && IsDelayed(key.get());
        items.push_back(ServiceItem(name, DisplayName(name, ReadText(key.get(), "DisplayName")), {startType, delayed}));
    }
    return true;
}

bool ServiceStartupList::WriteItems(const std::vector<StartupItem>& changed) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    bool allSet = true;
    for (const StartupItem& item : changed) {
        if (!manager || !SetStart(manager.get(), item)) allSet = false;
    }
    return allSet;
}

bool ServiceStartupList::SetStart(SC_HANDLE manager, const StartupItem& item) const {
    ServiceStart start;
    // Only the services the list holds: never a driver, nor one of Windows' own.
    if (item.enabled == 0 || !ReadServiceStart(item, start) || !Holds(item.name, 1)) return false;
    const ServiceHandle service(OpenServiceA(manager, item.name.c_str(), SERVICE_CHANGE_CONFIG));
    const RegKey services = OpenRegistryKey(HKEY_LOCAL_MACHINE, kServicesKey, kRegistryRead);
    RegKey key;
    DWORD type = 0;
    DWORD startType = 0;
    if (!service || !services || !OpenService(services.get(), item.name, key, type, startType)) return false;
    if (startType != start.startType &&
        !ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, start.startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr)) {
        return false;
    }
    if (start.startType != SERVICE_AUTO_START || IsDelayed(key.get()) == start.delayed) return true;
    using ChangeConfig2 = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
    auto changeConfig2 = FindSystemFunction<ChangeConfig2>("advapi32.dll", "ChangeServiceConfig2A");
    SERVICE_DELAYED_AUTO_START_INFO delayed{start.delayed ? TRUE : FALSE};
    return changeConfig2 != nullptr && changeConfig2(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
}

bool ServiceStartupList::IsSwitchValue(const StartupItem& stored) const {
    ServiceStart ignored;
    return ReadServiceStart(stored, ignored);
}

bool ServiceStartupList::CanSet(const StartupItem& live, const StartupItem& stored) const {
    return IsSwitchValue(live) && IsSwitchValue(stored);
}

bool ServiceStartupList::MaySet(const std::vector<StartupItem>& switches) const {
    if (switches.empty()) return true;
    if (refuseChangesForTests) return false;
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    for (const StartupItem& item : switches) {
        if (!ServiceHandle(OpenServiceA(manager.get(), item.name.c_str(), SERVICE_CHANGE_CONFIG))) return false;
    }
    return true;
}

bool ServiceStartupList::Installed(const std::string& name) const {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    return manager && ServiceHandle(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
}
