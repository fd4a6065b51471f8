// The alias folder lives under XDG_RUNTIME_DIR: a folder of our own for the
// whole run, so the simulator's COM3 never meets the operator's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
  char pattern[] = "/tmp/vark-soak-XXXXXX";
  const char* folder = ::mkdtemp(pattern);
  if (!folder) return 2;
  ::setenv("XDG_RUNTIME_DIR", folder, 1);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return result;
}
