// ketrovane-calc ended from outside (a signal, standard output closed, the
// file-size limit): whatever ends it, its directory holds what it held
// before (the old outputs whole, no temporary file), $TMPDIR holds nothing
// of the run, and no gnuplot it started is left running.  A signal it
// inherits as ignored stays ignored.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;

// Ten million frequencies: still writing when the signal comes.
const Args kLongResponse = {"response",      "--zo",     "50",   "--coupling",   "10",
                            "--er",          "2.2",      "--f0", "1000",         "--f",
                            "1:100000:0.01", "--format", "csv",  "--touchstone", "keep.s4p",
                            "--plot",        "chart.png"};
// Three frequencies: quickly at gnuplot.
const Args kShortResponse = {"response",     "--zo",         "50",       "--coupling", "10",
                             "--er",         "2.2",          "--f0",     "1000",       "--f",
                             "500:1500:500", "--touchstone", "keep.s4p", "--plot",     "chart.png"};

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Stands in for gnuplot: says its process id, then draws for ever.
constexpr const char* kSlowGnuplot =
    "#!/bin/sh\necho $$ > \"$PIDS/gnuplot.pid.part\"\nmv \"$PIDS/gnuplot.pid.part\" "
    "\"$PIDS/gnuplot.pid\"\nexec sleep 30\n";

Interruption sent(int signal) {
  Interruption how;
  how.signal = signal;
  return how;
}

Interruption output_closed() {
  Interruption how;
  how.output_closed = true;
  return how;
}

Interruption file_size_limit(unsigned long bytes) {
  Interruption how;
  how.file_size_limit = bytes;
  return how;
}

Interruption ignored_and_sent(int signal) {
  Interruption how = sent(signal);
  how.delay_ms = 200;
  how.signal_ignored = true;
  return how;
}

struct Ending {
  const char* name;
  Args args;
  Interruption how;
  int status;
  const char* said;  // in the error stream; empty for nothing asked
  bool slow_gnuplot = false;
};

void PrintTo(const Ending& c, std::ostream* os) {
  *os << c.name;
}

// The files of a directory and what they hold.
std::map<std::string, std::string> contents(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? e2e::read_file(entry.path()) : "(not a file)";
  }
  return files;
}

bool running(pid_t pid) {
  for (int i = 0; i < 100; ++i) {
    if (::kill(pid, 0) != 0) return false;
    ::usleep(10000);
  }
  return true;
}

class Ended : public ::testing::TestWithParam<Ending> {};

TEST_P(Ended, LeavesEverythingAsItWas) {
  const Ending& c = GetParam();
  const e2e::TemporaryDirectory tmp;
  const fs::path work = tmp.path() / "work";
  const fs::path temporaries = tmp.path() / "tmpdir";
  const fs::path bin = tmp.path() / "bin";
  for (const fs::path& d : {work, temporaries, bin}) fs::create_directory(d);
  e2e::write_file(work / "keep.s4p", "old touchstone\n");
  e2e::write_file(work / "out.csv", "old table\n");
  const std::map<std::string, std::string> before = contents(work);
  Interruption how = c.how;
  how.env = {"PATH=" + bin.string() + ":/usr/bin:/bin", "TMPDIR=" + temporaries.string(),
             "PIDS=" + tmp.path().string()};
  if (c.slow_gnuplot) {
    e2e::write_file(bin / "gnuplot", kSlowGnuplot);
    fs::permissions(bin / "gnuplot", fs::perms::owner_all);
    how.ready = tmp.path() / "gnuplot.pid";
  }
  const CalcOutcome o = run_interrupted(work, c.args, how);
  EXPECT_EQ(o.status, c.status) << o.err;
  EXPECT_NE(o.err.find(c.said), std::string::npos) << o.err;
  EXPECT_EQ(contents(work), before);
  EXPECT_TRUE(fs::is_empty(temporaries)) << fs::directory_iterator(temporaries)->path();
  if (c.slow_gnuplot) {
    const pid_t gnuplot = std::stoi(e2e::read_file(tmp.path() / "gnuplot.pid"));
    EXPECT_FALSE(running(gnuplot)) << "gnuplot left running";
    ::kill(gnuplot, SIGKILL);
  }
}

const Ending kEndings[] = {
    {"Interrupted", with(kLongResponse, {"--output", "out.csv"}), sent(SIGINT), 128 + SIGINT, ""},
    {"Terminated", with(kLongResponse, {"--output", "out.csv"}), sent(SIGTERM), 128 + SIGTERM, ""},
    {"HungUp", with(kLongResponse, {"--output", "out.csv"}), sent(SIGHUP), 128 + SIGHUP, ""},
    // As `| head` does once it has read its lines.
    {"OutputClosed", kLongResponse, output_closed(), 128 + SIGPIPE, ""},
    // As `ulimit -f`: the write fails as on a full disk, and says so.
    {"FileSizeLimit", with(kLongResponse, {"--output", "out.csv"}), file_size_limit(1000000), 2,
     "File too large"},
    {"InterruptedWhileGnuplotDraws", with(kShortResponse, {"--output", "out.csv"}), sent(SIGINT),
     128 + SIGINT, "", true},
};

INSTANTIATE_TEST_SUITE_P(Signals, Ended, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                           return std::string(info.param.name);
                         });

// Under nohup (SIGHUP) or in a shell's background job (SIGINT) the signal
// is inherited as ignored: the run goes on and writes its table whole.
TEST(Signals, ASignalInheritedAsIgnoredStaysIgnored) {
  const Args run = {
      "analyse",         "--b", "0.25",  "--t",      "0.0014", "--er",     "2.2",    "--w",
      "0.01:1:0.000002", "--s", "0.011", "--format", "csv",    "--output", "out.csv"};
  for (const int signal : {SIGHUP, SIGINT}) {
    const e2e::TemporaryDirectory tmp;
    const CalcOutcome o = run_interrupted(tmp.path(), run, ignored_and_sent(signal));
    EXPECT_EQ(o.status, 0) << "signal " << signal << ": " << o.err;
    EXPECT_EQ(lines_of(e2e::read_file(tmp.path() / "out.csv")).size(), 495002U);  // and the header
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
  }
}

}  // namespace
}  // namespace ketrovane::calc_test
