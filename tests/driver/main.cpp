// The alias folder lives under XDG_RUNTIME_DIR: point it at a folder of our
// own before anything runs, so no test ever sees or changes the real one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  char pattern[] = "/tmp/vark-drv-test-XXXXXX";
  const char* folder = ::mkdtemp(pattern);
  if (!folder) return 2;
  ::setenv("XDG_RUNTIME_DIR", folder, 1);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return result;
}
