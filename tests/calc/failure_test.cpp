// ketrovane-calc on bad input and failing outputs: one "ketrovane-calc: "
// line that names the option and the value, exit status 2, nothing on
// standard output, and no file written, truncated or left behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;

const Args kAnalyse = {"analyse", "--b", "0.25",  "--t", "0.0014", "--er",
                       "2.2",     "--w", "0.168", "--s", "0.011"};
const Args kSynthesise = {"synthesise", "--b",  "0.25", "--t",        "0.0014", "--er",
                          "2.2",        "--zo", "50",   "--coupling", "10"};
const Args kResponse = {"response", "--zo", "50",   "--coupling", "10",          "--er",
                        "2.2",      "--f0", "1000", "--f",        "500:1500:100"};

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The value of `option` in args replaced by `value`.
Args replaced(Args args, const std::string& option, const std::string& value) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == option) args[i + 1] = value;
  }
  return args;
}

struct BadInput {
  const char* name;
  Args args;
  std::vector<std::string> named;  // what the message must contain
};

void PrintTo(const BadInput& c, std::ostream* os) {
  *os << c.name;
}

class Rejected : public ::testing::TestWithParam<BadInput> {};

TEST_P(Rejected, WithOneLineNamingOptionAndValue) {
  const BadInput& c = GetParam();
  const e2e::TemporaryDirectory tmp;
  Args args = c.args;
  if (!args.empty()) args.insert(args.begin() + 1, {"--output", "out.csv"});
  const CalcOutcome o = run_calc(tmp.path(), args);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  ASSERT_EQ(lines_of(o.err).size(), 1U) << o.err;
  EXPECT_EQ(o.err.rfind("ketrovane-calc: ", 0), 0U) << o.err;
  EXPECT_EQ(o.err.back(), '\n');
  for (const std::string& part : c.named) EXPECT_NE(o.err.find(part), std::string::npos) << o.err;
  EXPECT_TRUE(fs::is_empty(tmp.path())) << "a file was left behind";
}

const BadInput kBadInputs[] = {
    {"UnknownOption", with(kAnalyse, {"--bogus", "1"}), {"unknown option '--bogus'"}},
    {"RepeatedOption", with(kAnalyse, {"--b", "0.3"}), {"--b", "'0.25'", "'0.3'", "once"}},
    {"MissingValue", with(kAnalyse, {"--f"}), {"--f", "value is missing", "F"}},
    {"StrayArgument", with(kAnalyse, {"1"}), {"unexpected argument '1'"}},
    {"MissingOption", Args(kAnalyse.begin(), kAnalyse.end() - 2), {"--s", "missing"}},
    {"NotANumber", replaced(kAnalyse, "--b", "wide"), {"--b", "'wide'", "ground-plane spacing"}},
    {"Infinite", replaced(kAnalyse, "--b", "inf"), {"--b", "'inf'", "finite"}},
    {"NotFinite", replaced(kAnalyse, "--er", "nan"), {"--er", "'nan'", "finite"}},
    {"Overflowing", replaced(kAnalyse, "--w", "1e999"), {"--w", "'1e999'"}},
    {"NegativeLength", replaced(kAnalyse, "--b", "-0.25"), {"--b", "'-0.25'", "above 0 in"}},
    {"PermittivityBelowOne", replaced(kAnalyse, "--er", "0.5"), {"--er", "'0.5'", "at least 1"}},
    {"LossTangentAboveOne", with(kAnalyse, {"--tand", "2"}), {"--tand", "'2'"}},
    {"UnknownLengthUnit", replaced(kAnalyse, "--b", "0.25ft"), {"--b", "'ft'", "in, mil"}},
    {"UnknownFrequencyUnit", with(kAnalyse, {"--f", "1THz"}), {"--f", "'THz'", "GHz"}},
    {"UnknownMetal", with(kAnalyse, {"--rho", "tin"}), {"--rho", "'tin'", "copper"}},
    {"NegativeRoughness", with(kAnalyse, {"--roughness", "-5uin"}), {"--roughness", "'-5uin'"}},
    {"ThicknessNotBelowB", replaced(kAnalyse, "--t", "0.25"), {"--t", "'0.25'", "0.8 B"}},
    {"ZeroStep", replaced(kAnalyse, "--w", "0.1:0.2:0"), {"--w", "'0.1:0.2:0'", "step"}},
    {"NegativeStep", replaced(kAnalyse, "--w", "0.1:0.2:-0.01"), {"--w", "step"}},
    {"StopBelowStart",
     replaced(kAnalyse, "--w", "0.2:0.1:0.01"),
     {"--w", "'0.2:0.1:0.01'", "stop"}},
    {"RangeOfTwoFields", replaced(kAnalyse, "--s", "0.01:0.02"), {"--s", "start:stop:step"}},
    {"RangeOfTooManyRows", replaced(kAnalyse, "--w", "0.1:0.2:1e-10"), {"--w", "100000000"}},
    {"TouchstoneOfNumbersThatAreNot",
     with(kResponse, {"--touchstone", "x.s4p", "--ref", "1e-30"}),
     {"--touchstone", "500 MHz is not finite", "no file written"}},
    {"TouchstoneVersion2OfNumbersThatAreNot",
     with(kResponse, {"--touchstone", "x.s4p", "--touchstone-version", "2", "--rs", "1e-40"}),
     {"--touchstone", "500 MHz is not finite", "Rs = "}},
    {"TouchstoneOfARowTheFieldFailed",
     {"response", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--w", "0.168", "--s", "1e-7",
      "--f0", "1000", "--f", "1000", "--solver", "field", "--touchstone", "x.s4p"},
     {"--touchstone: the scattering matrix at 1000 MHz is not finite: no field solution at W 0.168 "
      "in, S 0.0000001 in",
      "s/b = 4e-07 is below the solver's range", "no file written"}},
    {"ProductOfTooManyRows",
     replaced(replaced(kAnalyse, "--w", "0.1:0.2:0.00001"), "--s", "0.01:0.11:0.00001"),
     {"--w and --s", "100000000"}},
    {"CouplingAboveSixtyDecibels", replaced(kSynthesise, "--coupling", "70"), {"--coupling", "60"}},
    {"CouplingOfZeroDecibels", replaced(kSynthesise, "--coupling", "0"), {"--coupling", "'0'"}},
    {"CouplingRangeThroughZero",
     replaced(kSynthesise, "--coupling", "-5:5:1"),
     {"--coupling", "0 dB"}},
    {"CouplingAndEvenModeImpedance", with(kSynthesise, {"--zoe", "60"}), {"--coupling", "--zoe"}},
    {"EvenModeImpedanceBelowZo",
     {"synthesise", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--zo", "50", "--zoe",
      "40:60:5"},
     {"--zoe", "'40:60:5'", "above Zo"}},
    {"LengthAndCentreFrequency", with(kResponse, {"--length", "2"}), {"--length", "--f0"}},
    {"DimensionsOfALosslessCoupler", with(kResponse, {"--w", "0.1"}), {"--w", "'0.1'", "--zo"}},
    {"NegativeFrequency",
     replaced(kResponse, "--f", "-500:1500:100"),
     {"--f", "'-500'", "above 0 MHz"}},
    {"UnknownFormat", with(kAnalyse, {"--format", "xml"}), {"--format", "'xml'", "csv"}},
    {"UnknownOutputLengthUnit", with(kAnalyse, {"--length-unit", "cm"}), {"--length-unit", "'cm'"}},
    {"TouchstoneWithoutS4p",
     with(kResponse, {"--touchstone", "x.txt"}),
     {"--touchstone", "'x.txt'", ".s4p"}},
    {"TouchstoneFormat",
     with(kResponse, {"--touchstone", "x.s4p", "--touchstone-format", "mag"}),
     {"--touchstone-format", "'mag'"}},
    {"ReferenceWithoutTouchstone", with(kResponse, {"--ref", "75"}), {"--ref", "--touchstone"}},
    {"ZeroReference", with(kResponse, {"--touchstone", "x.s4p", "--ref", "0"}), {"--ref", "'0'"}},
    {"PlotExtension", with(kAnalyse, {"--plot", "chart.jpg"}), {"--plot", "'chart.jpg'", ".png"}},
    {"TouchstoneOnAnotherCommand", with(kAnalyse, {"--touchstone", "x.s4p"}), {"--touchstone"}},
    {"UnknownCommand", {"design", "--b", "1"}, {"'design'", "analyse, synthesise"}},
    {"NoCommand", {}, {"no command", "analyse, synthesise"}},
};

INSTANTIATE_TEST_SUITE_P(BadInput, Rejected, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                           return std::string(info.param.name);
                         });

std::string read(const fs::path& p) {
  return e2e::read_file(p);
}

TEST(Outputs, AFailedRunLeavesAnExistingFileAsItWas) {
  const e2e::TemporaryDirectory tmp;
  e2e::write_file(tmp.path() / "out.csv", "kept\n");
  const CalcOutcome o =
      run_calc(tmp.path(), with(replaced(kAnalyse, "--b", "x"), {"--output", "out.csv"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(read(tmp.path() / "out.csv"), "kept\n");
}

TEST(Outputs, ASuccessfulRunReplacesTheFileAndKeepsItsPermissions) {
  const e2e::TemporaryDirectory tmp;
  const fs::path out = tmp.path() / "out.csv";
  e2e::write_file(out, "old\n");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const CalcOutcome o =
      run_calc(tmp.path(), with(kAnalyse, {"--output", "out.csv", "--format", "csv"}));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read(out).rfind("w_in,s_in,", 0), 0U);
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

TEST(Outputs, ALinkToAFileStaysALink) {
  const e2e::TemporaryDirectory tmp;
  e2e::write_file(tmp.path() / "target.csv", "old\n");
  fs::create_symlink("target.csv", tmp.path() / "link.csv");
  const CalcOutcome o =
      run_calc(tmp.path(), with(kAnalyse, {"--output", "link.csv", "--format", "csv"}));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link.csv"));
  EXPECT_EQ(read(tmp.path() / "target.csv").rfind("w_in,", 0), 0U);
}

// Interrupted while writing: the existing file stays, and no temporary file
// is left beside it.
TEST(Outputs, AnInterruptedRunLeavesNoTemporaryFile) {
  const e2e::TemporaryDirectory tmp;
  const fs::path out = tmp.path() / "out.csv";
  { std::ofstream(out) << "kept\n"; }
  const Args long_run = with(replaced(kAnalyse, "--w", "0.01:1:0.0000001"),
                             {"--format", "csv", "--output", "out.csv"});
  for (const int signal : {SIGINT, SIGTERM}) {
    EXPECT_EQ(interrupt_calc(tmp.path(), long_run, signal, 300), 128 + signal);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tmp.path())) {
      names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"out.csv"});
    std::ifstream in(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept\n");
  }
}

TEST(Outputs, AnUnwritableDirectoryIsOneLine) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o = run_calc(tmp.path(), with(kAnalyse, {"--output", "missing/out.csv"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ketrovane-calc: cannot write 'missing/out.csv': No such file or directory\n");
}

// A device is written directly, and a failed write is reported.
TEST(Outputs, AFullDeviceIsReported) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o = run_calc(tmp.path(), with(kAnalyse, {"--output", "/dev/full"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ketrovane-calc: cannot write '/dev/full': No space left on device\n");
}

TEST(Outputs, StandardOutputAsANamedDeviceIsNotReplaced) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o =
      run_calc(tmp.path(), with(kAnalyse, {"--output", "/dev/stdout", "--format", "csv"}));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("w_in,s_in,", 0), 0U);
}

// A write that fails half way (here the file-size limit, as a full disk
// would) leaves the old file whole and no temporary file behind.
TEST(Outputs, AWriteFailingHalfWayLeavesTheOldFile) {
  const e2e::TemporaryDirectory tmp;
  e2e::write_file(tmp.path() / "big.csv", "kept\n");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit small{100000, old.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);  // inherited: the write fails with EFBIG
  setrlimit(RLIMIT_FSIZE, &small);
  const CalcOutcome o = run_calc(
      tmp.path(), with(replaced(kAnalyse, "--w", "0.01:1:0.0001"), {"--output", "big.csv"}));
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ketrovane-calc: cannot write 'big.csv': File too large\n");
  EXPECT_EQ(read(tmp.path() / "big.csv"), "kept\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

// The outputs of a run are one result: when the last of them cannot be
// written, the table and the Touchstone file written before it stay as they
// were.
TEST(Outputs, AFailedThirdOutputLeavesTheFirstTwoUntouched) {
  const e2e::TemporaryDirectory tmp;
  e2e::write_file(tmp.path() / "keep.s4p", "old touchstone\n");
  e2e::write_file(tmp.path() / "keep.csv", "old table\n");
  const CalcOutcome o =
      run_calc(tmp.path(), with(kResponse, {"--touchstone", "keep.s4p", "--output", "keep.csv",
                                            "--plot", "nodir/x.png"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ketrovane-calc: cannot write 'nodir/x.png': No such file or directory\n");
  EXPECT_EQ(read(tmp.path() / "keep.s4p"), "old touchstone\n");
  EXPECT_EQ(read(tmp.path() / "keep.csv"), "old table\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2);
}

// gnuplot fails only when it draws, after the table and the Touchstone file
// are written: they are not put in place either.
TEST(Outputs, AChartThatCannotBeDrawnLeavesTheOtherOutputsAsTheyWere) {
  const e2e::TemporaryDirectory tmp;
  e2e::write_file(tmp.path() / "keep.s4p", "old touchstone\n");
  e2e::write_file(tmp.path() / "failing-gnuplot", "#!/bin/sh\necho 'no terminal' >&2\nexit 1\n");
  fs::permissions(tmp.path() / "failing-gnuplot", fs::perms::owner_all);
  fs::create_directory(tmp.path() / "bin");
  fs::create_symlink(tmp.path() / "failing-gnuplot", tmp.path() / "bin" / "gnuplot");
  const CalcOutcome o = run_calc(
      tmp.path(),
      with(kResponse, {"--touchstone", "keep.s4p", "--output", "new.csv", "--plot", "x.png"}),
      {"PATH=" + (tmp.path() / "bin").string() + ":/usr/bin:/bin"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ketrovane-calc: cannot draw 'x.png': gnuplot failed: no terminal\n");
  EXPECT_EQ(read(tmp.path() / "keep.s4p"), "old touchstone\n");
  EXPECT_FALSE(fs::exists(tmp.path() / "new.csv"));
  EXPECT_FALSE(fs::exists(tmp.path() / "x.png"));
}

// Two outputs of one file would overwrite each other: refused, whatever
// the spelling, before anything is written.
TEST(Outputs, TwoOutputsOfTheSameFileAreRefused) {
  const e2e::TemporaryDirectory tmp;
  e2e::write_file(tmp.path() / "same.s4p", "kept\n");
  const CalcOutcome o =
      run_calc(tmp.path(), with(kResponse, {"--touchstone", "same.s4p", "--output", "./same.s4p"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err,
            "ketrovane-calc: --output './same.s4p' and --touchstone 'same.s4p' name the same "
            "file; give each output its own\n");
  EXPECT_EQ(read(tmp.path() / "same.s4p"), "kept\n");
  // Not there yet, by two names of one directory.
  fs::create_directory(tmp.path() / "d");
  const CalcOutcome fresh =
      run_calc(tmp.path(), with(kResponse, {"--plot", "d/new.png", "--output", "d/../d/new.png"}));
  EXPECT_EQ(fresh.status, 2);
  EXPECT_NE(fresh.err.find("name the same file"), std::string::npos) << fresh.err;
  EXPECT_TRUE(fs::is_empty(tmp.path() / "d"));
}

// The temporary file beside an output is named after it: for the longest
// names a file may have it takes a shorter name, whether or not a file of
// that name is replaced.
TEST(Outputs, TheLongestNamesAreWritten) {
  std::string accented;
  for (int i = 0; i < 127; ++i) accented += "\u00e9";  // two bytes each
  for (const std::string& name : {std::string(248, 'a') + ".csv", std::string(251, 'b') + ".csv",
                                  std::string(255, 'c'), accented}) {
    for (const bool existed : {false, true}) {
      const e2e::TemporaryDirectory tmp;
      if (existed) e2e::write_file(tmp.path() / name, "old\n");
      const CalcOutcome o = run_calc(tmp.path(), with(kAnalyse, {"--output", name}));
      EXPECT_EQ(o.status, 0) << name.size() << " bytes: " << o.err;
      EXPECT_EQ(read(tmp.path() / name).rfind("           W", 0), 0U);
      EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
    }
  }
}

// In a sticky directory (such as /tmp) a file of another user, though
// writable, cannot be replaced by renaming over it: refused before anything
// is written, and nothing (no temporary file, no link to the old file) left
// beside it.
TEST(Outputs, AFileThatCannotBeReplacedInAStickyDirectoryIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  constexpr unsigned kNobody = 65534;
  const e2e::TemporaryDirectory tmp;
  fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  const fs::path sticky = tmp.path() / "sticky";
  fs::create_directory(sticky);
  fs::permissions(sticky, fs::perms::all | fs::perms::sticky_bit);
  e2e::write_file(sticky / "out.csv", "old\n");
  fs::permissions(sticky / "out.csv", fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::group_read | fs::perms::group_write |
                                          fs::perms::others_read | fs::perms::others_write);
  Interruption as_nobody;
  as_nobody.user = kNobody;
  const CalcOutcome o = run_interrupted(sticky, with(kAnalyse, {"--output", "out.csv"}), as_nobody);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ketrovane-calc: cannot write 'out.csv': Operation not permitted\n");
  EXPECT_EQ(read(sticky / "out.csv"), "old\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(sticky), fs::directory_iterator()), 1);
}

// A link to a file is written through (above); a link to nothing is
// refused, neither replaced by a file nor followed to create one.
TEST(Outputs, ALinkToNothingIsRefused) {
  const e2e::TemporaryDirectory tmp;
  fs::create_symlink("missing.csv", tmp.path() / "link.csv");
  const CalcOutcome o = run_calc(tmp.path(), with(kAnalyse, {"--output", "link.csv"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err,
            "ketrovane-calc: cannot write 'link.csv': it is a symbolic link to 'missing.csv', "
            "which does not exist\n");
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link.csv"));
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

// A range may give at most 10^8 rows, counted as the rows are made (the
// step count in single precision, which near 10^8 moves in eights): the
// largest count below the limit passes, the next is refused with its own
// count, and a count beyond any integer is given as a power of ten.
TEST(Rows, TheLimitIsTrueOnBothSides) {
  struct Case {
    Args args;
    std::string said;
  };
  const Args sweep = {"analyse", "--b", "0.25",           "--t", "0.0014", "--er",
                      "2.2",     "--s", "0.01:0.02:0.01", "--w"};
  const Case cases[] = {
      // 99999993 rows pass; twice that is the product's refusal.
      {with(sweep, {"1:2:1.00000005e-8"}),
       "--w and --s: the ranges give 199999986 rows together, more than 100000000"},
      {with(sweep, {"1:2:1e-8"}),
       "--w '1:2:1e-8': the range has 100000001 rows, more than "
       "100000000"},
      // 10^8 rows in exact arithmetic: passes, and the run goes on to its output.
      {{"response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1GHz", "--f",
        "1.7721126:7.6582756:5.886163e-08", "--output", "missing/out.csv"},
       "cannot write 'missing/out.csv': No such file or directory"},
      {{"response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1GHz", "--f",
        "1GHz:2GHz:1e-40"},
       "--f '1GHz:2GHz:1e-40': the range has about 10^43 rows, more than 100000000"},
  };
  const e2e::TemporaryDirectory tmp;
  for (const Case& c : cases) {
    const CalcOutcome o = run_calc(tmp.path(), c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "ketrovane-calc: " + c.said + "\n");
  }
}

// What is written for a number: a zero without a sign, an empty CSV cell
// for what is not finite (as the guide says), a unit's name in any case.
TEST(Numbers, AreWrittenAsTheGuideSays) {
  struct Case {
    Args args;
    int status;
    std::string line;  // the table's second line
  };
  const Case cases[] = {
      {{"analyse", "--geometry", "broadside", "--solver", "field", "--b", "62mil", "--t", "1oz",
        "--er", "3.66", "--w", "20mil", "--sv", "10mil", "--wo", "-0", "--format", "csv"},
       0,
       "20,10,0,0.32258064,0.16129032,0,"},
      {replaced(with(kAnalyse, {"--format", "csv"}), "--w", "1e-45"), 1,
       "0.000000000000000000000000000000000000000000001,0.011,"},
      {with(kAnalyse, {"--format", "csv", "--length-unit", "MIL"}), 0, "168,11,"},
  };
  const e2e::TemporaryDirectory tmp;
  for (const Case& c : cases) {
    const CalcOutcome o = run_calc(tmp.path(), c.args);
    EXPECT_EQ(o.status, c.status) << o.err;
    const std::vector<std::string> lines = lines_of(o.out);
    ASSERT_EQ(lines.size(), 2U) << o.out;
    EXPECT_EQ(lines[1].rfind(c.line, 0), 0U) << lines[1];
    EXPECT_EQ(lines[1].find("nan"), std::string::npos) << lines[1];
  }
  EXPECT_TRUE(lines_of(run_calc(tmp.path(), cases[1].args).out)[1].ends_with(",,,not_finite"));
}

// Rows whose figures are not finite (strips far too narrow for the model)
// are charted as far as they go, and the table is kept.
TEST(Plots, RowsThatAreNotFiniteAreCharted) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o =
      run_calc(tmp.path(),
               {"response",     "--b",    "0.25",      "--t",      "0",         "--er",     "2.2",
                "--w",          "0.0001", "--s",       "0.0001",   "--f0",      "1000",     "--f",
                "500:1500:500", "--plot", "chart.png", "--output", "table.csv", "--format", "csv"});
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_NE(o.err.find("3 of the rows could not be computed"), std::string::npos) << o.err;
  EXPECT_GT(fs::file_size(tmp.path() / "chart.png"), 0U);
  EXPECT_EQ(lines_of(read(tmp.path() / "table.csv")).size(), 4U);
}

// gnuplot names the script it reads, a temporary file the user never saw:
// its message is given without it.
TEST(Plots, GnuplotsMessageLeavesOutTheScriptsName) {
  const e2e::TemporaryDirectory tmp;
  fs::create_directory(tmp.path() / "bin");
  e2e::write_file(tmp.path() / "bin" / "gnuplot",
                  "#!/bin/sh\necho \"\\\"$1\\\" line 17: undefined variable: x\" >&2\nexit 1\n");
  fs::permissions(tmp.path() / "bin" / "gnuplot", fs::perms::owner_all);
  const CalcOutcome o = run_calc(tmp.path(), with(kResponse, {"--plot", "x.png"}),
                                 {"PATH=" + (tmp.path() / "bin").string() + ":/usr/bin:/bin"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(
      o.err,
      "ketrovane-calc: cannot draw 'x.png': gnuplot failed: line 17: undefined variable: x\n");
}

TEST(Plots, WithoutGnuplotOneLineAndNoFile) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o =
      run_calc(tmp.path(), with(kResponse, {"--plot", "chart.png"}), {"PATH=/nonexistent"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  ASSERT_EQ(lines_of(o.err).size(), 1U) << o.err;
  EXPECT_NE(o.err.find("gnuplot not found"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(tmp.path() / "chart.png"));
}

TEST(Help, EveryCommandHasHelpAndTheProgramAVersion) {
  const e2e::TemporaryDirectory tmp;
  for (const char* command : {"analyse", "synthesise", "response", "sensitivity"}) {
    const CalcOutcome o = run_calc(tmp.path(), {command, "--help"});
    EXPECT_EQ(o.status, 0) << command;
    EXPECT_NE(o.out.find("--er"), std::string::npos) << command;
    EXPECT_NE(o.out.find("--format"), std::string::npos) << command;
  }
  const CalcOutcome v = run_calc(tmp.path(), {"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("ketrovane-calc 1.", 0), 0U) << v.out;
}

// The model overflows for strips a ten-thousandth of an inch wide and as
// far apart: the row says so, its numbers are null in JSON, and the run
// fails as a synthesis row that cannot be built does.
TEST(Status, ARowThatIsNotFiniteIsAFailedRow) {
  const e2e::TemporaryDirectory tmp;
  const Args tiny = {"analyse", "--b", "0.25",   "--t", "0",     "--er",
                     "2.2",     "--w", "0.0001", "--s", "0.0001"};
  const CalcOutcome o = run_calc(tmp.path(), with(tiny, {"--format", "json"}));
  EXPECT_EQ(o.status, 1);
  const std::vector<std::string> err = lines_of(o.err);
  ASSERT_EQ(err.size(), 2U) << o.err;
  EXPECT_EQ(err[1], "ketrovane-calc: 1 of the rows could not be computed (see their status)");
  EXPECT_NE(o.out.find(R"("zo_ohm":null,"zoe_ohm":null,)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(R"("status":"not_finite")"), std::string::npos) << o.out;
  const CalcOutcome csv = run_calc(tmp.path(), with(tiny, {"--format", "csv"}));
  EXPECT_TRUE(lines_of(csv.out).at(1).ends_with(",not_finite")) << csv.out;
}

// A gap of a ten-millionth of an inch lies below the field solver's range,
// and strips five inches apart couple more weakly than the field solution
// resolves: on every command that solves the field, the field command
// itself included, their rows say so in their status, the rows beside them
// are computed, a note gives the first one's reason, and the run fails as a
// row that is not finite does (exit 1), instead of ending the command
// (exit 2) or giving a coupling of -inf with status ok.
struct FieldFailureCase {
  const char* name;
  Args args;
  std::size_t failed;    // rows of the table that cannot be computed
  const char* status;    // of the first row
  const char* last_row;  // what the last row of the CSV holds
  const char* note;      // the note before the count of failed rows
};

void PrintTo(const FieldFailureCase& c, std::ostream* os) {
  *os << c.name;
}

class FieldFailureRow : public ::testing::TestWithParam<FieldFailureCase> {};

TEST_P(FieldFailureRow, IsAStatusRowWithTheReasonAndExitStatusOne) {
  const FieldFailureCase& c = GetParam();
  const e2e::TemporaryDirectory tmp;
  const Args board = {"--b", "0.25", "--t", "0.0014", "--er", "2.2", "--format", "csv"};
  const CalcOutcome o = run_calc(tmp.path(), with(c.args, board));
  EXPECT_EQ(o.status, 1) << o.err;
  const std::vector<std::string> rows = lines_of(o.out);
  ASSERT_GE(rows.size(), 2U) << o.err;
  EXPECT_NE(rows[1].find(std::string(",") + c.status), std::string::npos) << rows[1];
  EXPECT_NE(rows.back().find(c.last_row), std::string::npos) << rows.back();
  const std::vector<std::string> err = lines_of(o.err);
  ASSERT_EQ(err.size(), 2U) << o.err;
  EXPECT_EQ(err[0], std::string("ketrovane-calc: note: ") + c.note);
  EXPECT_EQ(err[1], "ketrovane-calc: " + std::to_string(c.failed) +
                        " of the rows could not be computed (see their status)");
}

constexpr const char* kNoSolution =
    "1 row has no field solution, at W 0.168 in, S 0.0000001 in, T 0.0014 in, B 0.25 in, Er 2.2: "
    "s/b = 4e-07 is below the solver's range (1e-6)";
constexpr const char* kUncoupled =
    "1 row is uncoupled, at W 0.168 in, S 5 in, T 0.0014 in, B 0.25 in, Er 2.2: the strips couple "
    "more weakly than -123 dB, the field solution's resolution";

const FieldFailureCase kFieldFailures[] = {
    {"AnalyseOnTheField",
     {"analyse", "--w", "0.168", "--s", "1e-7:0.011:0.011", "--solver", "field"},
     1,
     "no_field_solution",
     ",ok",
     kNoSolution},
    {"AnalyseBesideTheModel",
     {"analyse", "--w", "0.168", "--s", "1e-7:0.011:0.011", "--solver", "both"},
     1,
     "no_field_solution",
     ",ok,68.71",
     kNoSolution},
    {"SensitivityOnTheField",
     {"sensitivity", "--w", "0.168", "--s", "1e-7:0.011:0.011", "--solver", "field"},
     1,
     "no_field_solution",
     ",ok",
     kNoSolution},
    {"SensitivityBesideTheModel",
     {"sensitivity", "--w", "0.168", "--s", "1e-7", "--solver", "both"},
     1,
     "no_field_solution",
     ",no_field_solution,,,,,,",
     kNoSolution},
    {"ResponseOnTheField",
     {"response", "--w", "0.168", "--s", "1e-7", "--f0", "1000", "--f", "900:1100:100", "--solver",
      "field"},
     3,
     "no_field_solution",
     ",no_field_solution",
     "3 rows have no field solution; the first, at W 0.168 in, S 0.0000001 in, T 0.0014 in, B "
     "0.25 in, Er 2.2: s/b = 4e-07 is below the solver's range (1e-6)"},
    {"ResponseBesideTheModel",
     {"response", "--w", "0.168", "--s", "1e-7", "--f0", "1000", "--f", "1000", "--solver", "both"},
     1,
     "no_field_solution",
     ",no_field_solution,,,,,,,,,,,,,,,,,,,,,",
     kNoSolution},
    {"TheFieldItself",
     {"field", "--w", "0.168", "--s", "1e-7:0.011:0.011"},
     1,
     "no_field_solution",
     ",17,ok",
     kNoSolution},
    {"AnalyseUncoupledOnTheField",
     {"analyse", "--w", "0.168:0.2:0.032", "--s", "5", "--solver", "field"},
     2,
     "uncoupled",
     ",uncoupled",
     "2 rows are uncoupled; the first, at W 0.168 in, S 5 in, T 0.0014 in, B 0.25 in, Er 2.2: the "
     "strips couple more weakly than -123 dB, the field solution's resolution"},
    {"AnalyseUncoupledBesideTheModel",
     {"analyse", "--w", "0.168", "--s", "5", "--solver", "both"},
     1,
     "uncoupled",
     ",56.277832,56.277832,56.277832,,",
     kUncoupled},
    {"SensitivityUncoupledBesideTheModel",
     {"sensitivity", "--w", "0.168", "--s", "5", "--solver", "both"},
     1,
     "uncoupled",
     ",uncoupled,56.277832,56.277832,56.277832,,",
     kUncoupled},
    {"ResponseUncoupledBesideTheModel",
     {"response", "--w", "0.168", "--s", "5", "--f0", "1000", "--f", "1000", "--solver", "both"},
     1,
     "uncoupled",
     ",uncoupled,56.277832,56.277832,56.277832,,",
     kUncoupled},
    {"TheFieldItselfUncoupled",
     {"field", "--w", "0.168", "--s", "5"},
     1,
     "uncoupled",
     ",56.277832,56.277832,56.277832,,",
     kUncoupled},
    {"BroadsideUncoupled",
     {"analyse", "--geometry", "broadside", "--w", "0.168", "--sv", "0.01", "--wo", "5", "--solver",
      "field"},
     1,
     "uncoupled",
     ",uncoupled",
     "1 row is uncoupled, at W 0.168 in, SV 0.01 in, WO 5 in, T 0.0014 in, B 0.25 in, Er 2.2: the "
     "strips couple more weakly than -123 dB, the field solution's resolution"},
};

INSTANTIATE_TEST_SUITE_P(Status, FieldFailureRow, ::testing::ValuesIn(kFieldFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// Strips seven times as wide as B: the model leaves its zero-thickness
// solution, which the row says beside its numbers; the run succeeds.
TEST(Status, TheModelLeavingItsZeroThicknessSolutionIsNamedInTheRow) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o = run_calc(tmp.path(), {"sensitivity", "--b", "1", "--t", "0", "--er", "1",
                                              "--w", "6.9:7:0.1", "--s", "0.1", "--format", "csv"});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> lines = lines_of(o.out);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_TRUE(lines[1].ends_with(",zero_thickness_abandoned")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(",zero_thickness_abandoned")) << lines[2];
  EXPECT_EQ(lines[1].find(",,"), std::string::npos);  // every number is there
}

// Rows that cannot be built are reported and the rest of the table stays.
TEST(Status, FloorsAreReportedInTheirRowsAndTheExitStatus) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o = run_calc(
      tmp.path(), replaced(replaced(with(kSynthesise, {"--format", "csv"}), "--coupling", "1:5:1"),
                           "--t", "0"));
  EXPECT_EQ(o.status, 1);
  const std::vector<std::string> lines = lines_of(o.out);
  ASSERT_EQ(lines.size(), 6U);
  EXPECT_EQ(lines[1].substr(0, 4), ",,,,");
  EXPECT_NE(lines[1].find(",spacing_floor"), std::string::npos);
  EXPECT_NE(lines[2].find(",spacing_floor"), std::string::npos);
  EXPECT_NE(lines[5].find(",converged"), std::string::npos);
  // The rows not built, after the note that strips this close lie outside
  // the map of the model's accuracy.
  const std::vector<std::string> err = lines_of(o.err);
  ASSERT_EQ(err.size(), 2U) << o.err;
  EXPECT_EQ(err[0].rfind("ketrovane-calc: note: at W ", 0), 0U) << err[0];
  EXPECT_NE(err[0].find("outside the map of its accuracy"), std::string::npos);
  EXPECT_EQ(err[1], "ketrovane-calc: 2 of the rows could not be built (see their status)");
}

}  // namespace
}  // namespace ketrovane::calc_test
