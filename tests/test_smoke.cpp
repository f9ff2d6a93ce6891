#include <gtest/gtest.h>

#include "zk_test_support.h"

TEST(Shell, RunsTheGameAndReturnsZero) {
    int frames = 0;
    EXPECT_EQ(zk_test_run([&] {
                  ZK_Init();
                  for (int i = 0; i < 3; ++i, ++frames) ZK_Refresh();
                  return 0;
              }),
              0);
    EXPECT_EQ(frames, 3);
}
