// Runs the real program in a working directory with a scripted standard
// input, under faketime with the clock fixed at 6 December 2026, 9:05:07.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ketrovane::e2e {

namespace fs = std::filesystem;

// The environment of a run with the clock fixed at 6 December 2026, 9:05:07.
std::vector<std::string> fixed_clock_environment();

std::string read_file(const fs::path& p);
void write_file(const fs::path& p, const std::string& text);

// Regular files under dir, by path relative to it.
std::map<std::string, std::string> files_under(const fs::path& dir);

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

// Standard input from the file input; standard output to stdout_path, or
// collected in the outcome when stdout_path is empty.
Outcome run_in(const fs::path& dir, const fs::path& input, const fs::path& stdout_path = {});

// A fresh temporary directory, removed with the object.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory();
  [[nodiscard]] const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace ketrovane::e2e
