#pragma once
// Packaged apps as Windows keeps them for the user: a package's folder with
// its AppxManifest.xml, its key in the repository of installed packages, and
// the states of its startup tasks. A fresh test prefix has none of them.

#include "harness/shell_fixtures.h"

#include <windows.h>

#include <string>
#include <vector>

namespace fixture {

extern const char kPackageRepository[];  // below HKEY_CURRENT_USER
extern const char kPackageStates[];      // below HKEY_CURRENT_USER
// What TaskState gives for a task without a State value.
constexpr DWORD kNoState = 0xFFFFFFFF;

// One StartupTask element: its namespace prefix ("uap5" or "desktop") and its
// attributes; an empty one is left out.
struct DeclaredTask {
    std::string prefix;
    std::string taskId;
    std::string enabled;
    std::string displayName;
};

// An AppxManifest.xml that declares the tasks, each in an extension of
// startup tasks of its namespace, among what else a manifest holds (and a
// StartupTask "Elsewhere" in an extension of another category, which is none).
std::string ManifestDeclaring(const std::vector<DeclaredTask>& tasks);

// The repository of installed packages, made for a test (a system without it
// has no packaged apps) and removed, with every task state, when it goes.
class PackageRepository {
public:
    PackageRepository();
    ~PackageRepository();
    PackageRepository(const PackageRepository&) = delete;
    PackageRepository& operator=(const PackageRepository&) = delete;
};

// An installed package: its folder with that manifest and its repository key
// with PackageRootFolder, both removed when it goes.
class TestPackage {
public:
    TestPackage(const std::string& fullName, const std::string& manifest);
    ~TestPackage();
    TestPackage(const TestPackage&) = delete;
    TestPackage& operator=(const TestPackage&) = delete;

private:
    std::string fullName_;
    TempFolder folder_;
};

void SetTaskState(const std::string& family, const std::string& taskId, DWORD state);
DWORD TaskState(const std::string& family, const std::string& taskId);
std::string TaskKey(const std::string& family, const std::string& taskId);

}  // namespace fixture
