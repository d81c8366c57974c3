#include "front/driver.hpp"

#include <gtest/gtest.h>

#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::Session;

// First pass of an impedance analysis over widths, every datum by default.
const std::string kImpedance = "1\n1\n1\n" + std::string(11, '\n');
// The same analysis chosen again as a new option.
const std::string kImpedanceAgain = "1\n1\n" + std::string(11, '\n');
const std::string kReportBanner =
    "      Ketrovane (v. 1.3)                      Date:12/ 6/2026 at  9: 5: 7Hours\n";
const std::string kOpeningBanner = "Program: Ketrovane (v. 1.3)   Date:12/ 6/2026 at  9: 5: 7Hours";

std::size_t count(const std::string& text, std::string_view s) {
  std::size_t n = 0;
  for (auto i = text.find(s); i != std::string::npos; i = text.find(s, i + 1)) ++n;
  return n;
}

TEST(Driver, ClosingRepliesThatEndTheProgram) {
  for (const char* reply : {"", "0", "3", "-2", "7", "2.5", "1e9", "-0.4"}) {
    Session s(testing::shipped_defaults(), kImpedance + "\n" + reply + "\n");
    EXPECT_EQ(s.status, 0) << reply;
    EXPECT_EQ(count(s.out(), "OPERATION selected = "), 1U) << reply;
    EXPECT_TRUE(s.out().ends_with("      OPERATION selected = \n")) << reply;
  }
}

TEST(Driver, ClosingRepliesThatGoOn) {
  Session option(testing::shipped_defaults(), kImpedance + "\n1.4\n" + kImpedanceAgain + "\n\n");
  EXPECT_EQ(count(option.out(), kOpeningBanner), 1U);
  EXPECT_EQ(count(option.out(), kReportBanner), 2U);
  for (const char* reply : {"1.5", "2.4"}) {
    Session coupler(testing::shipped_defaults(),
                    kImpedance + "\n" + reply + "\n" + kImpedance + "\n\n");
    EXPECT_EQ(count(coupler.out(), kOpeningBanner), 2U) << reply;
    EXPECT_EQ(count(coupler.out(), kReportBanner), 2U) << reply;
  }
  // Only the first 13 columns of the reply are read.
  Session cut(testing::shipped_defaults(),
              kImpedance + "\n1            9\n" + kImpedanceAgain + "\n\n");
  EXPECT_EQ(count(cut.out(), kReportBanner), 2U);
}

TEST(Driver, StoringTwiceUnderOneNameAppends) {
  Session s(testing::shipped_defaults(), kImpedance + "1\nout.txt\n1\n" + kImpedanceAgain +
                                             "1\nout.txt\n1\n" + kImpedanceAgain + "\n\n");
  const std::string& stored = s.files.files["out.txt"];
  EXPECT_EQ(count(stored, kReportBanner), 2U);
  EXPECT_EQ(count(stored, "Output Data stored in User filename: out.txt             \n"), 2U);
  EXPECT_EQ(count(s.out(), kReportBanner), 3U);
  EXPECT_EQ(count(s.out(), "Output Data stored"), 2U);
  EXPECT_FALSE(stored.find("OPERATION") != std::string::npos);
}

TEST(Driver, StoringUnderAnotherNameStartsThatFileAfresh) {
  Session s(testing::shipped_defaults());
  s.files.files["b.txt"] = "old content\n";
  s.run(kImpedance + "1\na.txt\n1\n" + kImpedanceAgain + "1\nb.txt\n1\n" + kImpedanceAgain +
        "1\n\n\n");
  EXPECT_EQ(count(s.files.files["a.txt"], kReportBanner), 1U);
  EXPECT_EQ(count(s.files.files["b.txt"], kReportBanner), 2U);  // the blank name kept b.txt
  EXPECT_EQ(s.files.files["b.txt"].find("old content"), std::string::npos);
}

TEST(Driver, APassWithoutStorageLeavesTheFileAlone) {
  Session s(testing::shipped_defaults(), kImpedance + "1\na.txt\n1\n" + kImpedanceAgain + "\n\n");
  EXPECT_EQ(count(s.files.files["a.txt"], kReportBanner), 1U);
  EXPECT_EQ(count(s.out(), kReportBanner), 2U);
}

TEST(Driver, ARejectedDefaultFileEndsBeforeAnyBanner) {
  Session s("title\n0.25\n", "1\n");
  EXPECT_EQ(s.status, kExitDefaultFileRejected);
  EXPECT_EQ(s.out(),
            "      End of file in STRIPLINE COUPLER default value\n"
            "      data file (Ketrovane.DEF). Entry missing for variable ER.        \n");
  EXPECT_EQ(s.errors.str(), "");
}

TEST(Driver, InputErrorsEndWithStatusTwoAndKeepCompletedReports) {
  Session eof(testing::shipped_defaults(), kImpedance + "1\nout.txt\n1\n1\n1\n");
  EXPECT_EQ(eof.status, kExitInputOutputError);
  EXPECT_EQ(eof.errors.str(), "ketrovane: end of input: a reply was expected on standard input\n");
  EXPECT_EQ(count(eof.files.files["out.txt"], "Output Data stored"), 1U);
  EXPECT_TRUE(eof.out().ends_with("Inches = \n"));

  Session bad(testing::shipped_defaults(), "1\nyes\n");
  EXPECT_EQ(bad.status, kExitInputOutputError);
  EXPECT_EQ(bad.errors.str(), "ketrovane: input error: the reply \"yes\" is not a number\n");

  Session huge(testing::shipped_defaults(), "1e40\n");
  EXPECT_EQ(huge.errors.str(),
            "ketrovane: input error: the reply \"1e40\" is outside the single-precision range\n");
}

TEST(Driver, FileFailuresEndWithStatusTwo) {
  Session missing("");
  missing.files.files.erase("Ketrovane.DEF");
  missing.run("1\n");
  EXPECT_EQ(missing.status, kExitInputOutputError);
  EXPECT_EQ(missing.errors.str(), "ketrovane: cannot open the file \"Ketrovane.DEF\"\n");
  EXPECT_EQ(missing.out(), "");

  Session unwritable(testing::shipped_defaults());
  unwritable.files.unwritable.push_back("locked.txt");
  unwritable.run(kImpedance + "1\nlocked.txt\n");
  EXPECT_EQ(unwritable.status, kExitInputOutputError);
  EXPECT_EQ(unwritable.errors.str(), "ketrovane: cannot open the storage file \"locked.txt\"\n");
}

TEST(Driver, EveryBannerShowsTheMomentOfTheFirstDialogue) {
  Session s(testing::shipped_defaults(), kImpedance + "\n2\n" + kImpedance + "\n\n");
  EXPECT_EQ(count(s.out(), kOpeningBanner), 2U);
  EXPECT_EQ(count(s.out(), kReportBanner), 2U);
}

}  // namespace
}  // namespace ketrovane
