#include "harness/package_fixtures.h"

#include "harness/fixtures.h"

#include <cstring>

namespace fixture {

const char kPackageRepository[] =
    "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository\\Packages";
const char kPackageStates[] =
    "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\SystemAppData";

namespace {

std::string Attribute(const char* name, const std::string& value) {
    return value.empty() ? "" : std::string(" ") + name + "=\"" + value + "\"";
}

}  // namespace

std::string ManifestDeclaring(const std::vector<DeclaredTask>& tasks) {
    std::string extensions;
    for (const DeclaredTask& task : tasks) {
        extensions += "        <" + task.prefix + ":Extension Category=\"windows.startupTask\" Executable=\"App.exe\">\r\n"
                      "          <" + task.prefix + ":StartupTask" + Attribute("TaskId", task.taskId) +
                      Attribute("Enabled", task.enabled) + Attribute("DisplayName", task.displayName) + " />\r\n"
                      "        </" + task.prefix + ":Extension>\r\n";
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<Package xmlns=\"http://schemas.microsoft.com/appx/manifest/foundation/windows10\"\r\n"
           "  xmlns:uap=\"http://schemas.microsoft.com/appx/manifest/uap/windows10\"\r\n"
           "  xmlns:uap5=\"http://schemas.microsoft.com/appx/manifest/uap/windows10/5\"\r\n"
           "  xmlns:desktop=\"http://schemas.microsoft.com/appx/manifest/desktop/windows10\">\r\n"
           "  <Properties><DisplayName>Test app</DisplayName></Properties>\r\n"
           "  <Applications>\r\n"
           "    <Application Id=\"App\" Executable=\"App.exe\" EntryPoint=\"Windows.FullTrustApplication\">\r\n"
           "      <uap:VisualElements DisplayName=\"Test app\" Description=\"A test\" />\r\n"
           "      <Extensions>\r\n" + extensions +
           "        <uap5:Extension Category=\"windows.appExecutionAlias\">\r\n"
           "          <uap5:StartupTask TaskId=\"Elsewhere\" Enabled=\"true\" />\r\n"
           "        </uap5:Extension>\r\n"
           "      </Extensions>\r\n"
           "    </Application>\r\n"
           "  </Applications>\r\n"
           "</Package>\r\n";
}

PackageRepository::PackageRepository() { CreateKey(HKEY_CURRENT_USER, kPackageRepository); }

PackageRepository::~PackageRepository() {
    DeleteTree(HKEY_CURRENT_USER, kPackageRepository);
    DeleteTree(HKEY_CURRENT_USER, kPackageStates);
}

TestPackage::TestPackage(const std::string& fullName, const std::string& manifest)
    : fullName_(fullName), folder_(fullName) {
    WriteFileText(folder_.file("AppxManifest.xml"), manifest);
    // As Windows writes it: the folder without a closing backslash.
    const std::string folder = folder_.path().substr(0, folder_.path().size() - 1);
    SetString(HKEY_CURRENT_USER, std::string(kPackageRepository) + "\\" + fullName_, "PackageRootFolder", folder);
}

TestPackage::~TestPackage() { DeleteTree(HKEY_CURRENT_USER, std::string(kPackageRepository) + "\\" + fullName_); }

std::string TaskKey(const std::string& family, const std::string& taskId) {
    return std::string(kPackageStates) + "\\" + family + "\\" + taskId;
}

void SetTaskState(const std::string& family, const std::string& taskId, DWORD state) {
    SetRaw(HKEY_CURRENT_USER, TaskKey(family, taskId), "State", REG_DWORD, &state, sizeof state);
}

DWORD TaskState(const std::string& family, const std::string& taskId) {
    DWORD type = REG_NONE;
    const std::string data = ReadValue(HKEY_CURRENT_USER, TaskKey(family, taskId), "State", &type);
    DWORD state = kNoState;
    if (type == REG_DWORD && data.size() == sizeof state) std::memcpy(&state, data.data(), sizeof state);
    return state;
}

}  // namespace fixture
