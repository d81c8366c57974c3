// Mistakes at a terminal are told and asked again; in a script they end the
// program.  The whole program runs in memory with the shipped defaults.
#include <gtest/gtest.h>

#include <string>

#include "support/expected_notes.hpp"
#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::Session;

// An impedance analysis over widths on the shipped defaults, up to its
// storage question.
const std::string kImpedance = "1\n1\n1\n" + std::string(11, '\n');

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (auto i = text.find(piece); i != std::string::npos; i = text.find(piece, i + 1)) ++n;
  return n;
}

// A session whose replies come from a person at a terminal.
struct AtATerminal : Session {
  explicit AtATerminal(const std::string& input) : Session(testing::shipped_defaults()) {
    mistakes = Mistakes::ask_again;
    run(input);
  }
};

TEST(Mistakes, AReplyThatIsNotANumberIsAskedAgainAtATerminal) {
  // "0,25" for Wmin, "10dB" at the storage question.
  const std::string input =
      "1\n1\n1\n\n0,25\n0.1\n0.2\n0.02\n" + std::string(7, '\n') + "10dB\n1\nout.txt\n3\n";
  AtATerminal s(input);
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.errors.str(),
            "ketrovane: the reply \"0,25\" is not a number: type a plain number, such as 10, 0.25 "
            "or 2.5E-3, and press Enter\n"
            "ketrovane: the reply \"10dB\" is not a number: type a plain number, such as 10, 0.25 "
            "or 2.5E-3, and press Enter\n" +
                std::string(testing::kWidthsAnalysisNote));
  EXPECT_EQ(count(s.out(), "-Min. Strip Width:  Wmin,  Inches = "), 2U);
  EXPECT_EQ(count(s.out(), "Is Output Data STORAGE desired? (1=YES)  = "), 2U);
  // The design entered survives the mistakes: six widths from 0.1 to 0.2.
  const std::string& stored = s.files.files["out.txt"];
  EXPECT_NE(stored.find("           0.1000  0.400  64.793  98.641  42.560   -8.021"),
            std::string::npos);
  EXPECT_NE(stored.find("           0.2000  0.800  44.966  60.794  33.259  -10.670"),
            std::string::npos);
}

TEST(Mistakes, AScriptStillEndsAtTheFirstMistake) {
  Session s(testing::shipped_defaults(), "1\n1\n1\n\n0,25\n");
  EXPECT_EQ(s.status, 2);
  EXPECT_EQ(s.errors.str(), "ketrovane: input error: the reply \"0,25\" is not a number\n");
}

TEST(Mistakes, AStorageFileThatCannotBeOpenedIsAskedAgainAtATerminal) {
  Session s(testing::shipped_defaults());
  s.mistakes = Mistakes::ask_again;
  s.files.unwritable = {"nodir/out.txt"};
  s.run(kImpedance + "1\nnodir/out.txt\ngood.txt\n3\n");
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.errors.str(),
            "ketrovane: cannot open the storage file \"nodir/out.txt\": enter another name, or "
            "nothing for no storage of this design\n" +
                std::string(testing::kWidthsAnalysisNote));
  EXPECT_EQ(count(s.out(), "Enter your FILENAME for Output Data Storage: "), 2U);
  EXPECT_NE(s.out().find("Output Data stored in User filename: good.txt"), std::string::npos);
  EXPECT_NE(s.files.files["good.txt"].find("Impedance Analysis"), std::string::npos);
}

TEST(Mistakes, AfterAFailedOpenAnEmptyNameMeansNoStorageAndKeepsTheOpenFile) {
  Session s(testing::shipped_defaults());
  s.mistakes = Mistakes::ask_again;
  s.files.unwritable = {"nodir/out.txt"};
  // First design stored in first.txt; the second tries a bad name, then
  // gives up; the third stores again under the empty name: first.txt.
  s.run(kImpedance + "1\nfirst.txt\n2\n" + kImpedance + "1\nnodir/out.txt\n\n2\n" + kImpedance +
        "1\n\n3\n");
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(count(s.out(), "Output Data stored in User filename: first.txt"), 2U);
  // Both stored reports are in the file, the second appended to the first.
  EXPECT_EQ(count(s.files.files["first.txt"], "Impedance Analysis"), 2U);
  EXPECT_FALSE(s.files.files.contains("nodir/out.txt"));
}

TEST(Mistakes, AScriptStillEndsWhenTheStorageFileCannotBeOpened) {
  Session s(testing::shipped_defaults());
  s.files.unwritable = {"nodir/out.txt"};
  s.run(kImpedance + "1\nnodir/out.txt\ngood.txt\n3\n");
  EXPECT_EQ(s.status, 2);
  EXPECT_FALSE(s.files.files.contains("good.txt"));
}

// The Enter of the last reply has ended the line at a terminal; a script's
// output gets a line end of its own.
TEST(Mistakes, TheLastLineEndsOnceAtATerminalAndInAScript) {
  const std::string input = kImpedance + "\n3\n";
  AtATerminal terminal(input);
  Session script(testing::shipped_defaults(), input);
  EXPECT_TRUE(terminal.out().ends_with("OPERATION selected = "));
  EXPECT_TRUE(script.out().ends_with("OPERATION selected = \n"));
}

TEST(Mistakes, TheEndOfInputEndsTheProgramAtATerminalToo) {
  AtATerminal s(kImpedance + "1\nout.txt\n1\n1\n");
  EXPECT_EQ(s.status, 2);
  EXPECT_EQ(s.errors.str(),
            std::string(testing::kWidthsAnalysisNote) +
                "ketrovane: end of input: a reply was expected on standard input\n");
  EXPECT_NE(s.files.files["out.txt"].find("Output Data stored in User filename: out.txt"),
            std::string::npos);
}

}  // namespace
}  // namespace ketrovane
