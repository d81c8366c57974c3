#include "calc_runner.hpp"

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <array>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ketrovane::calc_test {

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

CalcOutcome run_calc(const fs::path& dir, const std::vector<std::string>& args,
                     const std::vector<std::string>& env) {
  const fs::path out = dir / ".calc-stdout";
  const fs::path err = dir / ".calc-stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  std::vector<std::string> argv_strings = {KETROVANE_CALC_BINARY};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = env;
  if (env_strings.empty()) env_strings = {"PATH=/usr/bin:/bin"};
  env_strings.emplace_back("ASAN_OPTIONS=detect_leaks=0");
  std::vector<char*> argv = c_strings(argv_strings);
  std::vector<char*> envp = c_strings(env_strings);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  CalcOutcome o;
  if (rc != 0) {
    o.err = "cannot start " KETROVANE_CALC_BINARY;
    return o;
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  o.out = slurp(out);
  o.err = slurp(err);
  fs::remove(out);
  fs::remove(err);
  return o;
}

int interrupt_calc(const fs::path& dir, const std::vector<std::string>& args, int signal,
                   int delay_ms) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  std::vector<std::string> argv_strings = {KETROVANE_CALC_BINARY};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = {"PATH=/usr/bin:/bin", "ASAN_OPTIONS=detect_leaks=0"};
  std::vector<char*> argv = c_strings(argv_strings);
  std::vector<char*> envp = c_strings(env_strings);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  ::usleep(static_cast<useconds_t>(delay_ms) * 1000U);
  ::kill(pid, signal);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

namespace {

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_child(const fs::path& dir, char* const* argv, char* const* envp,
                             const Interruption& how, int output_fd, const fs::path& err) {
  if (chdir(dir.c_str()) != 0) _exit(127);
  const int in = open("/dev/null", O_RDONLY);
  const int error = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || error < 0 || dup2(in, 0) < 0 || dup2(output_fd, 1) < 0 || dup2(error, 2) < 0) {
    _exit(127);
  }
  if (how.file_size_limit > 0) {
    const rlimit limit{how.file_size_limit, how.file_size_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (how.user != 0 &&
      (setgroups(0, nullptr) != 0 || setgid(how.user) != 0 || setuid(how.user) != 0)) {
    _exit(127);
  }
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) std::signal(s, SIG_DFL);
  if (how.signal_ignored) std::signal(how.signal, SIG_IGN);
  execve(argv[0], argv, envp);
  _exit(127);
}

// Waits up to ten seconds for `ready` to appear.
void wait_for(const fs::path& ready) {
  for (int i = 0; i < 1000 && !fs::exists(ready); ++i) ::usleep(10000);
}

}  // namespace

CalcOutcome run_interrupted(const fs::path& dir, const std::vector<std::string>& args,
                            const Interruption& how) {
  const fs::path out = dir / ".calc-stdout";
  const fs::path err = dir / ".calc-stderr";
  std::vector<std::string> argv_strings = {KETROVANE_CALC_BINARY};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = how.env;
  if (env_strings.empty()) env_strings = {"PATH=/usr/bin:/bin"};
  env_strings.emplace_back("ASAN_OPTIONS=detect_leaks=0");
  std::vector<char*> argv = c_strings(argv_strings);
  std::vector<char*> envp = c_strings(env_strings);
  std::array<int, 2> pipe_ends{-1, -1};
  int output_fd = -1;
  if (how.output_closed) {
    if (pipe2(pipe_ends.data(), O_CLOEXEC) != 0) return {};
    output_fd = pipe_ends[1];
  } else {
    output_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  const pid_t pid = fork();
  if (pid == 0) exec_child(dir, argv.data(), envp.data(), how, output_fd, err);
  if (how.output_closed) close(pipe_ends[0]);  // nobody reads
  close(output_fd);
  if (how.signal != 0) {
    if (how.ready.empty()) {
      ::usleep(static_cast<useconds_t>(how.delay_ms) * 1000U);
    } else {
      wait_for(how.ready);
    }
    ::kill(pid, how.signal);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  CalcOutcome o;
  o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  o.out = slurp(out);
  o.err = slurp(err);
  fs::remove(out);
  fs::remove(err);
  return o;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

}  // namespace ketrovane::calc_test
