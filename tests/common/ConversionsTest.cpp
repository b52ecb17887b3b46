#include <gtest/gtest.h>

#include "common/Conversions.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

TEST(Conversions, SmokeReadsDecimal) { EXPECT_DOUBLE_EQ(TextToDouble("3.25", "."), 3.25); }

}  // namespace
}  // namespace orv
