// The alias folder lives under XDG_RUNTIME_DIR: point it at a folder of our
// own before anything runs, so no test ever sees or changes the real one.
#include <gtest/gtest.h>

#include "tests/fixtures/private_runtime_folder.h"

int main(int argc, char** argv) {
  const testenv::PrivateRuntimeFolder runtime("drv-test");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
