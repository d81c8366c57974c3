// Step counts and row values of the ranges every sweep takes.
#include "design/ranges.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "common/saturating.hpp"

namespace ketrovane {
namespace {

TEST(StepCount, WholeNumbersOfStepsKeepTheirEndPoint) {
  for (const Quotient q : {Quotient::single_precision, Quotient::double_precision}) {
    EXPECT_EQ(step_count({0.01F, 0.05F, 0.01F}, q), 4);
    EXPECT_EQ(step_count({0.01F, 0.045F, 0.01F}, q), 3);  // the last row below the maximum
    EXPECT_EQ(step_count({0.02F, 0.02F, 0.01F}, q), 0);   // one row
    // (0.16 - 0.01)/0.01 is 14.999999 in single precision: the added 0.0001
    // keeps the sixteenth row.
    EXPECT_EQ(step_count({0.01F, 0.16F, 0.01F}, q), 15);
  }
}

// The dialogue and the impedance analysis form the quotient differently,
// and the reports show the difference; neither may be swapped for the other.
TEST(StepCount, SingleAndDoubleQuotientsDifferWhereTheyMust) {
  const Range r{0.01F, 2.06F, 0.001F};
  EXPECT_EQ(step_count(r, Quotient::single_precision), 2049);
  EXPECT_EQ(step_count(r, Quotient::double_precision), 2050);
}

TEST(StepCount, SaturatesInsteadOfOverflowing) {
  for (const Quotient q : {Quotient::single_precision, Quotient::double_precision}) {
    EXPECT_EQ(step_count({1.0F, 1.0e30F, 1.0e-30F}, q), INT_MAX);
    EXPECT_EQ(step_count({1.0F, 2.0F, 0.0F}, q), INT_MAX);
    EXPECT_EQ(step_count({2.0F, 1.0F, 0.0F}, q), INT_MIN);
    EXPECT_EQ(step_count({0.0F, 0.0F, 0.0F}, q), 0);  // NaN
    EXPECT_EQ(step_count({0.0F, std::numeric_limits<float>::quiet_NaN(), 1.0F}, q), 0);
  }
}

TEST(RowValue, ComesFromTheIndexNotFromAnAccumulatedSum) {
  float accumulated = 0.1F;
  for (int i = 1; i <= 1000; ++i) accumulated += 0.1F;
  EXPECT_EQ(row_value(0.1F, 1000, 0.1F), 100.1F);
  EXPECT_NE(accumulated, 100.1F);
  EXPECT_EQ(row_value(1000.0F, 10, 100.0F), 2000.0F);
  EXPECT_EQ(row_value(0.01F, 15, 0.01F), 0.16F);
}

TEST(SaturatingInt, NearestAndTruncated) {
  EXPECT_EQ(nearest_int(2.49F), 2);
  EXPECT_EQ(nearest_int(2.5F), 3);
  EXPECT_EQ(nearest_int(-0.5F), -1);
  EXPECT_EQ(truncated_int(1.9F), 1);
  EXPECT_EQ(truncated_int(-1.9F), -1);
  EXPECT_EQ(nearest_int(3.0e9F), INT_MAX);
  EXPECT_EQ(truncated_int(-3.0e9F), INT_MIN);
  EXPECT_EQ(nearest_int(std::numeric_limits<float>::infinity()), INT_MAX);
  EXPECT_EQ(nearest_int(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace ketrovane
