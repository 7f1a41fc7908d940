// Linked into every test program: before any test runs, HOME and
// XDG_CONFIG_HOME point into the build, so settings that a test makes the
// program keep in the standard folders never reach the user's own. (ctest
// cannot pass two variables through gtest_discover_tests here.)
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

const bool HomeSet = [] {
  std::error_code Ignored;
  std::filesystem::create_directories(QUILLORY_TEST_HOME "/.config", Ignored);
  setenv("HOME", QUILLORY_TEST_HOME, 1);
  setenv("XDG_CONFIG_HOME", QUILLORY_TEST_HOME "/.config", 1);
  return true;
}();

}  // namespace
