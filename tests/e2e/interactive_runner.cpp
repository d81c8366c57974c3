#include "interactive_runner.hpp"

#include "program_runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace ketrovane::e2e {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kBinary = KETROVANE_BINARY;

[[noreturn]] void fail(const std::string& what, int err = errno) {
  throw std::runtime_error(what + ": " + std::strerror(err));
}

// A pipe whose ends are not inherited by the program (posix_spawn's dup2
// clears the flag on the copy it makes for the child).
std::array<int, 2> make_pipe() {
  std::array<int, 2> fds{-1, -1};
  if (::pipe2(fds.data(), O_CLOEXEC) != 0) fail("pipe2");
  return fds;
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

int decoded(int wstatus) {
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

}  // namespace

InteractiveProgram::InteractiveProgram(const fs::path& dir) {
  // A reply written after the program has gone must fail, not kill the test.
  ::signal(SIGPIPE, SIG_IGN);  // NOLINT(cert-err33-c): the previous handler is of no use

  const auto in = make_pipe();
  const auto out = make_pipe();
  const auto err = make_pipe();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  // A group of its own, so that kill() reaches the program and anything it starts.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<std::string> args = {fs::absolute(kBinary).string()};
  std::vector<std::string> env = fixed_clock_environment();
  std::vector<char*> argv = c_strings(args);
  std::vector<char*> envp = c_strings(env);
  const int rc = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
  if (rc != 0) {
    pid_ = -1;
    close_fd(in_);
    close_fd(out_fd_);
    close_fd(err_fd_);
    fail(std::string("cannot start ") + kBinary, rc);
  }
}

InteractiveProgram::~InteractiveProgram() {
  if (pid_ > 0) {
    close_input();
    if (reap(Clock::now() + kPatience) < 0) kill();
  }
  close_fd(in_);
  close_fd(out_fd_);
  close_fd(err_fd_);
}

bool InteractiveProgram::expect(std::string_view text, Timeout timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t at = out_.find(text, taken_);
    if (at != std::string::npos) {
      taken_ = at + text.size();
      return true;
    }
    if (out_fd_ < 0 || Clock::now() >= deadline) return false;
    read_some(deadline);
  }
}

// Not const: a reply changes what the program does next.
// NOLINTNEXTLINE(readability-make-member-function-const)
void InteractiveProgram::send(std::string_view reply) {
  std::string line(reply);
  line += '\n';
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t n = ::write(in_, rest.data(), rest.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write a reply to the program");
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

int InteractiveProgram::finish(Timeout timeout) {
  const auto deadline = Clock::now() + timeout;
  close_input();
  while ((out_fd_ >= 0 || err_fd_ >= 0) && Clock::now() < deadline) read_some(deadline);
  const int status = reap(deadline);
  if (status < 0) {
    kill();
    return -1;
  }
  return status;
}

void InteractiveProgram::kill() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGKILL);
  int wstatus = 0;
  while (::waitpid(pid_, &wstatus, 0) < 0 && errno == EINTR) {
  }
  status_ = decoded(wstatus);
  pid_ = -1;
  close_input();
}

bool InteractiveProgram::read_some(Clock::time_point deadline) {
  std::array<pollfd, 2> fds{pollfd{out_fd_, POLLIN, 0}, pollfd{err_fd_, POLLIN, 0}};
  const auto left = std::chrono::duration_cast<Timeout>(deadline - Clock::now()).count();
  const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(left < 0 ? 0 : left));
  if (ready <= 0) return out_fd_ >= 0 || err_fd_ >= 0;
  std::array<char, 4096> buffer{};
  for (auto& p : fds) {
    if (p.fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    const ssize_t n = ::read(p.fd, buffer.data(), buffer.size());
    if (n > 0) {
      (p.fd == out_fd_ ? out_ : err_).append(buffer.data(), static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      close_fd(p.fd == out_fd_ ? out_fd_ : err_fd_);
    }
  }
  return out_fd_ >= 0 || err_fd_ >= 0;
}

void InteractiveProgram::close_input() {
  close_fd(in_);
}

int InteractiveProgram::reap(Clock::time_point deadline) {
  if (pid_ <= 0) return status_;
  for (;;) {
    int wstatus = 0;
    const pid_t done = ::waitpid(pid_, &wstatus, WNOHANG);
    if (done == pid_) {
      status_ = decoded(wstatus);
      pid_ = -1;
      return status_;
    }
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace ketrovane::e2e
