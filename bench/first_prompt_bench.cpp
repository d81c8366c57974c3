// Time from starting the program to its first prompt on standard output, in
// a working directory holding the shipped Ketrovane.DEF.  The same harness
// starting /bin/true gives the cost of creating a process on this machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Starts the program with pipes on its standard input and output, waits for
// the text `until` (or for the end of its output), then ends its input.
void run_until(const char* program, std::string_view until) {
  int in[2];
  int out[2];
  if (pipe(in) != 0 || pipe(out) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char* argv[] = {const_cast<char*>(program), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) != 0) std::abort();
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  std::string seen;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    seen.append(buf, static_cast<std::size_t>(n));
    if (!until.empty() && seen.find(until) != std::string::npos) break;
  }
  close(in[1]);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
}

void in_work_directory() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("ketrovane-bench-" + std::to_string(getpid()));
    fs::create_directories(d);
    fs::copy_file(KETROVANE_SHIPPED_DEF, d / "Ketrovane.DEF", fs::copy_options::overwrite_existing);
    return d;
  }();
  fs::current_path(dir);
}

void BM_FirstPrompt(benchmark::State& state) {
  in_work_directory();
  for (auto _ : state) run_until(KETROVANE_BINARY, "Program FUNCTION selected = ");
}
BENCHMARK(BM_FirstPrompt)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProcessCreationBaseline(benchmark::State& state) {
  for (auto _ : state) run_until("/bin/true", "");
}
BENCHMARK(BM_ProcessCreationBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
