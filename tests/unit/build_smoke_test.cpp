#include <gtest/gtest.h>
#include "host/host_records.h"
TEST(Smoke, Builds) {
    EXPECT_EQ(sizeof(FilterRecord), 568u);
}
