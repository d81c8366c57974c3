// Drives the real program as a person at a console would: a reply is written
// only after the question it answers has arrived on the program's standard
// output.  The program runs in a working directory under faketime, with the
// clock fixed at 6 December 2026, 9:05:07, in a process group of its own.
//
// The console is a pair of pipes here; the constructor is the one place that
// knows that, so that a pseudo-terminal can take their place.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace ketrovane::e2e {

class InteractiveProgram {
 public:
  using Timeout = std::chrono::milliseconds;
  static constexpr Timeout kPatience{5000};

  // Starts the program in dir; throws std::runtime_error when it cannot.
  explicit InteractiveProgram(const std::filesystem::path& dir);
  InteractiveProgram(const InteractiveProgram&) = delete;
  InteractiveProgram& operator=(const InteractiveProgram&) = delete;
  // Closes standard input and, if the program has not ended by then, kills
  // its process group.
  ~InteractiveProgram();

  // Waits until text has appeared on standard output after everything an
  // earlier expect() took, and takes the output up to the end of that text.
  // False when the timeout passes first or the output ends without it.
  [[nodiscard]] bool expect(std::string_view text, Timeout timeout = kPatience);

  // Writes one reply line to standard input (the line end is added).
  void send(std::string_view reply);

  // Closes standard input, reads the output to its end and waits for the
  // program.  Its exit status, 128 + the signal number when a signal ended
  // it, or -1 when it was still running at the timeout (it is then killed).
  int finish(Timeout timeout = kPatience);

  // Ends the program at once with SIGKILL, as a closed terminal window or a
  // killed session would, and reaps it.
  void kill();

  // Everything read from standard output and the error stream so far.
  [[nodiscard]] const std::string& output() const { return out_; }
  [[nodiscard]] const std::string& errors() const { return err_; }

  // The output not yet taken by expect(), for failure messages.
  [[nodiscard]] std::string pending() const { return out_.substr(taken_); }

 private:
  // Reads whatever is available, waiting up to the deadline for something;
  // false when both output streams have ended.
  bool read_some(std::chrono::steady_clock::time_point deadline);
  void close_input();
  int reap(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
  std::size_t taken_ = 0;
  int status_ = -1;
};

}  // namespace ketrovane::e2e
