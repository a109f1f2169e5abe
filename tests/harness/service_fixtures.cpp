#include "harness/service_fixtures.h"

#include "harness/fixtures.h"

#include <vector>

namespace fixture {

const char kTestServicePrefix[] = "VtTest";

namespace {

SC_HANDLE OpenTestService(const std::string& name, DWORD access) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return nullptr;
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), access);
    CloseServiceHandle(manager);
    return service;
}

}  // namespace

TestService::TestService(const std::string& name, const std::string& binaryPath, DWORD startType, DWORD type,
                         const std::string& library)
    : name_(kTestServicePrefix + name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = CreateServiceA(manager, name_.c_str(), displayName().c_str(), SERVICE_ALL_ACCESS, type,
                                       startType, SERVICE_ERROR_IGNORE, binaryPath.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    if (service != nullptr) CloseServiceHandle(service);
    if (manager != nullptr) CloseServiceHandle(manager);
    if (!library.empty()) {
        SetString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\" + name_ + "\\Parameters", "ServiceDll",
                  library);
    }
}

TestService::~TestService() {
    if (SC_HANDLE service = OpenTestService(name_, DELETE)) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
}

DWORD ServiceStartType(const std::string& name) {
    SC_HANDLE service = OpenTestService(name, SERVICE_QUERY_CONFIG);
    if (service == nullptr) return 0xFFFFFFFF;
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed > 0 ? needed : 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    const DWORD start = QueryServiceConfigA(service, config, needed, &needed) ? config->dwStartType : 0xFFFFFFFF;
    CloseServiceHandle(service);
    return start;
}

void SetServiceStartType(const std::string& name, DWORD startType) {
    if (SC_HANDLE service = OpenTestService(name, SERVICE_CHANGE_CONFIG)) {
        ChangeServiceConfigA(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
        CloseServiceHandle(service);
    }
}

DWORD ServiceState(const std::string& name) {
    SC_HANDLE service = OpenTestService(name, SERVICE_QUERY_STATUS);
    if (service == nullptr) return 0;
    SERVICE_STATUS status{};
    const DWORD state = QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    CloseServiceHandle(service);
    return state;
}

}  // namespace fixture
