// What a signal that ends a run undoes.  A run ended by SIGINT, SIGTERM,
// SIGHUP or SIGPIPE (standard output closed, as by `| head`) removes the
// files it created, ends the gnuplot it started and clears its progress
// bar, then ends as the signal would have ended it.  A signal inherited as
// ignored (nohup) stays ignored.  SIGXFSZ is ignored, so that a write past
// the file-size limit fails and is reported like a full disk.
//
// The handler may only call async-signal-safe functions: it reads fixed
// storage and atomic flags set up here.
#pragma once

#include <sys/types.h>

#include <string>

namespace ketrovane::calc {

// Installs the handler; called once, first thing.
void clean_up_on_signals();

// A file the handler removes while it is registered (a temporary file not
// yet put in place or removed).
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(const std::string& path);
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;
  RemovedOnSignal(RemovedOnSignal&&) = delete;
  RemovedOnSignal& operator=(RemovedOnSignal&&) = delete;
  ~RemovedOnSignal() { release(); }

  // The handler leaves the file alone from now on.
  void release();

 private:
  int slot_ = -1;
};

// The child process the handler ends (and waits for) while it is
// registered.
class EndedOnSignal {
 public:
  explicit EndedOnSignal(pid_t child);
  EndedOnSignal(const EndedOnSignal&) = delete;
  EndedOnSignal& operator=(const EndedOnSignal&) = delete;
  EndedOnSignal(EndedOnSignal&&) = delete;
  EndedOnSignal& operator=(EndedOnSignal&&) = delete;
  ~EndedOnSignal();
};

// While one lives, a signal is held: the handler only notes it.  The last
// one to go acts on a held signal (cleans up and ends the run).  For the
// steps that must not be cut in two: creating a temporary file and
// registering it, putting a set of outputs in place.
class HeldSignals {
 public:
  HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;
  HeldSignals(HeldSignals&&) = delete;
  HeldSignals& operator=(HeldSignals&&) = delete;
  ~HeldSignals();

  // Whether a signal arrived while held.
  [[nodiscard]] static bool arrived();
};

// Whether the progress bar is on the terminal's line, for the handler to
// clear it.
void set_progress_line_drawn(bool drawn);

}  // namespace ketrovane::calc
