// Each window's own working folder: made, kept apart from the others,
// removed when done; those a crash left behind are removed by the next start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/WorkingFolder.h"

namespace fs = std::filesystem;

namespace {

class WorkingFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "quillory-work-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Root = Pattern + "/";
    Parent = Root + "TEMP/";
  }
  void TearDown() override { fs::remove_all(Root); }

  // A folder as a program that died would leave it.
  std::string Leftover(const std::string& Name, bool WithLock, bool Old) {
    const std::string Folder = Parent + Name + "/";
    fs::create_directories(Folder);
    std::ofstream(Folder + "alpha") << "x";
    if (WithLock) std::ofstream(Folder + ".lock");
    if (Old) fs::last_write_time(Folder, fs::file_time_type::clock::now() - std::chrono::hours(1));
    return Folder;
  }

  std::string Root, Parent;
};

TEST_F(WorkingFolderTest, EachOneIsItsOwnAndGoesWithIt) {
  std::string First;
  {
    TWorkingFolder A(Parent);
    TWorkingFolder B(Parent);
    ASSERT_FALSE(A.Path().empty());
    ASSERT_FALSE(B.Path().empty());
    EXPECT_NE(A.Path(), B.Path());
    EXPECT_EQ(A.Path().rfind(Parent, 0), 0u);
    EXPECT_EQ(A.Path().back(), '/');
    EXPECT_TRUE(fs::is_directory(A.Path()));
    First = A.Path();
    // A third start leaves the two in use alone.
    TWorkingFolder C(Parent);
    EXPECT_TRUE(fs::is_directory(A.Path()));
    EXPECT_TRUE(fs::is_directory(B.Path()));
    std::ofstream(A.Path() + "0.jpeg") << "scratch";
  }
  EXPECT_FALSE(fs::exists(First));
  EXPECT_TRUE(fs::is_directory(Parent));
  EXPECT_TRUE(fs::is_empty(Parent));
}

TEST_F(WorkingFolderTest, FoldersNobodyHoldsAreRemovedAtTheNextStart) {
  fs::create_directories(Parent);
  const std::string Unheld = Leftover("run-1-aaaaaa", true, false);
  const std::string OldLockless = Leftover("run-2-bbbbbb", false, true);
  const std::string NewLockless = Leftover("run-3-cccccc", false, false);  // being made now
  const std::string NotOurs = Leftover("photos", false, true);
  TWorkingFolder Running(Parent);
  // Held: its lock is taken by another open file.
  const std::string Held = Leftover("run-4-dddddd", true, false);
  const int Fd = ::open((Held + ".lock").c_str(), O_RDWR);
  ASSERT_GE(Fd, 0);
  ASSERT_EQ(flock(Fd, LOCK_EX | LOCK_NB), 0);

  TWorkingFolder::RemoveAbandoned(Parent);
  EXPECT_FALSE(fs::exists(Unheld));
  EXPECT_FALSE(fs::exists(OldLockless));
  EXPECT_TRUE(fs::exists(NewLockless));
  EXPECT_TRUE(fs::exists(NotOurs));
  EXPECT_TRUE(fs::exists(Held));
  EXPECT_TRUE(fs::exists(Running.Path()));
  ::close(Fd);
  TWorkingFolder::RemoveAbandoned(Parent);
  EXPECT_FALSE(fs::exists(Held));
}

TEST_F(WorkingFolderTest, AParentThatCannotBeMadeGivesNoFolder) {
  std::ofstream(Root + "file") << "x";
  TWorkingFolder Nowhere(Root + "file/TEMP/");
  EXPECT_TRUE(Nowhere.Path().empty());
}

}  // namespace
