#include "text/reply_reader.hpp"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace ketrovane::text {

std::optional<std::string> StreamLineReader::read_line() {
  std::streambuf* buf = in_.rdbuf();
  std::string line;
  bool any = false;
  for (;;) {
    const int c = buf->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in_.setstate(std::ios::eofbit);
      if (!any) return std::nullopt;
      return line;
    }
    any = true;
    if (c == '\n') return line;
    if (line.size() < kKeptColumns) line += static_cast<char>(c);
  }
}

namespace {

std::string_view without_carriage_return(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Plain decimal number: [sign] digits with at most one point (at least one
// digit), then optionally an exponent letter, [sign] and digits.
bool is_plain_number(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (is_digit(s[i])) {
      ++digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i == s.size()) return true;
  if (s[i] != 'E' && s[i] != 'e' && s[i] != 'D' && s[i] != 'd') return false;
  ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
  }
  return true;
}

}  // namespace

RealField read_real_field(std::string_view line) {
  line = without_carriage_return(line);
  line = line.substr(0, std::min(line.size(), kReplyColumns));
  std::array<char, kReplyColumns + 1> field{};
  std::size_t n = 0;
  for (const char c : line) {
    if (c == ' ' || c == '\t') continue;
    field[n++] = (c == 'D' || c == 'd') ? 'e' : c;
  }
  if (n == 0) return {0.0F, FieldError::none};
  if (!is_plain_number(std::string_view(field.data(), n))) {
    return {0.0F, FieldError::not_a_number};
  }
  errno = 0;
  const float value = std::strtof(field.data(), nullptr);
  if (std::isinf(value)) return {0.0F, FieldError::out_of_range};
  return {value, FieldError::none};
}

std::string read_name_field(std::string_view line) {
  line = without_carriage_return(line);
  std::string name(line.substr(0, std::min(line.size(), kNameColumns)));
  name.resize(kNameColumns, ' ');
  return name;
}

std::string_view trim_trailing_blanks(std::string_view name) {
  const std::size_t end = name.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1);
}

std::string quote_input(std::string_view line) {
  constexpr std::size_t kShown = 40;
  std::string out = "\"";
  for (const char c : line.substr(0, std::min(line.size(), kShown))) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f && c != '"' && c != '\\') {
      out += c;
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[u >> 4U];
      out += kHex[u & 15U];
    }
  }
  if (line.size() > kShown) out += "...";
  out += '"';
  return out;
}

}  // namespace ketrovane::text

#include <unistd.h>

#include <cstring>

namespace ketrovane::text {

bool DescriptorLineReader::refill() {
  if (at_end_) return false;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n > 0) {
      begin_ = 0;
      end_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      at_end_ = true;
      return false;
    }
    if (errno != EINTR) throw FatalError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

std::optional<std::string> DescriptorLineReader::read_line() {
  std::string line;
  bool any = false;
  for (;;) {
    if (begin_ == end_ && !refill()) {
      if (!any) return std::nullopt;
      return line;
    }
    any = true;
    const char* start = buffer_.data() + begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    const std::size_t len = newline ? static_cast<std::size_t>(newline - start) : end_ - begin_;
    if (line.size() < StreamLineReader::kKeptColumns) {
      line.append(start, std::min(len, StreamLineReader::kKeptColumns - line.size()));
    }
    begin_ += len;
    if (newline) {
      ++begin_;
      return line;
    }
  }
}

}  // namespace ketrovane::text
