// A bar on the error stream for a long computation at a terminal: it
// appears after a second and goes when the rows are done.
#pragma once

#include <chrono>
#include <cstdint>

namespace ketrovane::calc {

class Progress {
 public:
  explicit Progress(std::int64_t rows);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  Progress(Progress&&) = delete;
  Progress& operator=(Progress&&) = delete;
  ~Progress();

  void rows_done(std::int64_t rows);

 private:
  using Clock = std::chrono::steady_clock;
  void draw(Clock::time_point now);

  std::int64_t rows_;
  std::int64_t done_ = 0;
  bool shown_;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_{};
};

}  // namespace ketrovane::calc
