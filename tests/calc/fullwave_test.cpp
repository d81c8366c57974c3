// response --fullwave DIR --run on, end to end, with a stand-in model that
// follows the directory's contract: it reads the ideal section's own
// Touchstone file back as its "measured" four-port, so that the coupler as
// laid out must read as the ideal section; a run that does not settle is
// a status and writes nothing; an interrupted run leaves the model and
// removes its partial results.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;

// A coupler given by its dimensions, which the model lays out.
const Args kCoupler = {"response", "--b", "62mil",  "--t",  "1oz",  "--er", "3.66",        "--w",
                       "24.8mil",  "--s", "6.4mil", "--f0", "2000", "--f",  "1500:2500:10"};

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The model's part, after its stage lines: `ending` is Python run last.
std::string stand_in(const std::string& ending) {
  return R"py(import json, os, sys, time
here = os.path.dirname(os.path.abspath(__file__))
mesh = sys.argv[sys.argv.index("--mesh") + 1]
out = os.path.join(here, mesh)
os.makedirs(out, exist_ok=True)
for k in range(1, 5):
    print(f"stage: excitation {k} of 4", flush=True)
def status(s, decay):
    json.dump({"status": s, "mesh": mesh, "energy_decay_db": decay, "cells": 1000,
               "timesteps": 10, "excitations": 4, "seconds": 0.5},
              open(os.path.join(out, "status.json"), "w"))
scale = 1.01 if mesh == "coarse" else 1.0  # the coarse mesh's curves 1 % high
def matrix():
    rows = [l.split() for l in open(os.path.join(here, "..", "ideal.s4p"))
            if l.strip() and l[0] not in "!#"]
    v = [float(x) for r in rows for x in r]
    names = [f"s{i}{j}_{p}" for i in range(1, 5) for j in range(1, 5) for p in ("re", "im")]
    with open(os.path.join(out, "sparameters.csv"), "w") as f:
        f.write("f_hz," + ",".join(names) + "\n")
        for k in range(len(v) // 33):
            r = v[33 * k: 33 * (k + 1)]
            f.write(",".join(repr(x * 1e6 * scale if i == 0 else x) for i, x in enumerate(r))
                    + "\n")
)py" + ending;
}

// Whether Debian's Python has openEMS, which the runner asks before it
// runs anything (its absence is tested at the runner itself).
bool has_openems() {
  const int status = std::system("/usr/bin/python3 -c 'import openEMS, CSXCAD' 2>/dev/null");
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The lines of a Touchstone file that hold numbers.
std::vector<std::string> data_lines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l[0] != '!' && l[0] != '#') lines.push_back(l);
  }
  return lines;
}

struct Model {
  e2e::TemporaryDirectory tmp;
  fs::path dir = tmp.path() / "model";
  explicit Model(const std::string& ending, const Args& ideal_options = {}) {
    fs::create_directories(dir);
    std::ofstream(dir / "coupler.py") << stand_in(ending);
    const CalcOutcome ideal = run_calc(
        tmp.path(), with(kCoupler, with({"--touchstone", "ideal.s4p", "--touchstone-format", "ri"},
                                        ideal_options)));
    EXPECT_EQ(ideal.status, 0) << ideal.err;
  }
};

// Fails with the laid-out coupler's figures taken from the wrong element of
// the matrix (a transposed read, a port of the other numbering), the
// Touchstone file's ports not as --port-order numbers them, the summary
// not over the model's frequencies, or --mesh both not running both,
// reporting the coarse mesh's figures, or its change not from coarse to
// fine.
TEST(Fullwave, TheIdealSectionAsMeasuredReadsAsTheIdealSection) {
  if (!has_openems()) GTEST_SKIP() << "python3-openems not installed";
  for (const char* order : {"isolated-third", "coupled-third"}) {
    SCOPED_TRACE(order);
    const Model m("matrix()\nstatus('settled', -52.5)\n");
    const CalcOutcome o = run_calc(
        m.tmp.path(), with(kCoupler, {"--fullwave", "model", "--run", "on", "--mesh", "both",
                                      "--format", "csv", "--touchstone", "laid.s4p",
                                      "--touchstone-format", "ri", "--port-order", order}));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("full-wave run, coarse mesh: settled, energy -52.5 dB"),
              std::string::npos);
    EXPECT_NE(o.err.find("full-wave run, fine mesh: settled"), std::string::npos);
    const std::vector<std::string> rows = lines_of(o.out);
    ASSERT_EQ(rows.size(), 15U);
    EXPECT_EQ(rows[0], "figure,unit,ideal,laid_out,mesh_change");
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const std::vector<std::string> f = fields_of(rows[i]);
      ASSERT_EQ(f.size(), 5U) << rows[i];
      // The file's eight digits make the only difference.
      EXPECT_NEAR(std::stod(f[3]), std::stod(f[2]), 1e-3 * (1.0 + std::fabs(std::stod(f[2]))))
          << rows[i];
      EXPECT_GE(std::stod(f[4]), 0.0) << rows[i];
    }
    // The fine mesh's peak the ideal section's; the coarse mesh's 1 % above
    // it, and its band's lower edge 1 % above the fine one's.
    EXPECT_EQ(fields_of(rows[2])[0], "coupling_peak_f");
    const double peak = std::stod(fields_of(rows[2])[2]);
    EXPECT_NEAR(std::stod(fields_of(rows[2])[3]), peak, 0.1);
    EXPECT_NEAR(std::stod(fields_of(rows[2])[4]), 0.01 * peak, 0.2);
    // The coarse mesh's peak 1 % high reads as a section 1 % short.
    EXPECT_EQ(fields_of(rows[4])[0], "added_length");
    EXPECT_NEAR(std::stod(fields_of(rows[4])[4]), 90.0 * (1.0 - 1.0 / 1.01), 0.02);
    EXPECT_EQ(fields_of(rows[5])[0], "band_low");
    EXPECT_NEAR(std::stod(fields_of(rows[5])[4]), 0.01 * std::stod(fields_of(rows[5])[3]), 0.5);
    // The ideal file in the same numbering holds the same numbers.
    const CalcOutcome same =
        run_calc(m.tmp.path(), with(kCoupler, {"--touchstone", "ordered.s4p", "--touchstone-format",
                                               "ri", "--port-order", order}));
    ASSERT_EQ(same.status, 0);
    EXPECT_EQ(data_lines(m.tmp.path() / "laid.s4p"), data_lines(m.tmp.path() / "ordered.s4p"));
  }
}

// Fails with the sweep's end given as the band's edge where the band
// reaches past the swept frequencies.
TEST(Fullwave, ABandPastTheSweepHasNoEdge) {
  if (!has_openems()) GTEST_SKIP() << "python3-openems not installed";
  const Model m("matrix()\nstatus('settled', -52.5)\n");
  Args narrower = kCoupler;
  narrower.back() = "1560:2500:10";  // the band's lower edge lies at 1547 MHz
  const CalcOutcome o = run_calc(
      m.tmp.path(),
      with(narrower, {"--fullwave", "model", "--run", "on", "--mesh", "fine", "--format", "csv"}));
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> rows = lines_of(o.out);
  ASSERT_GE(rows.size(), 5U);
  EXPECT_EQ(rows[5], "band_low,MHz,,,");
}

// A model drawn 22.86 mil short (--compensate) that peaks where the ideal
// section does: the layout added what was taken off.  Fails with the
// length as drawn not the compensated one, the added length's sign turned,
// or the length advised for a peak at f0 not the one that puts it there
// (the ideal's peak, 1997.6 MHz, at 2000: 770.25 mil, less the 22.86).
TEST(Fullwave, WhatTheLayoutAddsIsReadFromThePeak) {
  if (!has_openems()) GTEST_SKIP() << "python3-openems not installed";
  const Model m("matrix()\nstatus('settled', -52.5)\n", {"--solver", "field"});
  const CalcOutcome o = run_calc(
      m.tmp.path(), with(kCoupler, {"--solver", "field", "--fullwave", "model", "--run", "on",
                                    "--mesh", "fine", "--compensate", "on", "--format", "csv"}));
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> rows = lines_of(o.out);
  ASSERT_GE(rows.size(), 5U);
  EXPECT_EQ(fields_of(rows[4])[0], "added_length");
  EXPECT_NEAR(std::stod(fields_of(rows[4])[3]), 90.0 * 22.86 / 771.18, 0.01);
  EXPECT_NE(o.err.find("long (--length 747.4mil, the same feed lines) couples most at f0"),
            std::string::npos)
      << o.err;
}

// Fails with a run that did not settle taken as a result, or its outputs
// written.
TEST(Fullwave, NotSettledIsAStatusAndWritesNothing) {
  if (!has_openems()) GTEST_SKIP() << "python3-openems not installed";
  const Model m("matrix()\nstatus('not settled', -31.25)\n");
  const CalcOutcome o =
      run_calc(m.tmp.path(), with(kCoupler, {"--fullwave", "model", "--run", "on", "--output",
                                             "sum.csv", "--touchstone", "laid.s4p"}));
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("ketrovane-calc: the coarse mesh's run did not settle: its energy fell "
                       "only to -31.25 dB of its peak"),
            std::string::npos)
      << o.err;
  EXPECT_FALSE(fs::exists(m.tmp.path() / "sum.csv"));
  EXPECT_FALSE(fs::exists(m.tmp.path() / "laid.s4p"));
}

// Fails with the model's child left running (the run would last its 30
// s), its partial results kept, the model itself removed, or the run not
// ending as the signal ends it.
TEST(Fullwave, InterruptedRunLeavesTheModelAndRemovesItsPartialResults) {
  if (!has_openems()) GTEST_SKIP() << "python3-openems not installed";
  const Model m(
      "matrix()\nopen(os.path.join(here, 'started'), 'w').close()\ntime.sleep(30)\n"
      "status('settled', -50)\n");
  Interruption how;
  how.signal = SIGINT;
  how.ready = m.dir / "started";
  const auto start = std::chrono::steady_clock::now();
  const CalcOutcome o = run_interrupted(
      m.tmp.path(), with(kCoupler, {"--fullwave", "model", "--run", "on", "--output", "sum.csv"}),
      how);
  EXPECT_EQ(o.status, 128 + SIGINT) << o.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_TRUE(fs::exists(m.dir / "coupler.py"));
  EXPECT_FALSE(fs::exists(m.dir / "coarse"));
  EXPECT_FALSE(fs::exists(m.tmp.path() / "sum.csv"));
}

// The run's options without what they need.  Fails with a run attempted
// without a directory, or --mesh, --threads or a Touchstone option
// silently ignored.
TEST(Fullwave, OptionsOfTheRunRefusedWithoutIt) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome no_dir = run_calc(tmp.path(), with(kCoupler, {"--run", "on"}));
  EXPECT_EQ(no_dir.status, 2);
  EXPECT_NE(no_dir.err.find("--fullwave DIR"), std::string::npos) << no_dir.err;
  const CalcOutcome ref_alone =
      run_calc(tmp.path(), with(kCoupler, {"--fullwave", ".", "--run", "on", "--ref", "75"}));
  EXPECT_EQ(ref_alone.status, 2);
  EXPECT_NE(ref_alone.err.find("--ref '75': only with --touchstone FILE.s4p"), std::string::npos)
      << ref_alone.err;
  const CalcOutcome no_run = run_calc(tmp.path(), with(kCoupler, {"--mesh", "fine"}));
  EXPECT_EQ(no_run.status, 2);
  EXPECT_NE(no_run.err.find("--mesh 'fine': only with --run on"), std::string::npos) << no_run.err;
  // A search for the section's length taken as no compensation at all.
  const Args layout = {"layout", "--b",     "62mil", "--t",    "1oz",  "--er", "3.66",
                       "--w",    "24.8mil", "--s",   "6.4mil", "--f0", "2000"};
  for (const Args& args :
       {with(kCoupler, {"--compensate", "measured"}), with(layout, {"--compensate", "measured"})}) {
    const CalcOutcome o = run_calc(tmp.path(), args);
    EXPECT_EQ(o.status, 2) << args[0];
    EXPECT_NE(o.err.find("--compensate 'measured': only "), std::string::npos) << o.err;
  }
}

// Fails with a search that writes over a model changed by hand.
TEST(Fullwave, MeasuredCompensationLeavesAHandChangedModel) {
  if (!has_openems()) GTEST_SKIP() << "python3-openems not installed";
  const Model m("matrix()\nstatus('settled', -52.5)\n");
  const CalcOutcome o =
      run_calc(m.tmp.path(),
               with(kCoupler, {"--fullwave", "model", "--run", "on", "--compensate", "measured"}));
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("redraws the model for each run"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(m.dir / "coarse"));
}

}  // namespace
}  // namespace ketrovane::calc_test
