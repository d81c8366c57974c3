// accuracy_map: computes the closed-form model's error against the field
// solver over a grid of coupled-stripline cross-sections and writes
//
//   ACCURACY.md                          the report,
//   doc/accuracy/model_error.dat         the numbers, for gnuplot,
//   src/field/model_accuracy_table.inc   the table the library compiles in,
//
// under the repository root given by --root (default: the current directory).
// Each file is written whole or not at all.  Exit status: 0 done, 1 bad
// command line, 2 the field solver failed somewhere, 3 a file could not be
// written.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "accuracy_sampling.hpp"
#include "accuracy_writers.hpp"

namespace {

using ketrovane::tools::LossSpotCheck;
using ketrovane::tools::Map;
using ketrovane::tools::SpotCheck;

constexpr const char* kProgram = "accuracy_map";
constexpr int kUsageError = 1;
constexpr int kSolverFailure = 2;
constexpr int kWriteFailure = 3;

constexpr const char* kHelp =
    "Usage: accuracy_map [--root DIR]\n"
    "Computes the closed-form model's error against the field solver over the\n"
    "accuracy map's grid and writes ACCURACY.md, doc/accuracy/model_error.dat and\n"
    "src/field/model_accuracy_table.inc under DIR (default: .).\n"
    "  --root DIR   repository root to write under\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

bool write_whole(const std::filesystem::path& path, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  const std::filesystem::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  std::filesystem::rename(temporary, path, error);
  if (error) std::filesystem::remove(temporary, error);
  return !error;
}

struct Failure {
  std::string where;
  std::string message;
};

// Fills the map; stops at the first cross-section the solver cannot verify.
std::optional<Failure> compute_map(Map& map, const ketrovane::tools::Grid& grid) {
  map.grid = grid;
  for (const double t : grid.thicknesses) {
    for (const double w : grid.widths) {
      for (const double s : grid.gaps) {
        auto outcome = ketrovane::tools::sample_at(t, w, s);
        if (!outcome.sample) {
          return Failure{"t/b " + std::to_string(t) + ", w/b " + std::to_string(w) + ", s/b " +
                             std::to_string(s),
                         outcome.failure};
        }
        map.samples.push_back(*outcome.sample);
      }
    }
    std::fprintf(stderr, "%s: t/b = %g done (%zu w/b by %zu s/b)\n", kProgram, t,
                 grid.widths.size(), grid.gaps.size());
  }
  return std::nullopt;
}

std::optional<Failure> compute_spot_checks(std::vector<SpotCheck>& spots) {
  struct Named {
    const char* name;
    double w, s, t;
  };
  const Named named[] = {
      {"10 dB coupler of thin copper", 0.672, 0.048, 0.008},
      {"the program's default copper, 0.6 b wide", 0.6, 0.044, 0.0056},
      {"wide strips, thick copper, wide gap", 1.0, 0.5, 0.1},
      {"narrow strips, close gap", 0.15, 0.03, 0.02},
  };
  for (const Named& n : named) {
    auto outcome = ketrovane::tools::sample_at(n.t, n.w, n.s);
    if (!outcome.sample) return Failure{n.name, outcome.failure};
    spots.push_back({n.name, *outcome.sample});
  }
  return std::nullopt;
}

// Boards whose losses by both methods were compared by hand before the map
// had loss columns: 1 oz copper on a 62 mil board, and the program's shipped
// coupler on 0.25".
std::optional<Failure> compute_loss_spot_checks(std::vector<LossSpotCheck>& spots) {
  struct Named {
    const char* name;
    ketrovane::field::Geometry inches;
  };
  const Named named[] = {
      {"62 mil board, 1 oz copper", {0.062, 0.0014, 0.0252, 0.00684, 3.66}},
      {"the shipped coupler, 0.25\" board", {0.25, 0.0014, 0.168, 0.011, 2.2}},
  };
  constexpr double kSpotFrequencyMhz = 2000.0;
  for (const Named& n : named) {
    auto outcome = ketrovane::tools::conductor_losses(n.inches, kSpotFrequencyMhz);
    if (!outcome.losses) return Failure{n.name, outcome.failure};
    spots.push_back({n.name, n.inches, kSpotFrequencyMhz, *outcome.losses});
  }
  return std::nullopt;
}

int write_all(const std::filesystem::path& root, const Map& map, const Map& table,
              const std::vector<SpotCheck>& spots, const std::vector<LossSpotCheck>& loss_spots) {
  const std::pair<std::filesystem::path, std::string> files[] = {
      {root / "src/field/model_accuracy_table.inc", ketrovane::tools::table_source(table)},
      {root / "doc/accuracy/model_error.dat", ketrovane::tools::plot_data(map)},
      {root / "ACCURACY.md", ketrovane::tools::report(map, table, spots, loss_spots)},
  };
  for (const auto& [path, text] : files) {
    if (!write_whole(path, text)) {
      std::fprintf(stderr, "%s: cannot write '%s'\n", kProgram, path.string().c_str());
      return kWriteFailure;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path root = ".";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("accuracy_map (Ketrovane) 1.3");
      return 0;
    }
    if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
      root = argv[++i];
      continue;
    }
    std::fprintf(stderr, "%s: unexpected argument '%s'; try --help\n", kProgram, argv[i]);
    return kUsageError;
  }

  Map map;
  Map table;
  std::vector<SpotCheck> spots;
  std::vector<LossSpotCheck> loss_spots;
  std::optional<Failure> failure = compute_map(map, ketrovane::tools::report_grid());
  if (!failure) failure = compute_map(table, ketrovane::tools::table_grid());
  if (!failure) failure = compute_spot_checks(spots);
  if (!failure) failure = compute_loss_spot_checks(loss_spots);
  if (failure) {
    std::fprintf(stderr, "%s: field solver failed at %s: %s\n", kProgram, failure->where.c_str(),
                 failure->message.c_str());
    return kSolverFailure;
  }
  return write_all(root, map, table, spots, loss_spots);
}
