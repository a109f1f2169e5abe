#pragma once
// What a packaged app's manifest (AppxManifest.xml in the package's folder)
// says of its startup tasks: each is a StartupTask element (of the uap5 or
// the desktop namespace) in an Extension of category "windows.startupTask".

#include <memory>
#include <string>
#include <vector>

struct ManifestTask {
    std::wstring taskId;
    std::wstring displayName;  // empty when the manifest gives none
    // Enabled="true" or "1": the task runs before anyone switched it.
    bool enabled = false;
};

// Reads manifests, one after the other, with one XML reader.
class ManifestReader {
public:
    ManifestReader();
    ~ManifestReader();
    ManifestReader(const ManifestReader&) = delete;
    ManifestReader& operator=(const ManifestReader&) = delete;

    // The startup tasks the manifest at `path` declares, in its order. False
    // (and no task) when the file cannot be read or is no well-formed XML to
    // its end, or the system has no XmlLite.
    bool ReadTasks(const std::string& path, std::vector<ManifestTask>& tasks);

private:
    struct Parser;
    std::unique_ptr<Parser> parser;
};
