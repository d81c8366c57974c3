// The run of a full-wave model: a stand-in coupler.py that follows the
// model directory's contract (stage lines, DIR/<mesh>/status.json last,
// sparameters.csv) run through Debian's Python, and what the runner makes
// of each ending: a result, a status that is not one, a script that fails,
// openEMS missing, a run stopped.
#include "commands/fullwave_run.hpp"

#include "commands/input_error.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ketrovane::commands {
namespace {

namespace fs = std::filesystem;

// What a stand-in model does after its stage lines.
constexpr const char* kPrologue = R"py(import json, os, sys, time
here = os.path.dirname(os.path.abspath(__file__))
mesh = sys.argv[sys.argv.index("--mesh") + 1]
threads = sys.argv[sys.argv.index("--threads") + 1]
out = os.path.join(here, mesh)
os.makedirs(out, exist_ok=True)
print("stage: mesh 1000 cells, threads " + threads)
print("[@ 1s] Timestep: 10 || Speed: 1 MC/s || Nrg: 1e-3 (-30 dB)")
def status(s, decay):
    json.dump({"status": s, "mesh": mesh, "energy_decay_db": decay, "cells": 1000,
               "timesteps": 10, "excitations": 4, "seconds": 0.5},
              open(os.path.join(out, "status.json"), "w"))
def matrix():
    names = [f"s{i}{j}_{p}" for i in range(1, 5) for j in range(1, 5) for p in ("re", "im")]
    with open(os.path.join(out, "sparameters.csv"), "w") as f:
        f.write("f_hz," + ",".join(names) + "\n")
        for hz, s23 in ((1.5e9, 0.5), (2.5e9, 0.25)):
            row = [0.0] * 32
            row[2 * (4 * 1 + 2)] = s23       # S23 real: the wave leaving 2 for one into 3
            row[2 * (4 * 3 + 0) + 1] = -0.3  # S41 imaginary
            f.write(repr(hz) + "," + ",".join(repr(v) for v in row) + "\n")
)py";

struct Ending {
  const char* name;
  const char* script;  // after the prologue
  bool has_openems;
  bool stopped;  // asked to stop once the model has said its first line
  ModelOutcome outcome;
  const char* said;  // in the message; empty for a result
};

void PrintTo(const Ending& e, std::ostream* os) {
  *os << e.name;
}

const Ending kEndings[] = {
    {"settled", "matrix()\nstatus('settled', -52.5)\n", true, false, ModelOutcome::result, ""},
    {"not_settled", "matrix()\nstatus('not settled', -23.5)\n", true, false,
     ModelOutcome::no_result, "did not settle: its energy fell only to -23.5 dB of its peak"},
    {"never_decayed", "matrix()\nstatus('not settled', -0.0)\n", true, false,
     ModelOutcome::no_result, "did not settle: its energy never fell from its peak"},
    {"diverged", "status('diverged', 12.5)\n", true, false, ModelOutcome::no_result,
     "diverged (its energy at the end 12.5 dB"},
    {"script_fails", "print('no such port')\nsys.exit(3)\n", true, false, ModelOutcome::failed,
     "failed (exit status 3); it last said: "},
    {"no_status", "matrix()\n", true, false, ModelOutcome::failed, "left no"},
    {"openems_missing", "open(os.path.join(here, 'ran'), 'w')\n", false, false,
     ModelOutcome::openems_missing, "install the Debian package python3-openems"},
    {"stopped", "matrix()\ntime.sleep(30)\nstatus('settled', -50)\n", true, true,
     ModelOutcome::interrupted, "removed, the model kept"},
};

class ModelRunEnding : public testing::TestWithParam<Ending> {};

// Fails with the matrix read as its transpose or the frequency left in Hz,
// a status other than settled taken as a result, a failing script's exit
// unreported, the script run without openEMS, the child left running or
// its partial results kept when stopped, or --mesh and --threads not passed.
TEST_P(ModelRunEnding, EndsAsItsStatusSays) {
  const Ending& e = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("ketrovane-fullwave-" + std::string(e.name) +
                                                    "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "coupler.py") << kPrologue << e.script;
  std::vector<std::string> lines;
  const Interpreter interpreter{"/usr/bin/python3",
                                [&](const std::string& /*path*/) { return e.has_openems; }};
  const auto start = std::chrono::steady_clock::now();
  const ModelResult r = run_model({dir, Mesh::fine, 3}, interpreter,
                                  {.line = [&](std::string_view l) { lines.emplace_back(l); },
                                   .should_stop = [&] { return e.stopped && !lines.empty(); }});
  EXPECT_EQ(r.outcome, e.outcome) << r.message;
  EXPECT_NE(r.message.find(e.said), std::string::npos) << r.message;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(fs::exists(dir / "coupler.py"));
  if (e.outcome == ModelOutcome::openems_missing) {
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(fs::exists(dir / "ran"));
  } else {
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "stage: mesh 1000 cells, threads 3");
  }
  if (e.outcome == ModelOutcome::interrupted) {
    EXPECT_FALSE(fs::exists(dir / "fine"));
  }
  if (e.outcome == ModelOutcome::result) {
    EXPECT_EQ(r.status.cells, 1000);
    EXPECT_EQ(r.status.energy_decay_db, -52.5);
    ASSERT_EQ(r.sweep.f_mhz.size(), 2U);
    EXPECT_EQ(r.sweep.f_mhz[1], 2500.0F);
    EXPECT_EQ(r.sweep.s[1](2, 3), Complex(0.25F, 0.0F));
    EXPECT_EQ(r.sweep.s[1](3, 2), Complex(0.0F, 0.0F));
    EXPECT_EQ(r.sweep.s[0](4, 1), Complex(0.0F, -0.3F));
  }
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Endings, ModelRunEnding, testing::ValuesIn(kEndings),
                         [](const testing::TestParamInfo<Ending>& i) { return i.param.name; });

// A directory without a model is refused before anything runs.
TEST(ModelRun, DirectoryWithoutModelRefused) {
  const fs::path dir =
      fs::temp_directory_path() / ("ketrovane-fullwave-empty-" + std::to_string(getpid()));
  fs::create_directories(dir);
  EXPECT_THROW(run_model({dir, Mesh::coarse, 0}, {"/usr/bin/python3", nullptr}, {}), InputError);
  fs::remove_all(dir);
}

// The search for the section's length, step by step.  Fails with the
// straight line through the last two trials drawn the wrong way, a search
// that stops short of the tolerance or runs past kMostTrials, an aim
// tighter than the mesh resolves (0.25 % off stopping the search), a scatter in
// the peaks taken as the section's slope, or a length of none drawn.
TEST(SectionLengthSearch, EachStepAsItsTrialsSay) {
  struct Case {
    const char* what;
    std::vector<PeakTrial> trials;
    std::optional<double> next;
  };
  const std::vector<Case> cases = {
      {"none yet", {}, std::nullopt},
      {"the first run's estimate", {{0.771, 1888.2, 0.7256}}, 0.7256},
      {"within 0.3 % of f0", {{0.771, 1888.2, 0.7256}, {0.7256, 1995.0, 0.7244}}, std::nullopt},
      {"the line through two",
       {{0.771, 1888.2, 0.7256}, {0.7256, 1990.3, 0.7216}},
       0.7256 + (2000.0 - 1990.3) * (0.7256 - 0.771) / (1990.3 - 1888.2)},
      {"a peak that rose with the section",
       {{0.771, 1888.2, 0.7256}, {0.7256, 1880.0, 0.7100}},
       0.7100},
      {"four runs",
       {{0.8, 1800, 0.7}, {0.7, 1950, 0.69}, {0.69, 1960, 0.68}, {0.68, 1970, 0.67}},
       std::nullopt},
      {"no length left", {{0.01, 1000, -0.2}}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<double> next = next_trial_length(c.trials, 2000.0);
    ASSERT_EQ(next.has_value(), c.next.has_value());
    if (next) {
      EXPECT_NEAR(*next, *c.next, 1e-9);
    }
  }
}

}  // namespace
}  // namespace ketrovane::commands
