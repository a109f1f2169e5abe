#pragma once
// Test services in the test prefix's real service control manager, made with
// CreateService and deleted again when the fixture goes. They are never
// started: only how they start matters.

#include <windows.h>

#include <string>

namespace fixture {

// Names of the test services start with this, so that tests can tell them
// from the prefix's own services.
extern const char kTestServicePrefix[];

class TestService {
public:
    // `name` gets kTestServicePrefix in front. `library`, when given, is the
    // ServiceDll of a service hosted by svchost.exe.
    TestService(const std::string& name, const std::string& binaryPath, DWORD startType,
                DWORD type = SERVICE_WIN32_OWN_PROCESS, const std::string& library = "");
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    const std::string& name() const { return name_; }
    std::string displayName() const { return name_ + " display"; }

private:
    std::string name_;
};

// The service's start type as the service control manager gives it; 0xFFFFFFFF when it is missing.
DWORD ServiceStartType(const std::string& name);
void SetServiceStartType(const std::string& name, DWORD startType);
// The service's state (SERVICE_RUNNING, ...); 0 when it cannot be asked.
DWORD ServiceState(const std::string& name);

}  // namespace fixture
