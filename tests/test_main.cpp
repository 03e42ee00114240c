#include <gtest/gtest.h>

#include "engine/Random.h"

int main(int argc, char** argv)
{
  testing::InitGoogleTest(&argc, argv);
  vrandom::Seed(12345);
  return RUN_ALL_TESTS();
}
