// The real program at a pseudo-terminal: standard input and output on the
// terminal (echo off, no output processing, so the text is the program's
// own), the error stream to a file.  Under faketime, in a working directory.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "program_runner.hpp"

namespace ketrovane::e2e {

class TerminalSession {
 public:
  explicit TerminalSession(const fs::path& dir);
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;
  ~TerminalSession();

  // Reads the terminal until its output since the last expectation contains
  // text; false on timeout or when the program ends first.
  bool expect(std::string_view text, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Types a line and its Enter.
  void type(std::string_view line);
  // Types the end-of-input character at the start of a line.
  void end_input();
  // Waits for the program to end and reads what is left on the terminal.
  int wait();

  // Everything the program wrote to the terminal, and to its error stream.
  [[nodiscard]] const std::string& output() const { return output_; }
  [[nodiscard]] std::string errors() const;

 private:
  bool read_some(std::chrono::milliseconds timeout);

  int master_ = -1;
  int pid_ = -1;
  fs::path errors_path_;
  std::string output_;
  std::size_t seen_ = 0;
};

}  // namespace ketrovane::e2e
