// An environment held in memory: scripted console input, a file system of
// named strings and a fixed clock, for driving the whole program in-process.
#pragma once

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "front/driver.hpp"
#include "front/environment.hpp"

namespace ketrovane::testing {

// Lines of a text, one per call.
class TextLineReader final : public text::LineReader {
 public:
  explicit TextLineReader(std::string text) : in_(std::move(text)), reader_(in_) {}
  std::optional<std::string> read_line() override { return reader_.read_line(); }

 private:
  std::istringstream in_;
  text::StreamLineReader reader_;
};

class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> unwritable;  // names whose open fails

  std::unique_ptr<text::LineReader> open_input(const std::string& name) override;
  std::unique_ptr<OutputFile> open_output(const std::string& name) override;
  std::optional<FileId> identify(const std::string& name) override;

 private:
  std::map<std::string, std::uint64_t> inodes_;
  std::uint64_t next_inode_ = 1;
};

inline constexpr DateTime kFixedClock{12, 6, 2026, 9, 5, 7};

// The whole program run on a scripted input.
struct Session {
  MemoryFileSystem files;
  text::StringChannel console;
  std::ostringstream errors;
  int status = -1;
  // As for a script; ask_again plays a person at a terminal.
  Mistakes mistakes = Mistakes::end_the_program;

  explicit Session(const std::string& defaults) { files.files["Ketrovane.DEF"] = defaults; }
  Session(const std::string& defaults, const std::string& input) : Session(defaults) { run(input); }
  void run(const std::string& input);
  const std::string& out() { return console.text(); }
};

// The shipped default-value file, as a string.
std::string shipped_defaults();

}  // namespace ketrovane::testing
