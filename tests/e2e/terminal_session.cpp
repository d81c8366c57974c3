#include "terminal_session.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <vector>

namespace ketrovane::e2e {

namespace {

const fs::path kBinary = KETROVANE_BINARY;

// Canonical input, as a person types it; no echo and no output processing,
// so that what is read back is exactly what the program wrote.
termios plain_terminal() {
  termios t{};
  t.c_iflag = ICRNL;
  t.c_oflag = 0;
  t.c_cflag = CS8 | CREAD | CLOCAL;
  t.c_lflag = ICANON | ISIG;
  t.c_cc[VEOF] = 4;  // Ctrl-D
  t.c_cc[VINTR] = 3;
  t.c_cc[VMIN] = 1;
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  return t;
}

[[noreturn]] void run_program(const fs::path& dir, const fs::path& errors) {
  const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (err < 0 || ::dup2(err, STDERR_FILENO) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
  std::string binary = fs::absolute(kBinary).string();
  char* argv[] = {binary.data(), nullptr};
  std::vector<std::string> env = fixed_clock_environment();
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  ::execve(argv[0], argv, envp.data());
  ::_exit(127);
}

}  // namespace

TerminalSession::TerminalSession(const fs::path& dir) : errors_path_(dir.parent_path() / "errors") {
  termios t = plain_terminal();
  const pid_t pid = ::forkpty(&master_, nullptr, &t, nullptr);
  if (pid == 0) run_program(dir, errors_path_);
  pid_ = pid;
}

TerminalSession::~TerminalSession() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) ::close(master_);
}

bool TerminalSession::read_some(std::chrono::milliseconds timeout) {
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
  char buffer[4096];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;  // EIO once the program has ended
  output_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool TerminalSession::expect(std::string_view text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::size_t at = output_.find(text, seen_);
    if (at != std::string::npos) {
      seen_ = at + text.size();
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !read_some(left)) return false;
  }
}

void TerminalSession::type(std::string_view line) {
  std::string typed(line);
  typed += '\n';
  for (std::string_view rest = typed; !rest.empty();) {
    const ssize_t n = ::write(master_, rest.data(), rest.size());
    if (n <= 0) return;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

void TerminalSession::end_input() {
  const char eof = 4;
  (void)::write(master_, &eof, 1);
}

int TerminalSession::wait() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;  // the program did not end
    }
    read_some(std::chrono::milliseconds(50));
  }
  pid_ = -1;
  while (read_some(std::chrono::milliseconds(0))) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string TerminalSession::errors() const {
  return read_file(errors_path_);
}

}  // namespace ketrovane::e2e
