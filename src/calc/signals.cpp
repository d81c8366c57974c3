#include "calc/signals.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>

namespace ketrovane::calc {

namespace {

// The signals that end a run after it has cleaned up.
constexpr std::array kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The files to remove: fixed storage, a slot read only once its path is
// complete.  A run has at most a few outputs, their kept previous files and
// the chart's four temporary files.
constexpr std::size_t kSlots = 16;
constexpr std::size_t kPathCapacity = 4096;
std::array<std::array<char, kPathCapacity>, kSlots> removed_paths{};
std::array<std::atomic<bool>, kSlots> removed_used{};

std::atomic<pid_t> child_to_end{0};
std::atomic<int> holders{0};
std::atomic<int> held_signal{0};
std::atomic<bool> progress_drawn{false};
std::atomic_flag cleaning_up = ATOMIC_FLAG_INIT;

// Async-signal-safe: kill, waitpid, unlink and write.
void clean_up() {
  const pid_t child = child_to_end.load();
  if (child > 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (removed_used.at(i).load()) unlink(removed_paths.at(i).data());
  }
  if (progress_drawn.load()) {
    constexpr std::string_view kClearLine = "\r\033[K";
    [[maybe_unused]] const ssize_t ignored =
        write(STDERR_FILENO, kClearLine.data(), kClearLine.size());
  }
}

// Ends the program as the signal does by default.  In the handler the
// signal is blocked, so it arrives when the handler returns.
void end_as(int signal_number) {
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(signal_number, &by_default, nullptr);
  raise(signal_number);
}

extern "C" void on_ending_signal(int signal_number) {
  if (holders.load() > 0) {
    held_signal.store(signal_number);
    return;
  }
  if (cleaning_up.test_and_set()) return;  // another thread is at it
  clean_up();
  end_as(signal_number);
}

bool ignored(int signal_number) {
  struct sigaction current {};
  sigaction(signal_number, nullptr, &current);
  return current.sa_handler == SIG_IGN;
}

}  // namespace

void clean_up_on_signals() {
  struct sigaction action {};
  action.sa_handler = on_ending_signal;
  sigemptyset(&action.sa_mask);
  for (const int s : kEndingSignals) sigaddset(&action.sa_mask, s);
  for (const int s : kEndingSignals) {
    if (!ignored(s)) sigaction(s, &action, nullptr);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

RemovedOnSignal::RemovedOnSignal(const std::string& path) {
  if (path.size() >= kPathCapacity) return;
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (removed_used.at(i).load()) continue;
    std::copy(path.begin(), path.end(), removed_paths.at(i).begin());
    removed_paths.at(i).at(path.size()) = '\0';
    removed_used.at(i).store(true);
    slot_ = static_cast<int>(i);
    return;
  }
}

void RemovedOnSignal::release() {
  if (slot_ >= 0) removed_used.at(static_cast<std::size_t>(slot_)).store(false);
  slot_ = -1;
}

EndedOnSignal::EndedOnSignal(pid_t child) {
  child_to_end.store(child);
}

EndedOnSignal::~EndedOnSignal() {
  child_to_end.store(0);
}

HeldSignals::HeldSignals() {
  holders.fetch_add(1);
}

HeldSignals::~HeldSignals() {
  if (holders.fetch_sub(1) != 1) return;
  const int signal_number = held_signal.exchange(0);
  if (signal_number == 0 || cleaning_up.test_and_set()) return;
  clean_up();
  end_as(signal_number);
}

bool HeldSignals::arrived() {
  return held_signal.load() != 0;
}

void set_progress_line_drawn(bool drawn) {
  progress_drawn.store(drawn);
}

}  // namespace ketrovane::calc
