#include "harness/check.h"
#include "harness/shell_fixtures.h"
#include "platform/files.h"

#include <string>
#include <vector>

TEST_CASE(AReplacementThatCannotTakeItsPlaceLeavesTheFolderAsItWas) {
    fixture::TempFolder folder("replace");
    REQUIRE(fixture::WriteFileText(folder.file("kept"), "old"));
    REQUIRE(CreateDirectoryA(folder.file("folder").c_str(), nullptr));
    CHECK(!ReplaceWholeFile(folder.file("folder"), "new"));
    CHECK(!ReplaceWholeFile(folder.file("missing\\file"), "new"));
    CHECK(fixture::DirectoryExists(folder.file("folder")));
    CHECK_EQ(fixture::FolderEntries(folder.path()), (std::vector<std::string>{"folder", "kept"}));

    CHECK(ReplaceWholeFile(folder.file("kept"), "new"));
    std::string bytes;
    CHECK(ReadWholeFile(folder.file("kept"), 3, bytes));
    CHECK_EQ(bytes, "new");
    CHECK(!ReadWholeFile(folder.file("kept"), 2, bytes));
    CHECK_EQ(fixture::FolderEntries(folder.path()), (std::vector<std::string>{"folder", "kept"}));
}
