// A save that fails leaves what was there as it was, and no other file.
#include "harness.h"

#include <filesystem>
#include <iterator>
#include <tuple>

#include "common/win_text.h"
#include "ui/safe_write.h"

namespace {

using SafeWrite = DriverTest;

TEST_F(SafeWrite, FailsLeavingNoOtherFile) {
    MakeFolders(Folder() + "\\folder");
    const auto files = [this] {
        return std::distance(std::filesystem::directory_iterator(Widen(Folder())), {});
    };
    const auto before = files();
    using Case = std::tuple<std::string, std::string_view, DWORD>;
    // The new file is made and written, and the move fails; or none is made.
    for (const auto& [path, label, code] :
         {Case{Folder() + "\\folder", "E15 MoveFileEx", ERROR_ACCESS_DENIED},
          Case{Folder() + "\\gone\\new.txt", "E12 CreateFile", ERROR_PATH_NOT_FOUND}}) {
        const std::optional<WriteFailure> failure = WriteTextFile(path, u"new");
        ASSERT_TRUE(failure) << path;
        EXPECT_EQ(Case(path, failure->label, failure->code), Case(path, label, code));
    }
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(std::filesystem::is_directory(Widen(Folder() + "\\folder")));
}

} // namespace
