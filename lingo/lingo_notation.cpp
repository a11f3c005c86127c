#include "lingo/lingo_notation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

namespace zephyx::lingo {
namespace {

const char HexDigits[] = "0123456789abcdef";

bool isIdentifierStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isIdentifierPart(char c) { return isIdentifierStart(c) || (c >= '0' && c <= '9'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isIdentifier(std::string_view text) {
  if (text.empty() || !isIdentifierStart(text[0])) return false;
  for (char c : text) {
    if (!isIdentifierPart(c)) return false;
  }
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendHexByte(std::string& out, uint8_t byte) {
  out += HexDigits[byte >> 4];
  out += HexDigits[byte & 0x0f];
}

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      appendHexByte(out, byte);
    } else {
      out += c;
    }
  }
  out += '"';
}

void appendFloat(std::string& out, double number) {
  if (std::isnan(number)) {
    out += "NAN";
    return;
  }
  if (std::isinf(number)) {
    out += number < 0 ? "-INF" : "INF";
    return;
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  out += text;
  // Without a point or exponent it would read back as an integer.
  if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

}  // namespace

std::string format(ValueReader& reader, const HostValue& value) {
  std::string out;
  append(out, reader, value);
  return out;
}

void append(std::string& out, ValueReader& reader, const HostValue& value) {
  using Kind = ValueReader::Kind;
  // Values made by other code can nest far deeper than the call stack
  // allows, so containers are walked with an explicit stack.
  struct Frame {
    HostValue container;
    uint64_t id;
    bool prop;
    size_t steps;  // for a property list, keys and values alternate
    size_t next;
  };
  std::vector<Frame> stack;
  // The lists open on the stack; one reached again through itself is a cycle.
  std::unordered_set<uint64_t> open;

  auto emit = [&](const HostValue& item) {
    int32_t code = 0;
    const Kind kind = reader.kind(item, &code);
    switch (kind) {
      case Kind::Void:
        out += "VOID";
        break;
      case Kind::Dead:
        out += "<dead value>";
        break;
      case Kind::Integer: {
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, reader.integer(item));
        out.append(digits, static_cast<size_t>(written.ptr - digits));
        break;
      }
      case Kind::Float:
        appendFloat(out, reader.number(item));
        break;
      case Kind::String:
        appendQuoted(out, reader.contents(item));
        break;
      case Kind::Symbol: {
        const std::string_view name = reader.contents(item);
        if (isIdentifier(name)) {
          out += '#';
          out += name;
        } else {
          out += "symbol(";
          appendQuoted(out, name);
          out += ')';
        }
        break;
      }
      case Kind::ByteArray:
        out += "<bytes";
        for (char byte : reader.contents(item)) {
          out += ' ';
          appendHexByte(out, static_cast<uint8_t>(byte));
        }
        out += '>';
        break;
      case Kind::Object:
        out += "<object ";
        out += reader.contents(item);
        out += '>';
        break;
      case Kind::List:
      case Kind::PropList: {
        const uint64_t id = reader.identity(item);
        const bool prop = kind == Kind::PropList;
        if (open.count(id) != 0) {
          out += "<cycle>";
          break;
        }
        const size_t count = reader.count(item);
        if (count == 0) {
          out += prop ? "[:]" : "[]";
        } else {
          out += '[';
          open.insert(id);
          stack.push_back(Frame{item, id, prop, count * (prop ? 2 : 1), 0});
        }
        break;
      }
      case Kind::Other:
        out += "<kind " + std::to_string(code) + ">";
        break;
    }
  };

  emit(value);
  while (!stack.empty()) {
    // Copied out: emit may grow the stack and move the frame.
    const Frame frame = stack.back();
    if (frame.next >= frame.steps) {
      out += ']';
      open.erase(frame.id);
      stack.pop_back();
      continue;
    }
    ++stack.back().next;
    if (!frame.prop) {
      if (frame.next > 0) out += ", ";
      emit(reader.item(frame.container, frame.next));
    } else if (frame.next % 2 == 0) {
      if (frame.next > 0) out += ", ";
      emit(reader.key(frame.container, frame.next / 2));
    } else {
      out += ": ";
      emit(reader.item(frame.container, frame.next / 2));
    }
  }
}

namespace {

// Reads one literal. Lists are read with an explicit stack of open lists, so
// depth is bounded only by MaxDepth and a failure can release every value
// made so far.
class Parser {
 public:
  Parser(ValueMaker& maker, std::string_view text) : maker_(maker), text_(text) {}

  ParseResult run() {
    ParseResult result;
    try {
      HostValue value = VoidValue;
      if (parse(value)) {
        result.ok = true;
        result.value = value;
        return result;
      }
    } catch (...) {
      releaseOpen();
      throw;
    }
    releaseOpen();
    result.error = error_;
    result.position = errorPosition_;
    return result;
  }

 private:
  struct OpenList {
    size_t start = 0;      // offset of its '['
    bool decided = false;  // list or property list, known from the first element
    bool prop = false;
    bool wantValue = false;  // a key and ':' were read; its value comes next
    std::vector<HostValue> keys;
    std::vector<HostValue> items;
  };

  bool parse(HostValue& out) {
    for (;;) {
      skipSpace();
      size_t start = pos_;
      HostValue value = VoidValue;
      // Only a symbol or a string may name a property.
      bool keyable = false;
      if (peek() == '[') {
        if (stack_.size() >= static_cast<size_t>(MaxDepth)) {
          return fail(pos_, "lists nested deeper than " + std::to_string(MaxDepth));
        }
        ++pos_;
        stack_.emplace_back();
        stack_.back().start = start;
        skipSpace();
        if (peek() == ']') {
          ++pos_;
          value = close();
        } else if (peek() == ':') {
          ++pos_;
          skipSpace();
          if (peek() != ']') return fail(pos_, "expected ']'");
          ++pos_;
          stack_.back().prop = true;
          value = close();
        } else {
          continue;  // the first element
        }
      } else if (!scalar(value, keyable)) {
        return false;
      }

      // Hand the value to the list it belongs to; closing that list may
      // complete the one around it in turn.
      for (;;) {
        if (stack_.empty()) {
          skipSpace();
          if (pos_ != text_.size()) {
            release(value);
            return fail(pos_, "unexpected text after the value");
          }
          out = value;
          return true;
        }
        OpenList& list = stack_.back();
        bool isKey = false;
        if (list.wantValue) {
          list.items.push_back(value);
          list.wantValue = false;
        } else if (!list.decided) {
          list.decided = true;
          skipSpace();
          list.prop = peek() == ':';
          isKey = list.prop;
          (isKey ? list.keys : list.items).push_back(value);
        } else if (list.prop) {
          list.keys.push_back(value);
          isKey = true;
        } else {
          list.items.push_back(value);
        }

        if (isKey) {
          // A missing ':' means a plain element among properties; report
          // that before judging what kind of key it would have been.
          skipSpace();
          if (peek() != ':') return fail(pos_, "expected ':'");
          if (!keyable) return fail(start, "a property name must be a symbol or a string");
          ++pos_;
          list.wantValue = true;
          break;
        }

        skipSpace();
        if (peek() == ',') {
          ++pos_;
          break;
        }
        if (peek() != ']') return fail(pos_, "expected ',' or ']'");
        ++pos_;
        start = list.start;
        value = close();
        keyable = false;
      }
    }
  }

  // Makes the innermost open list into a value, which takes over the
  // references of its elements.
  HostValue close() {
    OpenList& list = stack_.back();
    const HostValue value = list.prop
                                ? maker_.makePropList(std::move(list.keys), std::move(list.items))
                                : maker_.makeList(std::move(list.items));
    stack_.pop_back();
    return value;
  }

  // `keyable` tells whether the value may name a property.
  bool scalar(HostValue& out, bool& keyable) {
    const size_t start = pos_;
    const char c = peek();
    if (c == '-' || isDigit(c)) return number(out);
    if (c == '"') {
      std::string text;
      if (!quoted(text)) return false;
      out = maker_.makeString(std::move(text));
      keyable = true;
      return true;
    }
    if (c == '#') {
      ++pos_;
      if (!isIdentifierStart(peek())) return fail(pos_, "expected a symbol name");
      keyable = true;
      return makeSymbol(word(), out);
    }
    if (c == '<') return bytes(out);
    if (isIdentifierStart(c)) {
      const std::string_view name = word();
      if (name == "VOID") {
        out = VoidValue;
        return true;
      }
      if (name == "INF") return makeFloat(std::numeric_limits<double>::infinity(), out);
      if (name == "NAN") return makeFloat(std::numeric_limits<double>::quiet_NaN(), out);
      if (name == "symbol") {
        skipSpace();
        if (peek() != '(') return fail(pos_, "expected '('");
        ++pos_;
        skipSpace();
        if (peek() != '"') return fail(pos_, "expected a string");
        std::string text;
        if (!quoted(text)) return false;
        skipSpace();
        if (peek() != ')') return fail(pos_, "expected ')'");
        ++pos_;
        keyable = true;
        return makeSymbol(text, out);
      }
      return fail(start, "unknown word '" + std::string(name) + "'");
    }
    return fail(pos_, "expected a value");
  }

  bool number(HostValue& out) {
    const size_t start = pos_;
    if (peek() == '-') {
      ++pos_;
      if (isIdentifierStart(peek())) {
        const size_t wordStart = pos_;
        if (word() != "INF") return fail(wordStart, "expected a digit or INF");
        return makeFloat(-std::numeric_limits<double>::infinity(), out);
      }
    }
    if (!digits()) return fail(pos_, "expected a digit");
    bool isFloat = false;
    if (peek() == '.') {
      isFloat = true;
      ++pos_;
      if (!digits()) return fail(pos_, "expected a digit");
    }
    if (peek() == 'e' || peek() == 'E') {
      isFloat = true;
      ++pos_;
      if (peek() == '+' || peek() == '-') ++pos_;
      if (!digits()) return fail(pos_, "expected a digit");
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    if (isFloat) {
      double number = 0.0;
      const auto result = std::from_chars(first, last, number);
      // Overflow and underflow to zero alike: the text does not stand for
      // the value it would give.
      if (result.ec != std::errc() || result.ptr != last) {
        return fail(start, "float out of range");
      }
      return makeFloat(number, out);
    }
    int32_t integer = 0;
    const auto result = std::from_chars(first, last, integer);
    if (result.ec != std::errc() || result.ptr != last) {
      return fail(start, "integer out of range");
    }
    out = maker_.makeInteger(integer);
    return true;
  }

  bool digits() {
    const size_t start = pos_;
    while (isDigit(peek())) ++pos_;
    return pos_ > start;
  }

  // A quoted string at pos_, unescaped into `text`.
  bool quoted(std::string& text) {
    const size_t start = pos_;
    ++pos_;
    for (;;) {
      if (atEnd()) return fail(start, "unterminated string");
      const char c = text_[pos_];
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (static_cast<uint8_t>(c) < 0x20) return fail(pos_, "control byte in string");
      if (c != '\\') {
        text += c;
        ++pos_;
        continue;
      }
      const size_t escape = pos_;
      const char kind = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
      if (kind == '"' || kind == '\\') {
        text += kind;
        pos_ += 2;
      } else if (kind == 'x') {
        const int high = pos_ + 2 < text_.size() ? hexValue(text_[pos_ + 2]) : -1;
        const int low = pos_ + 3 < text_.size() ? hexValue(text_[pos_ + 3]) : -1;
        if (high < 0 || low < 0) return fail(escape, "expected two hex digits after \\x");
        text += static_cast<char>(high * 16 + low);
        pos_ += 4;
      } else {
        return fail(escape, "bad escape");
      }
    }
  }

  bool bytes(HostValue& out) {
    ++pos_;
    const size_t wordStart = pos_;
    const std::string_view name = word();
    if (name == "object") return fail(wordStart, "script objects cannot be read");
    if (name != "bytes") return fail(wordStart, "expected 'bytes'");
    std::vector<uint8_t> data;
    for (;;) {
      const size_t before = pos_;
      skipSpace();
      if (peek() == '>') {
        ++pos_;
        break;
      }
      if (pos_ == before) return fail(pos_, "expected ' ' or '>'");
      const int high = hexValue(peek());
      if (high < 0) return fail(pos_, "expected two hex digits or '>'");
      ++pos_;
      const int low = hexValue(peek());
      if (low < 0) return fail(pos_, "expected two hex digits");
      ++pos_;
      data.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    out = maker_.makeByteArray(std::move(data));
    return true;
  }

  bool makeFloat(double number, HostValue& out) {
    out = maker_.makeFloat(number);
    return true;
  }

  bool makeSymbol(std::string_view name, HostValue& out) {
    out = maker_.makeSymbol(name);
    return true;
  }

  std::string_view word() {
    const size_t start = pos_;
    if (isIdentifierStart(peek())) {
      while (isIdentifierPart(peek())) ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  void skipSpace() {
    while (!atEnd()) {
      const char c = text_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      ++pos_;
    }
  }

  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }

  bool fail(size_t at, const std::string& what) {
    error_ = what + " at position " + std::to_string(at);
    errorPosition_ = at;
    return false;
  }

  void releaseOpen() {
    for (const OpenList& list : stack_) {
      for (const HostValue& key : list.keys) release(key);
      for (const HostValue& item : list.items) release(item);
    }
    stack_.clear();
  }

  void release(const HostValue& value) {
    if (!sameValue(value, VoidValue)) maker_.release(value);
  }

  ValueMaker& maker_;
  std::string_view text_;
  size_t pos_ = 0;
  std::vector<OpenList> stack_;
  std::string error_;
  size_t errorPosition_ = 0;
};

}  // namespace

ParseResult parse(ValueMaker& maker, std::string_view text) { return Parser(maker, text).run(); }

}  // namespace zephyx::lingo
