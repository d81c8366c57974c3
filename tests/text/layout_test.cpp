#include "text/layout.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ketrovane::text {
namespace {

std::string real(float v, int w, int d) {
  std::string out;
  put_real(out, v, w, d);
  return out;
}

std::string render(std::string_view layout, std::initializer_list<Value> values = {},
                   Ending ending = Ending::line) {
  std::string out;
  Layout(layout, ending).render(out, values);
  return out;
}

TEST(RealField, RoundsToNearestWithTheZeroBeforeThePointWhenThereIsRoom) {
  EXPECT_EQ(real(0.5F, 6, 3), " 0.500");
  EXPECT_EQ(real(0.5F, 4, 3), ".500");
  EXPECT_EQ(real(-0.5F, 5, 3), "-.500");
  EXPECT_EQ(real(994.685F, 9, 3), "  994.685");
  EXPECT_EQ(real(1.98937F, 7, 4), " 1.9894");
  EXPECT_EQ(real(12345.678F, 10, 3), " 12345.678");
  EXPECT_EQ(real(36.0380F, 7, 3), " 36.038");
  EXPECT_EQ(real(-10.6704F, 9, 3), "  -10.670");
  EXPECT_EQ(real(3.0F, 4, 0), "  3.");
}

TEST(RealField, ExactHalvesRoundAwayFromZero) {
  EXPECT_EQ(real(0.125F, 5, 2), " 0.13");
  EXPECT_EQ(real(-0.125F, 5, 2), "-0.13");
  EXPECT_EQ(real(2.5F, 3, 0), " 3.");
  EXPECT_EQ(real(0.0625F, 6, 3), " 0.063");
  // Just below a half is not a half.
  EXPECT_EQ(real(0.1249999F, 5, 2), " 0.12");
}

TEST(RealField, KeepsTheMinusSignOfValuesThatRoundToZero) {
  EXPECT_EQ(real(-0.0004F, 8, 3), "  -0.000");
  EXPECT_EQ(real(-0.0F, 8, 3), "  -0.000");
  EXPECT_EQ(real(0.0F, 8, 3), "   0.000");
  EXPECT_EQ(real(-0.0F, 5, 3), "-.000");
}

TEST(RealField, WritesAsterisksWhenTheValueDoesNotFit) {
  EXPECT_EQ(real(100.0F, 5, 2), "*****");
  EXPECT_EQ(real(99.999F, 5, 2), "*****");  // rounds up to 100.00
  EXPECT_EQ(real(99.994F, 5, 2), "99.99");
  EXPECT_EQ(real(-10.0F, 5, 2), "*****");
  EXPECT_EQ(real(-999.999F, 8, 3), "-999.999");
  EXPECT_EQ(real(1.0e20F, 10, 3), "**********");
  EXPECT_EQ(real(std::numeric_limits<float>::max(), 8, 3), "********");
}

TEST(RealField, NonFiniteValuesFillTheFieldWithAsterisks) {
  EXPECT_EQ(real(std::numeric_limits<float>::quiet_NaN(), 7, 3), "*******");
  EXPECT_EQ(real(std::numeric_limits<float>::infinity(), 6, 2), "******");
  EXPECT_EQ(real(-std::numeric_limits<float>::infinity(), 6, 2), "******");
}

TEST(RealField, LargeValuesThatFitAreWrittenExactly) {
  EXPECT_EQ(real(16777216.0F, 12, 1), "  16777216.0");
  EXPECT_EQ(real(5.0e6F, 18, 9), " 5000000.000000000");
}

TEST(IntegerAndTextFields, AlignAndTruncateAsTheirWidthSays) {
  std::string out;
  put_integer(out, 7, 2);
  put_integer(out, 2026, 4);
  put_integer(out, -5, 2);
  put_integer(out, 123, 2);
  EXPECT_EQ(out, " 72026-5**");
  out.clear();
  put_text(out, "Coupling:KO.        ", 11);
  put_text(out, "ab", 4);
  EXPECT_EQ(out, "Coupling:KOab  ");
}

TEST(Layout, QuotedTextsBlanksAndSlashes) {
  EXPECT_EQ(render("(6X,'It''s')"), "      It's\n");
  EXPECT_EQ(render("('a' 'b',/,'c')"), "ab\nc\n");
  EXPECT_EQ(render("(/,'x')"), "\nx\n");
  EXPECT_EQ(render("('a'/10X,'b')"), "a\n          b\n");
  EXPECT_EQ(render("('a',/16X 'b')"), "a\n                b\n");
  EXPECT_EQ(render("('x',/)"), "x\n\n");
  EXPECT_EQ(render("(  'x' ,  2X , 'y'  )"), "x  y\n");
}

TEST(Layout, RepeatGroupsAndHollerithRules) {
  EXPECT_EQ(render("(6X,5(1H-))"), "      -----\n");
  EXPECT_EQ(render("(3(1H=))"), "===\n");
  EXPECT_EQ(render("(2(1X,2('ab',1X)))"), " ab ab  ab ab \n");
  EXPECT_EQ(render("(2(F5.1),2(1X,I2))", {1.0F, 2.0F, 3, 4}), "  1.0  2.0  3  4\n");
  EXPECT_EQ(render("(2F5.1)", {1.0F, 2.0F}), "  1.0  2.0\n");
  EXPECT_EQ(render("('\"',F4.1,'\"')", {1.5F}), "\" 1.5\"\n");
}

TEST(Layout, QuestionsEndWithoutALineEnd) {
  EXPECT_EQ(render("(6X,'OPERATION selected = ')", {}, Ending::question),
            "      OPERATION selected = ");
  EXPECT_EQ(render("(/,6X,'Q = ')", {}, Ending::question), "\n      Q = ");
}

TEST(Layout, DateFieldsUseBlanksNotZeros) {
  EXPECT_EQ(
      render("('Date:',I2,'/',I2,'/',I4, ' at ',I2,':',I2,':',I2,'Hours')", {12, 6, 2026, 9, 5, 7}),
      "Date:12/ 6/2026 at  9: 5: 7Hours\n");
}

TEST(Layout, CountsItsFields) {
  EXPECT_EQ(Layout("(9X,F8.4,F7.3,F8.3,2(F8.3),F9.3,F8.3,F8.3)").field_count(), 8U);
  EXPECT_EQ(Layout("(34X,4(1X,F7.2))").field_count(), 4U);
  EXPECT_EQ(Layout("(6X,72(1H-))").field_count(), 0U);
}

TEST(Layout, MalformedLayoutsAreRejectedWhenParsed) {
  for (const char* bad : {"", "6X", "(6X", "('abc)", "(Q5)", "(F7)", "(F7.)", "(F4.4)", "(A)",
                          "(0(1X))", "(2H-)", "(6X))", "(6X) x", "(I0)"}) {
    EXPECT_THROW(Layout{bad}, std::invalid_argument) << bad;
  }
}

TEST(Layout, ValuesMustMatchTheFields) {
  const Layout layout("(F5.1,I3,A4)");
  std::string out;
  EXPECT_THROW(layout.render(out, {1.0F, 2}), std::logic_error);
  EXPECT_THROW(layout.render(out, {1, 2, "ab"}), std::logic_error);
  EXPECT_THROW(layout.render(out, {1.0F, 2.0F, "ab"}), std::logic_error);
  EXPECT_THROW(layout.render(out, {1.0F, 2, 3}), std::logic_error);
  EXPECT_NO_THROW(layout.render(out, {1.0F, 2, "ab"}));
}

}  // namespace
}  // namespace ketrovane::text
