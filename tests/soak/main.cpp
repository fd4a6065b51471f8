// The alias folder lives under XDG_RUNTIME_DIR: a folder of our own for the
// whole run, so the simulator's COM3 never meets the operator's.
#include <gtest/gtest.h>

#include "tests/fixtures/private_runtime_folder.h"

int main(int argc, char** argv) {
  const testenv::PrivateRuntimeFolder runtime("soak");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
