#include "program_runner.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace ketrovane::e2e {

namespace {

const fs::path kBinary = KETROVANE_BINARY;

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

// libfaketime preloaded directly: an absolute FAKETIME keeps the clock
// standing at the fixed moment however long a run takes.  (The faketime
// wrapper would share its state through a semaphore named after its process
// id, which a killed run leaves behind for a later one to trip over.)
std::vector<std::string> fixed_clock_environment() {
  return {"PATH=/usr/bin:/bin",
          "TZ=UTC",
          std::string("LD_PRELOAD=") + KETROVANE_LIBFAKETIME,
          "FAKETIME=2026-12-06 09:05:07",
          "FAKETIME_DONT_FAKE_MONOTONIC=1",
          "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::map<std::string, std::string> files_under(const fs::path& dir) {
  std::map<std::string, std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), dir).string()] = read_file(entry.path());
    }
  }
  return files;
}

Outcome run_in(const fs::path& dir, const fs::path& input, const fs::path& stdout_path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  const fs::path out = stdout_path.empty() ? dir.parent_path() / "stdout" : stdout_path;
  const fs::path err = dir.parent_path() / "stderr";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

  std::vector<std::string> args = {fs::absolute(kBinary).string()};
  std::vector<std::string> env = fixed_clock_environment();
  std::vector<char*> argv = c_strings(args);
  std::vector<char*> envp = c_strings(env);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Outcome o;
  if (rc != 0) {
    o.err = "cannot start " + kBinary.string();
    return o;
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  if (stdout_path.empty()) o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

TemporaryDirectory::TemporaryDirectory() {
  char name[] = "/tmp/ketrovane-e2e-XXXXXX";
  if (mkdtemp(name) == nullptr) throw fs::filesystem_error("mkdtemp", std::error_code());
  path_ = name;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace ketrovane::e2e
