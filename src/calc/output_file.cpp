#include "calc/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "batch/input_error.hpp"

namespace ketrovane::calc {

using batch::quoted;

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 16U;
constexpr unsigned kNewFileMode = 0666;

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

unsigned current_umask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// A symbolic link to a regular file is written through: its target is the
// file replaced, the link stays.
std::string followed(const std::string& path) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target(resolved);
  std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc)
  return target;
}

FileIdentity identity_of_descriptor(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return {0, 0, "descriptor " + std::to_string(fd)};
  return {st.st_dev, st.st_ino, ""};
}

// The file a path names, or where it would be created.
FileIdentity identity_of_path(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) return {st.st_dev, st.st_ino, ""};
  char* directory = realpath(directory_of(path).c_str(), nullptr);
  const std::string where = directory == nullptr ? directory_of(path) : std::string(directory);
  std::free(directory);  // NOLINT(cppcoreguidelines-no-malloc)
  return {0, 0, where + "/" + base_name_of(path)};
}

}  // namespace

std::string file_message(std::string_view verb, std::string_view path, int error_number) {
  return "cannot " + std::string(verb) + " " + quoted(path) + ": " + std::strerror(error_number);
}

Sink::Sink(int fd, std::string name) : fd_(fd), name_(std::move(name)), buffer_(kBufferBytes) {}

void Sink::make_room(std::size_t n) {
  flush();
  if (n > buffer_.size()) buffer_.resize(n);
}

void Sink::flush() {
  std::size_t done = 0;
  while (done < used_) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw OutputError(file_message("write", name_, n < 0 ? errno : EIO));
    done += static_cast<std::size_t>(n);
  }
  used_ = 0;
}

namespace {

// The temporary files not yet committed, for the signal handler: fixed
// storage and atomic flags, since a handler may only call async-signal-safe
// functions.
constexpr std::size_t kPendingSlots = 8;
constexpr std::size_t kPathCapacity = 4096;
std::array<std::array<char, kPathCapacity>, kPendingSlots> pending_paths{};
std::array<std::atomic<bool>, kPendingSlots> pending_used{};

// Outputs are opened on one thread; the handler reads a slot only once its
// path is complete.
int remember_pending(const std::string& path) {
  if (path.size() >= kPathCapacity) return -1;
  for (std::size_t i = 0; i < kPendingSlots; ++i) {
    if (pending_used[i].load()) continue;
    std::copy(path.begin(), path.end(), pending_paths[i].begin());
    pending_paths[i][path.size()] = '\0';
    pending_used[i].store(true);
    return static_cast<int>(i);
  }
  return -1;
}

void forget_pending(int slot) {
  if (slot >= 0) pending_used[static_cast<std::size_t>(slot)].store(false);
}

extern "C" void remove_pending_and_reraise(int signal_number) {
  for (std::size_t i = 0; i < kPendingSlots; ++i) {
    if (pending_used[i].load()) unlink(pending_paths[i].data());
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

void remove_temporaries_on_interrupt() {
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, remove_pending_and_reraise);
}

OutputFile::OutputFile(const std::string& path) : path_(followed(path)) {
  if (path.empty()) {
    fd_ = STDOUT_FILENO;
    identity_ = identity_of_descriptor(fd_);
    sink_ = std::make_unique<Sink>(fd_, "standard output");
    return;
  }
  identity_ = identity_of_path(path_);
  struct stat existing {};
  const bool exists = stat(path_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    if (S_ISDIR(existing.st_mode)) throw OutputError(file_message("write", path, EISDIR));
    fd_ = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw OutputError(file_message("write", path, errno));
    owns_fd_ = true;
    sink_ = std::make_unique<Sink>(fd_, path);
    return;
  }
  mode_ = exists ? (existing.st_mode & 07777U) : (kNewFileMode & ~current_umask());
  std::string pattern = directory_of(path_) + "/." + base_name_of(path_) + ".XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) throw OutputError(file_message("write", path, errno));
  owns_fd_ = true;
  temporary_ = pattern;
  pending_slot_ = remember_pending(temporary_);
  sink_ = std::make_unique<Sink>(fd_, path);
}

OutputFile::~OutputFile() {
  if (owns_fd_) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
  forget_previous();
  forget_pending(pending_slot_);
}

void OutputFile::finish() {
  sink_->flush();
  if (temporary_.empty() || !owns_fd_) return;
  if (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0)
    throw OutputError(file_message("write", path_, errno));
  owns_fd_ = false;
  if (close(fd_) != 0) throw OutputError(file_message("write", path_, errno));
}

void OutputFile::put_in_place() {
  if (temporary_.empty()) return;
  if (rename(temporary_.c_str(), path_.c_str()) != 0) {
    throw OutputError(file_message("write", path_, errno));
  }
  placed_ = true;
  temporary_.clear();
  forget_pending(pending_slot_);
  pending_slot_ = -1;
}

bool OutputFile::keep_previous() {
  if (temporary_.empty()) return false;
  std::string pattern = directory_of(path_) + "/." + base_name_of(path_) + ".previous.XXXXXX";
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  // A hard link over the placeholder: the previous file under a second name.
  if (unlink(pattern.c_str()) != 0 || link(path_.c_str(), pattern.c_str()) != 0) return false;
  previous_ = pattern;
  return true;
}

void OutputFile::restore_previous() {
  if (!placed_) return;
  if (previous_.empty()) {
    unlink(path_.c_str());  // there was no file of that name
  } else if (rename(previous_.c_str(), path_.c_str()) == 0) {
    previous_.clear();
  }
  placed_ = false;
}

void OutputFile::forget_previous() {
  if (previous_.empty()) return;
  unlink(previous_.c_str());
  previous_.clear();
}

OutputFile& OutputSet::open(std::string_view option, const std::string& path) {
  auto file = std::make_unique<OutputFile>(path);
  for (const Named& earlier : outputs_) {
    if (earlier.file->identity() == file->identity()) {
      const auto shown = [](const std::string& p) {
        return p.empty() ? std::string("standard output") : quoted(p);
      };
      throw OutputError(std::string(option) + " " + shown(path) + " and " + earlier.option + " " +
                        shown(earlier.path) + " name the same file; give each output its own");
    }
  }
  outputs_.push_back({std::string(option), path, std::move(file)});
  return *outputs_.back().file;
}

void OutputSet::commit() {
  for (Named& o : outputs_) o.file->finish();
  std::size_t placed = 0;
  try {
    for (; placed < outputs_.size(); ++placed) {
      OutputFile& f = *outputs_[placed].file;
      f.keep_previous();
      f.put_in_place();
    }
  } catch (const OutputError&) {
    for (std::size_t i = 0; i < placed; ++i) outputs_[i].file->restore_previous();
    throw;
  }
  for (Named& o : outputs_) o.file->forget_previous();
}

}  // namespace ketrovane::calc
