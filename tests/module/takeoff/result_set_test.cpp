// A set of result tables that a killed run left half moved is finished at the
// next open, or undone when it cannot be finished; the table library's
// temporary files of writers that no longer run go.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "module/takeoff/result_set.h"
#include "module/toolkit/project_paths.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {
namespace {

class ResultSet : public TakeoffProject {
 protected:
  void put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
  std::string text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // Killed in the middle of the moves: A is in place (its previous table
  // aside), B and C (which had none) still wait in the work folder.
  void stageHalfMovedSet() {
    const fs::path work = project() / "~takeoff";
    fs::create_directories(work / "~previous");
    put(work / "~previous" / "A.DB", "old A");
    put(project() / "A.DB", "new A");
    put(project() / "B.DB", "old B");
    put(work / "B.DB", "new B");
    put(work / "C.DB", "new C");
    put(work / "~commit.txt", "R\tA.DB\nR\tB.DB\nN\tC.DB\n");
  }
};

TEST_F(ResultSet, AHalfMovedSetIsFinishedAtTheNextOpen) {
  stageHalfMovedSet();
  const std::string stale = "B.DB.tmp" + std::to_string(0x7ffffff0) + ".3",
                    live = "B.DB.tmp" + std::to_string(::getpid()) + ".4";
  put(project() / stale, "");
  put(project() / live, "");
  SettleLeftResultSets(ProjectFolderPath());
  EXPECT_EQ(text(project() / "A.DB"), "new A");
  EXPECT_EQ(text(project() / "B.DB"), "new B");
  EXPECT_EQ(text(project() / "C.DB"), "new C");
  EXPECT_FALSE(fs::exists(project() / "~takeoff"));
  EXPECT_FALSE(fs::exists(project() / stale));
  EXPECT_TRUE(fs::exists(project() / live));
}

TEST_F(ResultSet, ASetThatCannotBeFinishedIsUndone) {
  stageHalfMovedSet();
  fs::create_directory(project() / "C.DB");  // in the way of the new C
  SettleLeftResultSets(ProjectFolderPath());
  EXPECT_EQ(text(project() / "A.DB"), "old A");
  EXPECT_EQ(text(project() / "B.DB"), "old B");
  EXPECT_TRUE(fs::is_directory(project() / "C.DB"));
  EXPECT_FALSE(fs::exists(project() / "~takeoff"));
  EXPECT_NE(commandLine().find(L"原有的计算结果已恢复"), std::wstring::npos);
}

}  // namespace
}  // namespace kivtest
