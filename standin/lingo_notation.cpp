#include "standin/lingo_notation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

namespace zephyx::standin {
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

// Containers are identified by slot and serial while they are open, so a
// list reached again through itself is noticed.
uint64_t identity(const HostValue& value) {
  return (static_cast<uint64_t>(value.words[0]) << 32) | value.words[1];
}

}  // namespace

std::string formatLingo(const ValueTable& table, const SymbolTable& symbols,
                        const HostValue& value) {
  std::string out;
  appendLingo(out, table, symbols, value);
  return out;
}

void appendLingo(std::string& out, const ValueTable& table, const SymbolTable& symbols,
                 const HostValue& value) {
  // Under the table's lock throughout: one value tree is read as one step.
  table.locked([&](const ValueTable::Locked& view) {
    // Values made by other code can nest far deeper than the call stack
    // allows, so containers are walked with an explicit stack.
    struct Frame {
      const ValueSlot* slot;
      uint64_t id;
      size_t next;  // for a property list, keys and values alternate
    };
    std::vector<Frame> stack;
    // The lists open on the stack; one reached again through itself is a cycle.
    std::unordered_set<uint64_t> open;

    auto emit = [&](const HostValue& item) {
      if (sameValue(item, VoidValue)) {
        out += "VOID";
        return;
      }
      const ValueSlot* slot = view.find(item);
      if (slot == nullptr) {
        out += "<dead value>";
        return;
      }
      switch (slot->kind) {
        case StandInVoid:
          out += "VOID";
          break;
        case StandInInteger: {
          char digits[16];
          const auto written = std::to_chars(digits, digits + sizeof digits, slot->integer);
          out.append(digits, static_cast<size_t>(written.ptr - digits));
          break;
        }
        case StandInFloat:
          appendFloat(out, slot->number);
          break;
        case StandInString:
          appendQuoted(out, slot->text);
          break;
        case StandInSymbol: {
          const std::string name = symbols.name(slot->symbol);
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
        case StandInByteArray:
          out += "<bytes";
          for (uint8_t byte : slot->bytes) {
            out += ' ';
            appendHexByte(out, byte);
          }
          out += '>';
          break;
        case StandInObject:
          out += "<object ";
          out += slot->text;
          out += '>';
          break;
        case StandInList:
        case StandInPropList: {
          const uint64_t id = identity(item);
          if (open.count(id) != 0) {
            out += "<cycle>";
          } else if (slot->items.empty()) {
            out += slot->kind == StandInList ? "[]" : "[:]";
          } else {
            out += '[';
            open.insert(id);
            stack.push_back(Frame{slot, id, 0});
          }
          break;
        }
        default:
          out += "<kind " + std::to_string(slot->kind) + ">";
          break;
      }
    };

    emit(value);
    while (!stack.empty()) {
      // Copied out: emit may grow the stack and move the frame.
      const Frame frame = stack.back();
      const bool prop = frame.slot->kind == StandInPropList;
      const size_t steps = frame.slot->items.size() * (prop ? 2 : 1);
      if (frame.next >= steps) {
        out += ']';
        open.erase(frame.id);
        stack.pop_back();
        continue;
      }
      ++stack.back().next;
      if (!prop) {
        if (frame.next > 0) out += ", ";
        emit(frame.slot->items[frame.next]);
      } else if (frame.next % 2 == 0) {
        if (frame.next > 0) out += ", ";
        const size_t index = frame.next / 2;
        emit(index < frame.slot->keys.size() ? frame.slot->keys[index] : VoidValue);
      } else {
        out += ": ";
        emit(frame.slot->items[frame.next / 2]);
      }
    }
  });
}

namespace {

// Reads one literal. Lists are read with an explicit stack of open lists, so
// depth is bounded only by LingoMaxDepth and a failure can release every
// value made so far.
class Parser {
 public:
  Parser(ValueTable& table, SymbolTable& symbols, std::string_view text)
      : table_(table), symbols_(symbols), text_(text) {}

  LingoParseResult run() {
    LingoParseResult result;
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
      if (peek() == '[') {
        if (stack_.size() >= static_cast<size_t>(LingoMaxDepth)) {
          return fail(pos_, "lists nested deeper than " + std::to_string(LingoMaxDepth));
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
      } else if (!scalar(value)) {
        return false;
      }

      // Hand the value to the list it belongs to; closing that list may
      // complete the one around it in turn.
      for (;;) {
        if (stack_.empty()) {
          skipSpace();
          if (pos_ != text_.size()) {
            table_.release(value);
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
          const ValueSlot* slot = table_.find(value);
          if (slot == nullptr || (slot->kind != StandInSymbol && slot->kind != StandInString)) {
            return fail(start, "a property name must be a symbol or a string");
          }
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
      }
    }
  }

  // Makes the innermost open list into a value, which takes over the
  // references of its elements.
  HostValue close() {
    OpenList& list = stack_.back();
    const HostValue value =
        table_.make(list.prop ? StandInPropList : StandInList, [&](ValueSlot& slot) {
          slot.items = std::move(list.items);
          slot.keys = std::move(list.keys);
        });
    stack_.pop_back();
    return value;
  }

  bool scalar(HostValue& out) {
    const size_t start = pos_;
    const char c = peek();
    if (c == '-' || isDigit(c)) return number(out);
    if (c == '"') {
      std::string text;
      if (!quoted(text)) return false;
      out = table_.make(StandInString, [&](ValueSlot& slot) { slot.text = std::move(text); });
      return true;
    }
    if (c == '#') {
      ++pos_;
      if (!isIdentifierStart(peek())) return fail(pos_, "expected a symbol name");
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
    out = table_.make(StandInInteger, [&](ValueSlot& slot) { slot.integer = integer; });
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
    out = table_.make(StandInByteArray, [&](ValueSlot& slot) { slot.bytes = std::move(data); });
    return true;
  }

  bool makeFloat(double number, HostValue& out) {
    out = table_.make(StandInFloat, [&](ValueSlot& slot) { slot.number = number; });
    return true;
  }

  bool makeSymbol(std::string_view name, HostValue& out) {
    const HostSymbol symbol = symbols_.intern(name);
    out = table_.make(StandInSymbol, [&](ValueSlot& slot) { slot.symbol = symbol; });
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
      for (const HostValue& key : list.keys) table_.release(key);
      for (const HostValue& item : list.items) table_.release(item);
    }
    stack_.clear();
  }

  ValueTable& table_;
  SymbolTable& symbols_;
  std::string_view text_;
  size_t pos_ = 0;
  std::vector<OpenList> stack_;
  std::string error_;
  size_t errorPosition_ = 0;
};

}  // namespace

LingoParseResult parseLingo(ValueTable& table, SymbolTable& symbols, std::string_view text) {
  return Parser(table, symbols, text).run();
}

}  // namespace zephyx::standin
