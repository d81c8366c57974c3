#include "text/reply_reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

namespace ketrovane::text {
namespace {

float number(std::string_view line) {
  const RealField f = read_real_field(line);
  EXPECT_EQ(f.error, FieldError::none) << line;
  return f.value;
}

TEST(ReplyReader, BlankFieldsReadAsZero) {
  EXPECT_EQ(number(""), 0.0F);
  EXPECT_EQ(number("     "), 0.0F);
  EXPECT_EQ(number("\t \t"), 0.0F);
  EXPECT_EQ(number("\r"), 0.0F);
}

TEST(ReplyReader, PlainDecimalNumbersWithOptionalExponent) {
  EXPECT_EQ(number("12"), 12.0F);
  EXPECT_EQ(number("  0.25"), 0.25F);
  EXPECT_EQ(number("-.5"), -0.5F);
  EXPECT_EQ(number("+7"), 7.0F);
  EXPECT_EQ(number("5."), 5.0F);
  EXPECT_EQ(number("1.5e2"), 150.0F);
  EXPECT_EQ(number("1.5E+2"), 150.0F);
  EXPECT_EQ(number("15d-1"), 1.5F);
  EXPECT_EQ(number("15D1"), 150.0F);
  EXPECT_EQ(number("1e-50"), 0.0F);  // below the smallest single, read as zero
}

TEST(ReplyReader, BlanksAndTabsWithinTheFieldAreIgnored) {
  EXPECT_EQ(number(" 1 2 "), 12.0F);
  EXPECT_EQ(number("\t3.5"), 3.5F);
  EXPECT_EQ(number("- 1 . 5"), -1.5F);
}

TEST(ReplyReader, OnlyTheFirstThirteenColumnsCount) {
  EXPECT_EQ(number("0.25         B. ground-plane spacing"), 0.25F);
  EXPECT_EQ(number("1234567890123456"), 1234567890123.0F);
  EXPECT_EQ(number("1            x"), 1.0F);
  EXPECT_EQ(number("             abc"), 0.0F);
}

TEST(ReplyReader, OneTrailingCarriageReturnIsDropped) {
  EXPECT_EQ(number("2\r"), 2.0F);
  EXPECT_EQ(read_real_field("2\r\r").error, FieldError::not_a_number);
}

TEST(ReplyReader, AnythingElseIsNotANumber) {
  for (const char* bad : {"abc", "1.2.3", "+", "-", ".", "+.", "e5", "1e", "1e+", "1e5.0", "nan",
                          "inf", "-Infinity", "0x10", "1,5", "1/2", "1e5e5", "--1", "y"}) {
    EXPECT_EQ(read_real_field(bad).error, FieldError::not_a_number) << bad;
  }
}

TEST(ReplyReader, NumbersBeyondSinglePrecisionAreRejected) {
  EXPECT_EQ(read_real_field("1e39").error, FieldError::out_of_range);
  EXPECT_EQ(read_real_field("-4e38").error, FieldError::out_of_range);
  EXPECT_EQ(number("3.4e38"), 3.4e38F);
}

TEST(NameReader, TakesTwentyColumnsPaddedWithBlanks) {
  EXPECT_EQ(read_name_field("out.txt\r"), "out.txt             ");
  EXPECT_EQ(read_name_field("abcdefghijklmnopqrstuvwxy"), "abcdefghijklmnopqrst");
  EXPECT_EQ(read_name_field("  lead"), "  lead              ");
  EXPECT_EQ(read_name_field(""), std::string(20, ' '));
  EXPECT_EQ(trim_trailing_blanks("  lead              "), "  lead");
  EXPECT_EQ(trim_trailing_blanks("    "), "");
}

TEST(LineReaders, SplitLinesAndKeepAFinalLineWithoutItsEnd) {
  std::istringstream in("one\n\nthree");
  StreamLineReader reader(in);
  EXPECT_EQ(reader.read_line(), "one");
  EXPECT_EQ(reader.read_line(), "");
  EXPECT_EQ(reader.read_line(), "three");
  EXPECT_EQ(reader.read_line(), std::nullopt);
  EXPECT_EQ(reader.read_line(), std::nullopt);
}

TEST(LineReaders, KeepOnlyTheStartOfAVeryLongLine) {
  std::istringstream in(std::string(1000000, '7') + "\n42\n");
  StreamLineReader reader(in);
  EXPECT_EQ(reader.read_line()->size(), StreamLineReader::kKeptColumns);
  EXPECT_EQ(reader.read_line(), "42");
}

TEST(LineReaders, ReadFromADescriptor) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string text = "first\r\n" + std::string(40000, 'x') + "\nlast";
  ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fds[1]);
  DescriptorLineReader reader(fds[0], "pipe");
  EXPECT_EQ(reader.read_line(), "first\r");
  EXPECT_EQ(reader.read_line()->size(), StreamLineReader::kKeptColumns);
  EXPECT_EQ(reader.read_line(), "last");
  EXPECT_EQ(reader.read_line(), std::nullopt);
  close(fds[0]);
}

TEST(LineReaders, AReadErrorIsFatal) {
  DescriptorLineReader reader(-1, "nowhere");
  EXPECT_THROW(reader.read_line(), FatalError);
}

TEST(ErrorQuotes, ShowControlCharactersAndCutLongReplies) {
  EXPECT_EQ(quote_input("ab\"c"), "\"ab\\x22c\"");
  EXPECT_EQ(quote_input(std::string(50, 'z')), "\"" + std::string(40, 'z') + "...\"");
  EXPECT_EQ(quote_input(std::string("\x01\xff", 2)), "\"\\x01\\xff\"");
}

}  // namespace
}  // namespace ketrovane::text
