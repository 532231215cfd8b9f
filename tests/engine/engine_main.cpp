// Runs the engine tests inside a Qt application.
#include <gtest/gtest.h>

#include "engine_fixture.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const auto app = quillo::testing::MakeEngineApplication(argc, argv);
  return RUN_ALL_TESTS();
}
