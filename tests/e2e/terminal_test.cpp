// The program at a real (pseudo-)terminal: a mistake does not cost the
// session, the end of input still ends it, the shell prompt follows the
// last question without a blank line, and a report where the closed-form
// model is far from the field solution is followed by a note on the error
// stream, and by nothing when the program reads a script.
#include <gtest/gtest.h>

#include <string>

#include "support/expected_notes.hpp"
#include "terminal_session.hpp"

namespace {

using namespace ketrovane::e2e;
using ketrovane::testing::kWidthsAnalysisNote;

const fs::path kShippedDefaults = KETROVANE_SHIPPED_DEF;

class AtATerminal : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
    fs::copy_file(kShippedDefaults, work_ / "Ketrovane.DEF");
  }

  // Answers each question as it appears.
  void answer(TerminalSession& t, std::string_view question, std::string_view reply) {
    ASSERT_TRUE(t.expect(question)) << "waiting for " << question << " in\n" << t.output();
    t.type(reply);
  }

  // An impedance analysis over widths 0.1" to 0.2" on the defaults, up to
  // its storage question.
  void impedance_analysis(TerminalSession& t, bool first) {
    if (first) answer(t, "Program FUNCTION selected = ", "1");
    answer(t, "Analysis OPTION selected = ", "1");
    answer(t, "SUBOPTION selected = ", "1");
    answer(t, "B,  Inches = ", "");
    answer(t, "Wmin,  Inches = ", "0.1");
    answer(t, "Wmax,  Inches = ", "0.2");
    answer(t, "Wstep,  Inches = ", "0.02");
    for (const char* q : {"S, Inches = ", "T,  Inches = ", "Resistivity selected = ",
                          "Roughness selected = ", "Constant:Er = ", "DLTAN  = ", "Fo,MHz = "}) {
      answer(t, q, "");
    }
  }

  TemporaryDirectory root_;
  fs::path work_ = root_.path() / "work";
};

const std::string kFirstRow = "           0.1000  0.400  64.793  98.641  42.560   -8.021";
const std::string kLastRow = "           0.2000  0.800  44.966  60.794  33.259  -10.670";

TEST_F(AtATerminal, ABadNumberIsAskedAgainAndTheSessionCompletes) {
  TerminalSession t(work_);
  answer(t, "Program FUNCTION selected = ", "1");
  answer(t, "Analysis OPTION selected = ", "1");
  answer(t, "SUBOPTION selected = ", "1");
  answer(t, "B,  Inches = ", ".25\"");
  answer(t, "B,  Inches = ", "");  // asked again
  answer(t, "Wmin,  Inches = ", "0.1");
  answer(t, "Wmax,  Inches = ", "0.2");
  answer(t, "Wstep,  Inches = ", "0.02");
  for (const char* q : {"S, Inches = ", "T,  Inches = ", "Resistivity selected = ",
                        "Roughness selected = ", "Constant:Er = ", "DLTAN  = ", "Fo,MHz = "}) {
    answer(t, q, "");
  }
  answer(t, "(1=YES)  = ", "y");
  answer(t, "(1=YES)  = ", "1");  // asked again
  answer(t, "Output Data Storage: ", "report.txt");
  answer(t, "OPERATION selected = ", "3");
  EXPECT_EQ(t.wait(), 0);
  EXPECT_EQ(t.errors(),
            "ketrovane: the reply \".25\\x22\" is not a number: type a plain number, such as 10, "
            "0.25 or 2.5E-3, and press Enter\n"
            "ketrovane: the reply \"y\" is not a number: type a plain number, such as 10, 0.25 "
            "or 2.5E-3, and press Enter\n" +
                std::string(kWidthsAnalysisNote));
  const std::string stored = read_file(work_ / "report.txt");
  EXPECT_NE(stored.find(kFirstRow), std::string::npos);
  EXPECT_NE(stored.find(kLastRow), std::string::npos);
  EXPECT_NE(t.output().find(kLastRow), std::string::npos);
}

TEST_F(AtATerminal, AStorageFileThatCannotBeOpenedIsAskedAgain) {
  TerminalSession t(work_);
  impedance_analysis(t, true);
  answer(t, "(1=YES)  = ", "1");
  answer(t, "Output Data Storage: ", "nodir/report.txt");
  answer(t, "Output Data Storage: ", "report.txt");
  answer(t, "OPERATION selected = ", "3");
  EXPECT_EQ(t.wait(), 0);
  EXPECT_EQ(t.errors(),
            "ketrovane: cannot open the storage file \"nodir/report.txt\" in " + work_.string() +
                ": No such file or directory: enter another name, or nothing for no storage of "
                "this design\n" +
                std::string(kWidthsAnalysisNote));
  const std::string stored = read_file(work_ / "report.txt");
  EXPECT_NE(stored.find(kLastRow), std::string::npos);
  EXPECT_NE(stored.find("Output Data stored in User filename: report.txt"), std::string::npos);
}

TEST_F(AtATerminal, TheEndOfInputEndsTheProgramAndKeepsTheStoredReports) {
  TerminalSession t(work_);
  impedance_analysis(t, true);
  answer(t, "(1=YES)  = ", "1");
  answer(t, "Output Data Storage: ", "report.txt");
  answer(t, "OPERATION selected = ", "1");
  ASSERT_TRUE(t.expect("Analysis OPTION selected = "));
  t.end_input();
  EXPECT_EQ(t.wait(), 2);
  EXPECT_EQ(t.errors(), std::string(kWidthsAnalysisNote) +
                            "ketrovane: end of input: a reply was expected on standard input\n");
  const std::string stored = read_file(work_ / "report.txt");
  EXPECT_TRUE(stored.ends_with("Output Data stored in User filename: report.txt          \n"));
  EXPECT_NE(stored.find(kLastRow), std::string::npos);
}

// The Enter of the last reply has moved the cursor to a new line; the
// program adds no line end of its own, so no blank line precedes the prompt.
TEST_F(AtATerminal, NoBlankLineBeforeTheShellPrompt) {
  TerminalSession t(work_);
  impedance_analysis(t, true);
  answer(t, "(1=YES)  = ", "");
  answer(t, "OPERATION selected = ", "3");
  EXPECT_EQ(t.wait(), 0);
  EXPECT_TRUE(t.output().ends_with("OPERATION selected = "))
      << t.output().substr(t.output().size() - 40);
  EXPECT_EQ(t.errors(), kWidthsAnalysisNote);
}

// The note goes to the error stream only: the console and the stored
// report are the same bytes as those of the same session read from a
// script, which has no note.
TEST_F(AtATerminal, TheNoteChangesNeitherTheConsoleNorTheStoredReport) {
  TerminalSession t(work_);
  impedance_analysis(t, true);
  answer(t, "(1=YES)  = ", "1");
  answer(t, "Output Data Storage: ", "report.txt");
  answer(t, "OPERATION selected = ", "3");
  EXPECT_EQ(t.wait(), 0);
  EXPECT_EQ(t.errors(), kWidthsAnalysisNote);

  const fs::path scripted = root_.path() / "scripted";
  fs::create_directories(scripted);
  fs::copy_file(kShippedDefaults, scripted / "Ketrovane.DEF");
  write_file(root_.path() / "input.txt",
             "1\n1\n1\n\n0.1\n0.2\n0.02\n" + std::string(7, '\n') + "1\nreport.txt\n3\n");
  const Outcome piped = run_in(scripted, root_.path() / "input.txt");
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
  EXPECT_EQ(read_file(scripted / "report.txt"), read_file(work_ / "report.txt"));
  // The terminal's copy has no line end after the last question's reply.
  EXPECT_EQ(piped.out, t.output() + "\n");
}

}  // namespace
