#include "text/layout.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace ketrovane::text {

namespace {

constexpr int kMaxWidth = 200;
constexpr int kMaxDecimals = 9;
constexpr int kMaxRepeat = 1000;

constexpr std::array<double, kMaxDecimals + 1> kPow10 = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                         1e5, 1e6, 1e7, 1e8, 1e9};
constexpr std::array<std::uint64_t, kMaxDecimals + 1> kPow10Int = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// Below this bound a float times 10^d (d <= 9) is an exact double, and so is
// that product plus one half: rounding is then exact, halves away from zero.
constexpr double kExactLimit = 4.0e15;

// A parsed layout item before flattening.
struct Node {
  enum class Kind : std::uint8_t { literal, real, integer, text, group };
  Kind kind = Kind::literal;
  std::string literal;
  int width = 0;
  int decimals = 0;
  int repeat = 1;
  std::vector<Node> children;
};

class Parser {
 public:
  explicit Parser(std::string_view source) : source_(source) {}

  std::vector<Node> parse() {
    skip_blanks();
    expect('(');
    std::vector<Node> items = parse_items();
    expect(')');
    skip_blanks();
    if (at_ != source_.size()) fail("text after the closing parenthesis");
    return items;
  }

 private:
  std::vector<Node> parse_items() {
    std::vector<Node> items;
    for (;;) {
      while (at_ < source_.size() && (source_[at_] == ' ' || source_[at_] == ',')) ++at_;
      if (at_ == source_.size()) fail("missing closing parenthesis");
      if (source_[at_] == ')') return items;
      items.push_back(parse_item());
    }
  }

  Node parse_item() {
    const char c = source_[at_];
    if (c == '\'') return quoted_text();
    if (c == '/') {
      ++at_;
      return literal("\n");
    }
    if (c == '(') return group(1);
    if (is_digit(c)) return counted_item(number());
    return descriptor();
  }

  Node counted_item(int count) {
    skip_blanks();
    if (at_ == source_.size()) fail("item missing after a count");
    if (count < 1 || count > kMaxRepeat) fail("repeat count out of range");
    const char c = upper(source_[at_]);
    if (c == 'X') {
      ++at_;
      return literal(std::string(static_cast<std::size_t>(count), ' '));
    }
    if (c == 'H') {
      ++at_;
      if (source_.size() - at_ < static_cast<std::size_t>(count)) fail("short Hollerith text");
      Node n = literal(std::string(source_.substr(at_, static_cast<std::size_t>(count))));
      at_ += static_cast<std::size_t>(count);
      return n;
    }
    if (c == '/') {
      ++at_;
      return literal(std::string(static_cast<std::size_t>(count), '\n'));
    }
    if (c == '(') return group(count);
    Node d = descriptor();
    if (count == 1) return d;
    Node g;
    g.kind = Node::Kind::group;
    g.repeat = count;
    g.children.push_back(std::move(d));
    return g;
  }

  Node group(int count) {
    expect('(');
    Node g;
    g.kind = Node::Kind::group;
    g.repeat = count;
    g.children = parse_items();
    expect(')');
    return g;
  }

  Node quoted_text() {
    std::string text;
    ++at_;
    for (;;) {
      if (at_ == source_.size()) fail("unterminated quoted text");
      const char c = source_[at_++];
      if (c != '\'') {
        text += c;
        continue;
      }
      if (at_ < source_.size() && source_[at_] == '\'') {
        text += '\'';
        ++at_;
        continue;
      }
      return literal(std::move(text));
    }
  }

  Node descriptor() {
    const char c = upper(source_[at_]);
    Node n;
    if (c == 'F') {
      ++at_;
      n.kind = Node::Kind::real;
      n.width = number();
      expect('.');
      n.decimals = number();
      if (n.decimals > kMaxDecimals || n.decimals >= n.width) fail("bad F descriptor");
    } else if (c == 'I') {
      ++at_;
      n.kind = Node::Kind::integer;
      n.width = number();
    } else if (c == 'A') {
      ++at_;
      n.kind = Node::Kind::text;
      n.width = number();
    } else {
      fail("unknown item");
    }
    if (n.width < 1 || n.width > kMaxWidth) fail("field width out of range");
    return n;
  }

  static Node literal(std::string text) {
    Node n;
    n.literal = std::move(text);
    return n;
  }

  int number() {
    skip_blanks();
    if (at_ == source_.size() || !is_digit(source_[at_])) fail("number expected");
    int value = 0;
    while (at_ < source_.size() && is_digit(source_[at_])) {
      value = value * 10 + (source_[at_++] - '0');
      if (value > 100000) fail("number too large");
    }
    return value;
  }

  void expect(char c) {
    skip_blanks();
    if (at_ == source_.size() || source_[at_] != c) fail(std::string("'") + c + "' expected");
    ++at_;
  }

  void skip_blanks() {
    while (at_ < source_.size() && source_[at_] == ' ') ++at_;
  }

  static bool is_digit(char c) { return c >= '0' && c <= '9'; }
  static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument("layout " + std::string(source_) + ": " + what + " at column " +
                                std::to_string(at_ + 1));
  }

  std::string_view source_;  // the layout's text
  std::size_t at_ = 0;       // where it is read
};

// Flattens parsed nodes into literal runs and fields.
class LayoutBuilder {
 public:
  LayoutBuilder(std::vector<Layout::Op>& ops, std::string& literals, std::size_t& fields)
      : ops_(ops), literals_(literals), fields_(fields) {}

  void add(const std::vector<Node>& nodes) {
    for (const Node& n : nodes) add(n);
  }

  void add_literal(const std::string& text) {
    if (text.empty()) return;
    if (ops_.empty() || ops_.back().kind != Layout::Op::Kind::literal) {
      ops_.push_back(
          {Layout::Op::Kind::literal, 0, 0, static_cast<std::uint32_t>(literals_.size())});
    }
    literals_ += text;
    ops_.back().width = static_cast<std::uint16_t>(ops_.back().width + text.size());
  }

 private:
  void add(const Node& n) {
    switch (n.kind) {
      case Node::Kind::literal:
        add_literal(n.literal);
        return;
      case Node::Kind::group:
        for (int i = 0; i < n.repeat; ++i) add(n.children);
        return;
      case Node::Kind::real:
        add_field(Layout::Op::Kind::real, n);
        return;
      case Node::Kind::integer:
        add_field(Layout::Op::Kind::integer, n);
        return;
      case Node::Kind::text:
        add_field(Layout::Op::Kind::text, n);
        return;
    }
  }

  void add_field(Layout::Op::Kind kind, const Node& n) {
    ops_.push_back(
        {kind, static_cast<std::uint16_t>(n.width), static_cast<std::uint16_t>(n.decimals), 0});
    ++fields_;
  }

  std::vector<Layout::Op>& ops_;
  std::string& literals_;
  std::size_t& fields_;
};

}  // namespace

Layout::Layout(std::string_view source, Ending ending) : ending_(ending) {
  const std::vector<Node> nodes = Parser(source).parse();
  LayoutBuilder builder(ops_, literals_, field_count_);
  builder.add(nodes);
  if (ending_ == Ending::line) builder.add_literal("\n");
}

std::vector<Value::Kind> Layout::field_kinds() const {
  std::vector<Value::Kind> kinds;
  for (const Op& op : ops_) {
    if (op.kind == Op::Kind::real) kinds.push_back(Value::Kind::real);
    if (op.kind == Op::Kind::integer) kinds.push_back(Value::Kind::integer);
    if (op.kind == Op::Kind::text) kinds.push_back(Value::Kind::text);
  }
  return kinds;
}

void Layout::render(std::string& out, std::span<const Value> values) const {
  if (values.size() != field_count_) {
    throw std::logic_error("layout given " + std::to_string(values.size()) + " values for " +
                           std::to_string(field_count_) + " fields");
  }
  std::size_t next = 0;
  for (const Op& op : ops_) {
    if (op.kind == Op::Kind::literal) {
      out.append(literals_, op.offset, op.width);
      continue;
    }
    const Value& v = values[next++];
    switch (op.kind) {
      case Op::Kind::real:
        if (v.kind() != Value::Kind::real) throw std::logic_error("F field given a non-real");
        put_real(out, v.real(), op.width, op.decimals);
        break;
      case Op::Kind::integer:
        if (v.kind() != Value::Kind::integer) throw std::logic_error("I field given a non-integer");
        put_integer(out, v.integer(), op.width);
        break;
      default:
        if (v.kind() != Value::Kind::text) throw std::logic_error("A field given a non-text");
        put_text(out, v.text(), op.width);
        break;
    }
  }
}

namespace {

void put_stars(std::string& out, int width) {
  out.append(static_cast<std::size_t>(width), '*');
}

void put_right_aligned(std::string& out, std::string_view digits, int width) {
  if (static_cast<int>(digits.size()) > width) {
    put_stars(out, width);
    return;
  }
  out.append(static_cast<std::size_t>(width) - digits.size(), ' ');
  out.append(digits);
}

// Digits of a value too large for the exact path.  Such a value times 10^d is
// an integer, so the digits need no rounding at all.
void put_large_real(std::string& out, float value, int width, int decimals) {
  std::array<char, 128> buf{};
  const int n = std::snprintf(buf.data(), buf.size(), "%.*f", decimals, static_cast<double>(value));
  if (n < 0 || n >= static_cast<int>(buf.size())) {
    put_stars(out, width);
    return;
  }
  put_right_aligned(out, std::string_view(buf.data(), static_cast<std::size_t>(n)), width);
}

}  // namespace

void put_real(std::string& out, float value, int width, int decimals) {
  if (!std::isfinite(value)) {
    put_stars(out, width);
    return;
  }
  const double scaled = std::fabs(static_cast<double>(value)) * kPow10.at(decimals);
  if (scaled >= kExactLimit) {
    put_large_real(out, value, width, decimals);
    return;
  }
  const auto rounded = static_cast<std::uint64_t>(std::floor(scaled + 0.5));
  const std::uint64_t whole = rounded / kPow10Int.at(decimals);
  std::uint64_t fraction = rounded % kPow10Int.at(decimals);

  // Build the text from the right: fraction, point, whole part, sign.
  std::array<char, 48> buf{};
  std::size_t pos = buf.size();
  for (int i = 0; i < decimals; ++i) {
    buf[--pos] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  buf[--pos] = '.';
  const bool negative = std::signbit(value);
  const std::size_t sign = negative ? 1 : 0;
  if (whole > 0) {
    for (std::uint64_t w = whole; w > 0; w /= 10) buf[--pos] = static_cast<char>('0' + w % 10);
  } else if (buf.size() - pos + sign < static_cast<std::size_t>(width)) {
    buf[--pos] = '0';  // the leading zero, where the field leaves room for it
  }
  if (negative) buf[--pos] = '-';
  put_right_aligned(out, std::string_view(&buf[pos], buf.size() - pos), width);
}

void put_integer(std::string& out, long long value, int width) {
  std::array<char, 24> buf{};
  const auto written = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  put_right_aligned(
      out, std::string_view(buf.data(), static_cast<std::size_t>(written.ptr - buf.data())), width);
}

void put_text(std::string& out, std::string_view value, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) {
    out.append(value.substr(0, w));
  } else {
    out.append(value);
    out.append(w - value.size(), ' ');
  }
}

}  // namespace ketrovane::text
