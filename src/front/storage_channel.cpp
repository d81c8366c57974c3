#include "front/storage_channel.hpp"

namespace ketrovane {

text::Channel& StorageChannel::open(std::string_view name) {
  const std::string file_name(text::trim_trailing_blanks(name));
  if (file_ && files_.identify(file_name) == file_->id()) return *file_;
  // The new file first: when it cannot be opened, the one open stays open.
  std::unique_ptr<OutputFile> opened = files_.open_output(file_name);
  close();
  file_ = std::move(opened);
  return *file_;
}

text::Channel& StorageChannel::current_or(std::string_view name) {
  if (file_) return *file_;
  return open(name);
}

void StorageChannel::flush() {
  if (file_) file_->flush();
}

void StorageChannel::close() {
  if (!file_) return;
  std::unique_ptr<OutputFile> file = std::move(file_);
  file->close();
}

}  // namespace ketrovane
