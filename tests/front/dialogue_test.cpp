#include "front/dialogue.hpp"

#include <gtest/gtest.h>

#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::TextLineReader;

// The dialogue of one design on the shipped defaults.
class Dialogue : public ::testing::Test {
 protected:
  void SetUp() override { files_.files["Ketrovane.DEF"] = testing::shipped_defaults(); }

  // Runs the dialogue on the replies; unused replies are left over.
  void run(const std::string& replies, Stage stage = Stage::first_design) {
    TextLineReader in(replies + std::string(60, '\n'));
    Console console(in, out_);
    Environment env{
        in, out_, errors_, files_, [] { return testing::kFixedClock; }, Mistakes::end_the_program,
        ""};
    r_.selections.stage = stage;
    StorageChannel storage(files_);
    run_dialogue(r_, console, env, storage);
    text_ = out_.text().substr(seen_);
    seen_ = out_.text().size();
  }
  bool shown(std::string_view s) const { return text_.find(s) != std::string::npos; }
  std::size_t count(std::string_view s) const {
    std::size_t n = 0;
    for (auto i = text_.find(s); i != std::string::npos; i = text_.find(s, i + 1)) ++n;
    return n;
  }

  testing::MemoryFileSystem files_;
  text::StringChannel out_;
  std::ostringstream errors_;
  DesignRecord r_;
  std::string text_;
  std::size_t seen_ = 0;
};

TEST_F(Dialogue, EmptyRepliesChooseTheMarkedDefaults) {
  run("1\n");
  EXPECT_EQ(number_of(r_.selections.function), 1);
  EXPECT_EQ(number_of(r_.selections.analysis), 2);
  EXPECT_EQ(number_of(r_.selections.frequency_basis), 1);
  EXPECT_EQ(number_of(r_.selections.length_mode), 2);
  EXPECT_EQ(number_of(r_.selections.print_format), 1);
  EXPECT_EQ(number_of(r_.selections.storage), 0);
  run("", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.function), 2);
  EXPECT_EQ(number_of(r_.selections.synthesis_range), 1);
}

TEST_F(Dialogue, MenusTakeTheNearestIntegerOrTheirDefault) {
  run("3\n");
  EXPECT_EQ(number_of(r_.selections.function), 2);
  run("1.6\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.function), 2);
  run("1.4\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.function), 1);
  run("2.5\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.function), 2);
  run("1\n3.5\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.analysis), 2);
  run("1\n-0.5\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.analysis), 2);
  run("1\n2.49\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.analysis), 2);
  run("1\n3\n2\n3\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.analysis), 3);
  EXPECT_EQ(number_of(r_.selections.sensitivity_range), 2);
  EXPECT_EQ(number_of(r_.selections.sensitivity_modes), 3);
}

TEST_F(Dialogue, LengthIsEnteredOnlyForAReplyOfOne) {
  for (const auto& [reply, il] : std::vector<std::pair<std::string, int>>{
           {"1", 1}, {"1.4", 1}, {"2", 2}, {"0", 2}, {"5", 2}, {"-1", 2}}) {
    run("1\n2\n2\n" + reply + "\n", seen_ == 0 ? Stage::first_design : Stage::new_coupler);
    EXPECT_EQ(number_of(r_.selections.length_mode), il) << reply;
  }
}

TEST_F(Dialogue, NewOptionKeepsTheFunctionAndSkipsTheBanner) {
  run("2\n1\n");
  run("", Stage::new_option);
  EXPECT_EQ(text_.find("\n      Please select Dimensional Synthesis OPTION:"), 0U);
  EXPECT_FALSE(shown("Program FUNCTION"));
  EXPECT_FALSE(shown("Design Software"));
}

TEST_F(Dialogue, NewCouplerShowsTheBannerOfTheFirstDesign) {
  run("2\n");
  const std::string banner = "Program: Ketrovane (v. 1.3)   Date:12/ 6/2026 at  9: 5: 7Hours";
  EXPECT_EQ(
      text_.find("\n\n               RF/Microwave Computer-Aided Engineering Design Software\n"),
      0U);
  EXPECT_TRUE(shown(banner));
  files_.files.erase("Ketrovane.DEF");  // not read again
  run("2\n", Stage::new_coupler);
  EXPECT_TRUE(shown(banner));
}

TEST_F(Dialogue, WidthRangeGivesItsStepCount) {
  run("1\n1\n1\n\n0.02\n0.10\n0.02\n");
  EXPECT_EQ(r_.selections.step_count, 4);
  EXPECT_EQ(number_of(r_.selections.impedance_range), 1);
  run("1\n1\n1\n\n0.05\n0.02\n0.01\n", Stage::new_coupler);
  EXPECT_EQ(r_.widths.max, 0.05F);
  EXPECT_EQ(r_.selections.step_count, 0);
}

TEST_F(Dialogue, RejectedRepliesKeepTheDefaultSilently) {
  run("1\n1\n1\n-1\n0\n\n\n\n\n\n\n0.9\n0\n");
  EXPECT_EQ(r_.board.b, 0.25F);
  EXPECT_EQ(r_.widths.min, 0.1F);
  EXPECT_EQ(r_.board.er, 2.2F);
  EXPECT_EQ(r_.loss_tangent, 0.0009F);
  run("1\n1\n1\n\n\n\n\n\n\n\n\n1\n", Stage::new_coupler);
  EXPECT_EQ(r_.board.er, 1.0F);
}

TEST_F(Dialogue, WeakCouplingWarningOffersToReenterBAndS) {
  run("1\n1\n1\n\n\n\n\n0.375\n");
  EXPECT_FALSE(shown("ERROR DETECTED"));  // S = 1.5 B exactly
  run("1\n1\n1\n\n\n\n\n0.5\n1\n0.3\n0.5\n0\n0.01\n", Stage::new_coupler);
  EXPECT_EQ(count("ERROR DETECTED: Coupling is very weak for S > 1.5*B. Analysis\n"), 2U);
  EXPECT_EQ(count("-Ground Plane Spacing: B,  Inches = "), 2U);
  EXPECT_EQ(count("-Spacing between Strips:S, Inches = "), 2U);
  EXPECT_EQ(count("-Min. Strip Width"), 1U);
  EXPECT_EQ(r_.board.b, 0.3F);
  EXPECT_EQ(r_.s, 0.5F);
  EXPECT_EQ(r_.board.t, 0.01F);
}

TEST_F(Dialogue, ThicknessAboveEightTenthsOfBAsksBAndTAgain) {
  run("1\n1\n1\n\n\n\n\n\n0.2\n");
  EXPECT_FALSE(shown("T must be less"));
  run("1\n1\n1\n\n\n\n\n\n0.21\n0.5\n0.21\n", Stage::new_coupler);
  EXPECT_TRUE(
      shown("\n      ERROR DETECTED: T must be less than 0.8*B. Please\n"
            "                          enter new values for B and T.\n"
            "           -Ground Plane Spacing: B,  Inches = "
            "           -Thickness of Strips:  T,  Inches = "));
  EXPECT_EQ(r_.board.b, 0.5F);
  EXPECT_EQ(r_.board.t, 0.21F);
}

TEST_F(Dialogue, SpacingChecksOfARangeNeedAThickness) {
  // Over spacings, T comes after the range: the first design has t = 0.
  run("1\n1\n2\n\n\n1\n1\n");
  EXPECT_FALSE(shown("ERROR DETECTED"));
  EXPECT_EQ(number_of(r_.selections.impedance_range), 2);
  EXPECT_EQ(r_.spacings.max, 1.0F);
  // A later design sees the thickness of the previous one.  Smax comes back
  // after B with the wider Smin and warns again.
  run("1\n1\n2\n\n\n1\n0\n2\n1\n0.3\n", Stage::new_coupler);
  EXPECT_EQ(count("ERROR DETECTED: Coupling is very weak"), 3U);
  EXPECT_EQ(count("-Max. Strip Spacing:Smax,  Inches = "), 2U);
  EXPECT_EQ(count("-Width of each Strip"), 1U);
  EXPECT_EQ(r_.board.b, 0.3F);
}

TEST_F(Dialogue, ZoAndCouplingGiveTheModeImpedances) {
  run("1\n2\n1\n50\n10\n");
  EXPECT_TRUE(
      shown("           -Odd  Mode Impedance:  Zoo,  Ohms = 36.038\n"
            "           -Even Mode Impedance:  Zoe,  Ohms = 69.371\n"));
  EXPECT_EQ(r_.coupling_db, -10.0F);
  run("1\n2\n1\n50\n-10\n", Stage::new_coupler);
  EXPECT_EQ(r_.coupling_db, -10.0F);
  EXPECT_NEAR(r_.zoe, 69.371F, 0.0005F);
}

TEST_F(Dialogue, LengthAndCentreFrequencyFollowFromEachOther) {
  run("1\n2\n1\n\n\n2.2\n1\n2.0\n");
  EXPECT_TRUE(shown("           -Design Center Frequency: Fo, MHz =  994.685\n"));
  run("1\n2\n1\n\n\n2.2\n2\n\n\n\n1000\n", Stage::new_coupler);
  EXPECT_TRUE(shown("           -Computed Length of Coupler: L, inches =  1.9894\n"));
}

TEST_F(Dialogue, FrequencyRangeGivesItsStepCount) {
  run("1\n2\n1\n\n\n\n\n1000\n2000\n100\n");
  EXPECT_EQ(r_.selections.step_count, 10);
  run("1\n2\n1\n\n\n\n\n1000\n900\n100\n", Stage::new_coupler);
  EXPECT_EQ(r_.selections.step_count, 0);
}

TEST_F(Dialogue, MaterialMenus) {
  run("1\n1\n1\n\n\n\n\n\n\n6\n6\n");
  EXPECT_EQ(r_.resistivity_uohm_cm, 0.0F);
  EXPECT_EQ(r_.resistivity_ohm_inch, 0.0F);
  EXPECT_EQ(r_.roughness_uin, 5.0F);
  EXPECT_EQ(r_.roughness_inch, 5.0e-6F);
  run("1\n1\n1\n\n\n\n\n\n\n1\n1\n", Stage::new_coupler);
  EXPECT_EQ(r_.resistivity_uohm_cm, 1.6F);
  EXPECT_EQ(r_.resistivity_ohm_inch, 1.6F * 3.9370079e-7F);
  EXPECT_EQ(r_.roughness_uin, 20.0F);
}

TEST_F(Dialogue, CouplingLevelsOutsideSixToTwentyDbAreQueried) {
  run("2\n1\n\n\n\n\n3\n1\n3\n2\n25\n1.9\n-12\n0.5\n");
  EXPECT_EQ(count("ERROR DETECTED: Synthesis may not converge for Co < -20.0 dB.\n"), 3U);
  EXPECT_EQ(count("-Strongest Coupling level"), 2U);
  EXPECT_EQ(count("-Weakest   Coupling level"), 2U);
  EXPECT_EQ(r_.levels.strongest_db, 3.0F);
  EXPECT_EQ(r_.levels.weakest_db, 12.0F);
  EXPECT_EQ(r_.levels.step_db, 0.5F);
}

TEST_F(Dialogue, EvenModeRangeIsCheckedAndOrdered) {
  // ZoeMAX not above Zo keeps its default; ZoeMIN equal to Zo is reset.
  run("2\n2\n\n\n\n\n50\n50\n");
  EXPECT_TRUE(
      shown("\n      ERROR DETECTED: Even Mode Impedance: Zoe must be greater then Impedance "
            "of Coupler: Zo.\n                      Even Mode Impedance: Zoe re-set to "
            "55.00 Ohms.\n"));
  EXPECT_EQ(r_.zoe_range.max, 90.0F);
  EXPECT_EQ(r_.zoe_range.min, 55.0F);
  run("2\n2\n\n\n\n\n60\n80\n", Stage::new_coupler);
  EXPECT_EQ(r_.zoe_range.max, 80.0F);
  EXPECT_EQ(r_.zoe_range.min, 60.0F);
}

TEST_F(Dialogue, StorageIsChosenAnewForEveryDesign) {
  const std::string analysis = "1\n1\n1\n" + std::string(11, '\n');
  run(analysis + "\n");
  EXPECT_EQ(number_of(r_.selections.storage), 0);
  EXPECT_FALSE(shown("FILENAME"));
  run(analysis + "1.4\n\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.storage), 1);
  EXPECT_EQ(r_.storage_name, "coupler.txt         ");
  run(analysis + "1\nabcdefghijklmnopqrstuvwxy\n", Stage::new_coupler);
  EXPECT_EQ(r_.storage_name, "abcdefghijklmnopqrst");
  run(analysis + "2\n", Stage::new_coupler);
  EXPECT_EQ(number_of(r_.selections.storage), 0);
  EXPECT_EQ(r_.storage_name, "abcdefghijklmnopqrst");
  run(analysis + "-473\n\n", Stage::new_coupler);
  EXPECT_EQ(r_.selections.storage, Storage::store_with_diagnostics);
  for (const char* reserved : {"Ketrovane.EXE", "Ketrovane.DEF   "}) {
    run(analysis + "1\n" + reserved + "\n", Stage::new_coupler);
    EXPECT_EQ(r_.storage_name, "Ketrovane.XLS       ");
  }
  run(analysis + "1\n  lead\n", Stage::new_coupler);
  EXPECT_EQ(r_.storage_name, "  lead              ");
}

TEST_F(Dialogue, ARejectedDefaultFileStopsBeforeTheFirstMenu) {
  files_.files["Ketrovane.DEF"] = "title\n";
  run("1\n");
  EXPECT_EQ(r_.selections.stage, Stage::defaults_rejected);
  EXPECT_EQ(text_,
            "      End of file in STRIPLINE COUPLER default value\n"
            "      data file (Ketrovane.DEF). Entry missing for variable B.         \n");
}

TEST(MenuChoice, HalvesAwayFromZeroAndOutOfRangeToTheDefault) {
  EXPECT_EQ(menu_choice(1.5F, 1, 2, 1), 2);
  EXPECT_EQ(menu_choice(2.5F, 1, 2, 1), 1);
  EXPECT_EQ(menu_choice(-0.5F, -1, 2, 1), -1);
  EXPECT_EQ(menu_choice(1.0e30F, 1, 2, 2), 2);
  EXPECT_EQ(menu_choice(-1.0e30F, 1, 2, 2), 2);
}

}  // namespace
}  // namespace ketrovane
