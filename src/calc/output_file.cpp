#include "calc/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "calc/signals.hpp"
#include "commands/input_error.hpp"

namespace ketrovane::calc {

using commands::quoted;

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

// What a symbolic link says, as it says it.
std::string link_text(const std::string& path) {
  std::array<char, PATH_MAX> text{};
  const ssize_t n = readlink(path.c_str(), text.data(), text.size());
  return n < 0 ? std::string() : std::string(text.data(), static_cast<std::size_t>(n));
}

// A symbolic link to a regular file is written through: its target is the
// file replaced, the link stays.  A link to nothing is refused rather than
// replaced by a file or followed to create one.
std::string followed(const std::string& path) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    if (errno != ENOENT) throw OutputError(file_message("write", path, errno));
    throw OutputError("cannot write " + quoted(path) + ": it is a symbolic link to " +
                      quoted(link_text(path)) + ", which does not exist");
  }
  std::string target(resolved);
  std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc)
  return target;
}

// A name beside `path` for a file of this run, as mkostemp takes it: "."
// and the file's name, `suffix` and six random characters, the file's name
// shortened (at the start of a character) where the whole would pass
// NAME_MAX.
std::string sibling_pattern(const std::string& path, std::string_view suffix) {
  constexpr std::size_t kRandom = 6;
  constexpr unsigned kContinuationMask = 0xC0U;
  constexpr unsigned kContinuation = 0x80U;
  std::string name = base_name_of(path);
  const std::size_t room = NAME_MAX - 1 - suffix.size() - kRandom;
  if (name.size() > room) {
    std::size_t cut = room;
    while (cut > 0 &&
           (static_cast<unsigned char>(name[cut]) & kContinuationMask) == kContinuation) {
      --cut;
    }
    name.resize(cut);
  }
  return directory_of(path) + "/." + name + std::string(suffix) + std::string(kRandom, 'X');
}

// Whether this process may replace a file of a directory by renaming over
// it: in a sticky directory (such as /tmp) only the file's owner, the
// directory's owner and the superuser may.
bool may_replace(const std::string& path, const struct stat& file) {
  struct stat directory {};
  if (stat(directory_of(path).c_str(), &directory) != 0) return true;  // rename will say
  if ((directory.st_mode & S_ISVTX) == 0) return true;
  const uid_t me = geteuid();
  return me == 0 || file.st_uid == me || directory.st_uid == me;
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
  if (exists && !may_replace(path_, existing)) {
    throw OutputError(file_message("write", path, EPERM));
  }
  mode_ = exists ? (existing.st_mode & 07777U) : (kNewFileMode & ~current_umask());
  std::string pattern = sibling_pattern(path_, ".");
  const HeldSignals held;  // created and registered as one step
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) throw OutputError(file_message("write", path, errno));
  owns_fd_ = true;
  temporary_ = pattern;
  removed_on_signal_.emplace(temporary_);
  sink_ = std::make_unique<Sink>(fd_, path);
}

OutputFile::~OutputFile() {
  if (owns_fd_) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
  forget_previous();
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
  removed_on_signal_.reset();
}

bool OutputFile::keep_previous() {
  if (temporary_.empty()) return false;
  struct stat existing {};
  if (lstat(path_.c_str(), &existing) != 0) return false;  // none to keep
  std::string pattern = sibling_pattern(path_, ".previous.");
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) throw OutputError(file_message("write", path_, errno));
  close(fd);
  // A hard link over the placeholder: the previous file under a second name.
  // Without it the file could not be put back: it is not replaced.
  if (unlink(pattern.c_str()) != 0 || link(path_.c_str(), pattern.c_str()) != 0) {
    const int error = errno;
    unlink(pattern.c_str());
    throw OutputError(file_message("write", path_, error));
  }
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
  // A signal arriving now is acted on once every file is either in place
  // or back as it was.
  const HeldSignals held;
  std::size_t placed = 0;
  try {
    for (; placed < outputs_.size(); ++placed) {
      OutputFile& f = *outputs_[placed].file;
      f.keep_previous();
      f.put_in_place();
    }
  } catch (const OutputError&) {
    restore(placed);
    throw;
  }
  if (HeldSignals::arrived()) restore(placed);
  for (Named& o : outputs_) o.file->forget_previous();
}

void OutputSet::restore(std::size_t placed) {
  for (std::size_t i = 0; i < placed; ++i) outputs_[i].file->restore_previous();
}

}  // namespace ketrovane::calc
