#include "calc/progress.hpp"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "calc/signals.hpp"

namespace ketrovane::calc {

Progress::Progress(std::int64_t rows)
    : rows_(rows), shown_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}

Progress::~Progress() {
  if (!drawn_) return;
  set_progress_line_drawn(false);
  std::fputs("\r\033[K", stderr);
}

void Progress::rows_done(std::int64_t rows) {
  done_ += rows;
  if (!shown_ || rows_ <= 0) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) {
    return;
  }
  draw(now);
}

void Progress::draw(Clock::time_point now) {
  last_ = now;
  drawn_ = true;
  set_progress_line_drawn(true);
  constexpr int kWidth = 30;
  const double part = static_cast<double>(done_) / static_cast<double>(rows_);
  const auto filled = static_cast<int>(part * kWidth);
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double left = part > 0.0 ? elapsed * (1.0 - part) / part : 0.0;
  std::fprintf(stderr, "\rketrovane-calc: [%-*s] %3d %% of %lld rows, about %.0f s left ", kWidth,
               std::string(static_cast<std::size_t>(filled), '#').c_str(),
               static_cast<int>(part * 100.0), static_cast<long long>(rows_), left);
  std::fflush(stderr);
}

}  // namespace ketrovane::calc
