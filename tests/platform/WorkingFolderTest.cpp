// The working folders older versions made for each window: those nobody
// holds are removed at the next start, the rest stay.
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

TEST_F(WorkingFolderTest, FoldersNobodyHoldsAreRemovedAtTheNextStart) {
  fs::create_directories(Parent);
  const std::string Unheld = Leftover("run-1-aaaaaa", true, false);
  const std::string OldLockless = Leftover("run-2-bbbbbb", false, true);
  const std::string NewLockless = Leftover("run-3-cccccc", false, false);  // being made now
  const std::string NotOurs = Leftover("photos", false, true);
  // Held: its lock is taken by another open file (a window of an older
  // version still running).
  const std::string Held = Leftover("run-4-dddddd", true, false);
  const int Fd = ::open((Held + ".lock").c_str(), O_RDWR);
  ASSERT_GE(Fd, 0);
  ASSERT_EQ(flock(Fd, LOCK_EX | LOCK_NB), 0);

  RemoveAbandonedWorkingFolders(Parent);
  EXPECT_FALSE(fs::exists(Unheld));
  EXPECT_FALSE(fs::exists(OldLockless));
  EXPECT_TRUE(fs::exists(NewLockless));
  EXPECT_TRUE(fs::exists(NotOurs));
  EXPECT_TRUE(fs::exists(Held));
  ::close(Fd);
  RemoveAbandonedWorkingFolders(Parent);
  EXPECT_FALSE(fs::exists(Held));
  EXPECT_TRUE(fs::is_directory(Parent));  // what is not ours keeps it
}

TEST_F(WorkingFolderTest, TheFolderGoesOnceNothingIsLeftInIt) {
  fs::create_directories(Parent);
  const std::string Unheld = Leftover("run-1-aaaaaa", true, false);
  RemoveAbandonedWorkingFolders(Parent);
  EXPECT_FALSE(fs::exists(Parent));
  RemoveAbandonedWorkingFolders(Parent);  // nothing there: nothing to do
  EXPECT_FALSE(fs::exists(Parent));
}

}  // namespace
