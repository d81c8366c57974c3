#include "text/channel.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/reply_reader.hpp"

namespace ketrovane::text {

void Channel::written() {
  if (!buffer_.empty()) at_line_start_ = buffer_.back() == '\n';
  if (buffer_.size() >= kFlushSize) flush();
}

void Channel::flush() {
  if (buffer_.empty()) return;
  std::string pending;
  pending.swap(buffer_);
  sink(pending);
  pending.clear();
  pending.swap(buffer_);  // keep the capacity for the next rows
}

DescriptorChannel::~DescriptorChannel() = default;

void DescriptorChannel::sink(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd_, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FatalError("cannot write " + name_ + ": " + std::strerror(errno));
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace ketrovane::text
