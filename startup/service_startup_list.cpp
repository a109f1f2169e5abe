#include "startup/service_startup_list.h"

#include "platform/file_version.h"
#include "platform/handles.h"
#include "platform/program_path.h"
#include "platform/registry.h"

#include <cstring>
#include <vector>

namespace {

// Per-user services of Windows 10 and later, which older headers lack.
constexpr DWORD kUserService = 0x40;
constexpr DWORD kUserServiceInstance = 0x80;

constexpr char kWindowsCompany[] = "Microsoft Corporation";
constexpr char kServicesKey[] = "System\\CurrentControlSet\\Services\\";

bool refuseChangesForTests = false;

struct InstalledService {
    std::string name;
    std::string displayName;
    DWORD type;
};

// Every Win32 service the service control manager lists.
std::vector<InstalledService> EnumerateServices(SC_HANDLE manager) {
    std::vector<InstalledService> services;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD count = 0;
        const BOOL done = EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                                buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count,
                                                &resume, nullptr);
        const DWORD error = GetLastError();
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.data());
        for (DWORD at = 0; at < count; ++at) {
            const ENUM_SERVICE_STATUS_PROCESSA& entry = entries[at];
            services.push_back({entry.lpServiceName, entry.lpDisplayName ? entry.lpDisplayName : "",
                                entry.ServiceStatusProcess.dwServiceType});
        }
        // The resume handle carries on where a full buffer stopped.
        if (done || error != ERROR_MORE_DATA) return services;
        if (needed > buffer.size()) buffer.resize(needed);
    }
}

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

struct ServiceConfig {
    DWORD startType = 0;
    std::string binaryPath;
};

bool QueryConfig(SC_HANDLE service, ServiceConfig& config) {
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    if (needed == 0) return false;
    std::vector<BYTE> buffer(needed);
    auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(service, query, needed, &needed)) return false;
    config.startType = query->dwStartType;
    config.binaryPath = query->lpBinaryPathName != nullptr ? query->lpBinaryPathName : "";
    return true;
}

// Where the system cannot tell (Windows before Vista, Wine), a start is not delayed.
bool QueryDelayed(SC_HANDLE service) {
    SERVICE_DELAYED_AUTO_START_INFO info{};
    DWORD needed = 0;
    return QueryServiceConfig2A(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, reinterpret_cast<BYTE*>(&info),
                                sizeof info, &needed) &&
           info.fDelayedAutostart;
}

bool IsServiceHost(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return _stricmp(path.c_str() + (slash == std::string::npos ? 0 : slash + 1), "svchost.exe") == 0;
}

// The library a service hosted by svchost.exe runs: its ServiceDll, kept
// below Parameters (or, on older systems, beside the service's own values).
std::string ServiceLibrary(const std::string& name) {
    const std::string key = kServicesKey + name;
    for (const std::string& path : {key + "\\Parameters", key}) {
        const RegKey values = OpenRegistryKey(HKEY_LOCAL_MACHINE, path, kRegistryRead);
        std::string library;
        if (values && GetRegistryBinary(values.get(), "ServiceDll", 32 * 1024, library)) {
            return ExpandEnvironment(std::string(StartupItem::TextOf(library)));
        }
    }
    return std::string();
}

// Windows' own, as the system configuration tool tells them apart: the file
// the service runs carries Microsoft's name in its version resource. A file
// that is missing or cannot be read is no one's.
bool IsWindowsOwn(const std::string& name, const std::string& binaryPath) {
    const NativeFolders native;
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

ServiceStartupList::ServiceStartupList(int index) : SwitchStartupList(index) { ServiceStartupList::Reload(); }

ServiceStartupList::~ServiceStartupList() = default;

bool ServiceStartupList::Reload() {
    items.clear();
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) return true;
    for (const InstalledService& installed : EnumerateServices(manager.get())) {
        if (!IsProcessService(installed.type)) continue;
        const ServiceHandle service(OpenServiceA(manager.get(), installed.name.c_str(), SERVICE_QUERY_CONFIG));
        ServiceConfig config;
        if (!service || !QueryConfig(service.get(), config) || !IsSwitchable(config.startType)) continue;
        if (IsWindowsOwn(installed.name, config.binaryPath)) continue;
        const bool delayed = config.startType == SERVICE_AUTO_START && QueryDelayed(service.get());
        items.push_back(ServiceItem(installed.name, installed.displayName, {config.startType, delayed}));
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
    const ServiceHandle service(OpenServiceA(manager, item.name.c_str(), SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG));
    ServiceConfig now;
    if (!service || !QueryConfig(service.get(), now)) return false;
    if (now.startType != start.startType &&
        !ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, start.startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr)) {
        return false;
    }
    if (start.startType != SERVICE_AUTO_START || QueryDelayed(service.get()) == start.delayed) return true;
    SERVICE_DELAYED_AUTO_START_INFO delayed{start.delayed ? TRUE : FALSE};
    return ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed) != FALSE;
}

bool ServiceStartupList::CanSet(const StartupItem& live, const StartupItem& stored) const {
    ServiceStart ignored;
    return ReadServiceStart(live, ignored) && ReadServiceStart(stored, ignored);
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
