// The real program in conversation: every reply is written only after its
// question has arrived, as a person at a console would answer.  A question
// held back in an output buffer leaves the conversation waiting, and the
// test fails with the output so far instead of hanging.
#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "interactive_runner.hpp"
#include "program_runner.hpp"

namespace {

using namespace ketrovane::e2e;

constexpr const char* kShippedDefaults = KETROVANE_SHIPPED_DEF;

struct Exchange {
  std::string_view question;  // the end of the question, as the program words it
  std::string_view reply;
};
using Conversation = std::vector<Exchange>;
using Part = std::span<const Exchange>;

// Impedance analysis over widths with every datum by default.
constexpr auto kImpedanceOverWidths = std::to_array<Exchange>({
    {"Program FUNCTION selected = ", "1"},
    {"Analysis OPTION selected = ", "1"},
    {"Impedance Analysis SUBOPTION selected = ", "1"},
    {"-Ground Plane Spacing: B,  Inches = ", ""},
    {"-Min. Strip Width:  Wmin,  Inches = ", ""},
    {"-Max. Strip Width:  Wmax,  Inches = ", ""},
    {"-Width Step Size:  Wstep,  Inches = ", ""},
    {"-Spacing between Strips:S, Inches = ", ""},
    {"-Thickness of Strips:  T,  Inches = ", ""},
    {"Conductor Resistivity selected = ", ""},
    {"RMS Surface Roughness selected = ", ""},
    {"-Substrate Dielectric Constant:Er = ", ""},
    {"-Dielectric Loss Tangent:  DLTAN  = ", ""},
    {"-Design Center  Frequency: Fo,MHz = ", ""},
});

// A new option for the same coupler: the impedance analysis over spacings.
constexpr auto kImpedanceOverSpacings = std::to_array<Exchange>({
    {"Analysis OPTION selected = ", "1"},
    {"Impedance Analysis SUBOPTION selected = ", "2"},
    {"-Ground Plane Spacing: B,  Inches = ", ""},
    {"-Width of each Strip:  W,  Inches = ", "0.2"},
    {"-Min. Strip Spacing:Smin,  Inches = ", "0.02"},
    {"-Max. Strip Spacing:Smax,  Inches = ", "0.06"},
    {"-Spacing Step Size:Sstep,  Inches = ", "0.02"},
    {"-Thickness of Strips:  T,  Inches = ", "0.01"},
    {"Conductor Resistivity selected = ", "1"},
    {"RMS Surface Roughness selected = ", "4"},
    {"-Substrate Dielectric Constant:Er = ", ""},
    {"-Dielectric Loss Tangent:  DLTAN  = ", ""},
    {"-Design Center  Frequency: Fo,MHz = ", "2000"},
});

// A new coupler: W and S for 10 to 12 dB on the shipped board.
constexpr auto kSynthesisOverCouplingLevels = std::to_array<Exchange>({
    {"Program FUNCTION selected = ", "2"},
    {"Synthesis OPTION selected = ", "1"},
    {"-Ground Plane Spacing: B,  Inches = ", ""},
    {"-Thickness of Strips:  T,  Inches = ", ".0028"},
    {"-Substrate Dielectric Constant:Er = ", ""},
    {"-Impedance of Coupler:   Zo, Ohms = ", ""},
    {"-Strongest Coupling level: Cstrong, dB = ", "10"},
    {"-Weakest   Coupling level: Cweak  , dB = ", "12"},
    {"-Coupling level Step Size: Cstep  , dB = ", "1"},
});

constexpr std::string_view kStorageQuestion = "Is Output Data STORAGE desired? (1=YES)  = ";
constexpr std::string_view kNameQuestion = "Enter your FILENAME for Output Data Storage: ";
constexpr std::string_view kNextOperation = "OPERATION selected = ";

constexpr std::array kNoStorage = {Exchange{kStorageQuestion, ""}};
constexpr std::array kStoreInKept = {Exchange{kStorageQuestion, "1"},
                                     Exchange{kNameQuestion, "kept.txt"}};
constexpr std::array kNewCoupler = {Exchange{kNextOperation, "2"}};
constexpr std::array kExit = {Exchange{kNextOperation, "3"}};

constexpr std::string_view kRule =
    "      ------------------------------------------------------------------------\n";
constexpr std::string_view kStoredLine =
    "      Output Data stored in User filename: kept.txt            \n";

Conversation joined(std::initializer_list<Part> parts) {
  Conversation conversation;
  for (const Part part : parts) conversation.insert(conversation.end(), part.begin(), part.end());
  return conversation;
}

// The replies of a conversation as one scripted standard input.
std::string script(const Conversation& conversation) {
  std::string input;
  for (const Exchange& e : conversation) (input += e.reply) += '\n';
  return input;
}

testing::AssertionResult await(InteractiveProgram& program, std::string_view question) {
  if (program.expect(question)) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "the question \"" << question << "\" did not arrive within "
         << InteractiveProgram::kPatience.count() << " ms; standard output so far:\n"
         << program.output() << "\n[error stream: " << program.errors() << "]";
}

// Answers each question once it has arrived.
testing::AssertionResult converse(InteractiveProgram& program, const Conversation& conversation) {
  for (const Exchange& e : conversation) {
    if (auto r = await(program, e.question); !r) return r;
    program.send(e.reply);
  }
  return testing::AssertionSuccess();
}

class Interactive : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
    fs::copy_file(kShippedDefaults, work_ / "Ketrovane.DEF");
  }

  // What a scripted run of the same replies writes, in a directory of its own.
  std::string scripted_output(const Conversation& conversation) {
    const fs::path dir = root_.path() / "scripted";
    fs::create_directories(dir);
    fs::copy_file(kShippedDefaults, dir / "Ketrovane.DEF");
    write_file(root_.path() / "input", script(conversation));
    return run_in(dir, root_.path() / "input").out;
  }

  TemporaryDirectory root_;
  fs::path work_ = root_.path() / "work";
};

// Every prompt, menu and question of an impedance analysis and of a
// synthesis, and the next-operation menu in between, reaches the console
// while the program waits for its reply.
TEST_F(Interactive, EveryQuestionArrivesBeforeItsReplyIsRead) {
  const Conversation session = joined({kImpedanceOverWidths, kNoStorage, kNewCoupler,
                                       kSynthesisOverCouplingLevels, kNoStorage, kExit});
  InteractiveProgram program(work_);
  ASSERT_TRUE(converse(program, session));
  EXPECT_EQ(program.finish(), 0) << program.errors();
  EXPECT_EQ(program.errors(), "");
  // The conversation saw the whole session, the same as a script of it.
  EXPECT_EQ(program.output(), scripted_output(session));
}

// Answers a design stored in kept.txt up to the next-operation menu; the
// report as the console showed it between the file name question and the
// menu, which is also what the storage file must receive.
testing::AssertionResult stored_design(InteractiveProgram& program, Part design,
                                       std::string& report) {
  const std::string_view banner =
      "\n      ------------------------------------------------------------------------\n"
      "      Ketrovane (v. 1.3)                      Date:12/ 6/2026 at  9: 5: 7Hours\n";
  if (auto r = converse(program, joined({design, kStoreInKept})); !r) return r;
  const std::size_t start = program.output().size();  // the program waited here
  if (auto r = await(program, kNextOperation); !r) return r;
  const std::string console = program.output().substr(start);
  const std::size_t stored = console.find(kStoredLine);
  report = console.substr(0, stored + kStoredLine.size());
  if (stored == std::string::npos || !report.starts_with(banner) ||
      !report.ends_with(std::string(kRule) + std::string(kStoredLine))) {
    return testing::AssertionFailure() << "not a whole stored report:\n" << console;
  }
  return testing::AssertionSuccess();
}

// While the program waits at the next-operation menu, the storage file on
// disk already holds every completed report, so a session killed there
// loses nothing.
TEST_F(Interactive, StorageFileIsCompleteWhileTheNextOperationIsAsked) {
  InteractiveProgram program(work_);
  const fs::path kept = work_ / "kept.txt";

  std::string first;
  ASSERT_TRUE(stored_design(program, kImpedanceOverWidths, first));
  // The shipped width range, 0.1 to 0.2 by 0.02: six rows, the last one too.
  ASSERT_NE(first.find("\n           0.1000  0.400 "), std::string::npos) << first;
  ASSERT_NE(first.find("\n           0.2000  0.800 "), std::string::npos) << first;
  EXPECT_EQ(read_file(kept), first);

  program.send("1");
  std::string second;
  ASSERT_TRUE(stored_design(program, kImpedanceOverSpacings, second));
  ASSERT_NE(second.find("\n           0.0600  0.240 "), std::string::npos) << second;
  EXPECT_EQ(read_file(kept), first + second);

  program.kill();
  EXPECT_EQ(read_file(kept), first + second);
}

}  // namespace
