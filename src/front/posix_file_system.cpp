#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "front/environment.hpp"

namespace ketrovane {

namespace {

std::string working_directory() {
  std::string dir(PATH_MAX, '\0');
  if (::getcwd(dir.data(), dir.size()) == nullptr) return "the working directory";
  dir.resize(std::strlen(dir.c_str()));
  return dir;
}

// The name in quotes, with control characters shown as escapes.
std::string quoted(const std::string& name) {
  return text::quote_input(name);
}

class InputFile final : public text::DescriptorLineReader {
 public:
  InputFile(int fd, const std::string& name) : DescriptorLineReader(fd, quoted(name)), fd_(fd) {}
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override { ::close(fd_); }

 private:
  int fd_;
};

class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(int fd, std::string name, FileId id) : fd_(fd), name_(std::move(name)), id_(id) {}
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  [[nodiscard]] FileId id() const override { return id_; }

  void close() override {
    flush();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail();
  }

 protected:
  void sink(std::string_view text) override {
    while (!text.empty()) {
      const ssize_t n = ::write(fd_, text.data(), text.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        fail();
      }
      text.remove_prefix(static_cast<std::size_t>(n));
    }
  }

 private:
  [[noreturn]] void fail() const {
    throw text::FatalError("cannot write the storage file " + quoted(name_) + ": " +
                           std::strerror(errno));
  }

  int fd_;
  std::string name_;
  FileId id_;
};

FileId file_id(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool has_nul(const std::string& name) {
  return name.find('\0') != std::string::npos;
}

// A descriptor of the storage file, or -1 with errno set.  A name with a NUL
// in it would open a shorter name than the one shown; a FIFO nobody reads
// would block the open for ever, hence no waiting.
int open_storage(const std::string& name) {
  if (has_nul(name)) {
    errno = EINVAL;
    return -1;
  }
  return ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
}

}  // namespace

std::unique_ptr<text::LineReader> PosixFileSystem::open_input(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
  } else if (fd >= 0) {
    return std::make_unique<InputFile>(fd, name);
  }
  throw text::FatalError("cannot open the file " + quoted(name) + " in " + working_directory() +
                         ": " + std::strerror(errno));
}

std::unique_ptr<OutputFile> PosixFileSystem::open_output(const std::string& name) {
  const int fd = open_storage(name);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
    const int err = errno;
    if (fd >= 0) ::close(fd);
    throw text::FatalError("cannot open the storage file " + quoted(name) + " in " +
                           working_directory() + ": " + std::strerror(err));
  }
  return std::make_unique<PosixOutputFile>(fd, name, file_id(st));
}

std::optional<FileId> PosixFileSystem::identify(const std::string& name) {
  struct stat st {};
  if (has_nul(name) || ::stat(name.c_str(), &st) != 0) return std::nullopt;
  return file_id(st);
}

DateTime local_date_time() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {.month = local.tm_mon + 1,
          .day = local.tm_mday,
          .year = local.tm_year + 1900,
          .hour = local.tm_hour,
          .minute = local.tm_min,
          .second = local.tm_sec};
}

}  // namespace ketrovane
