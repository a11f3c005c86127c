// Lingo notation: the text form of host values, for tests, tools and
// benchmarks, over whatever holds the values.
//
//   440  0.5  440.0  1e-04  INF  -INF  NAN      integers and floats
//   "a \"b\" \\ \x00"                           strings
//   #name  symbol("two words")                   symbols
//   VOID                                         void
//   [1, 2]  []                                   lists
//   [#int32: 1, "float32": 0.5]  [:]             property lists
//   <bytes 41 00 c8>  <bytes>                    byte arrays
//   <object name>                                script objects (formatted only)
//
// The printer reads values through a ValueReader and the parser makes them
// through a ValueMaker; the holder of the values implements both. Neither
// keeps anything between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_types.h"

namespace zephyx::lingo {

// What the printer asks of the holder of the values. Called from the
// thread that formats, for the duration of one format or append: a holder
// that locks its values holds the lock around that call.
class ValueReader {
 public:
  enum class Kind {
    Void,
    Integer,
    Float,
    String,
    Symbol,
    ByteArray,
    Object,  // a script object, written with its name
    List,
    PropList,
    Dead,   // a handle that names no live value: written <dead value>
    Other,  // a kind the notation has no form for: written <kind N>
  };

  // The kind of `value`; VOID is Void. For Other, *code is the host's kind
  // code (N above); otherwise it is left alone.
  virtual Kind kind(const HostValue& value, int32_t* code) = 0;
  virtual int32_t integer(const HostValue& value) = 0;
  virtual double number(const HostValue& value) = 0;
  // A string's bytes (NULs included), a symbol's name, an object's name or
  // a byte array's contents. Valid until the reader's next call.
  virtual std::string_view contents(const HostValue& value) = 0;
  // Of a list or property list: how many items it holds, the item at a
  // 0-based index, and for a property list the key at that index. The
  // handles are borrowed; VOID where the holder has none.
  virtual size_t count(const HostValue& container) = 0;
  virtual HostValue item(const HostValue& container, size_t index) = 0;
  virtual HostValue key(const HostValue& propList, size_t index) = 0;
  // Equal for two handles of one live container, different for two live
  // containers: a list reached again inside itself is a cycle.
  virtual uint64_t identity(const HostValue& container) = 0;

 protected:
  ~ValueReader() = default;
};

// The notation of `value`.
std::string format(ValueReader& reader, const HostValue& value);
// The same, appended to `out`: a caller writing many values keeps one buffer.
void append(std::string& out, ValueReader& reader, const HostValue& value);

// How the parser makes values. Each make returns a new value with one
// reference, which the parser owns. A make may throw; the parser then
// releases what it made and lets the exception through.
class ValueMaker {
 public:
  virtual HostValue makeInteger(int32_t number) = 0;
  virtual HostValue makeFloat(double number) = 0;
  virtual HostValue makeString(std::string bytes) = 0;
  // The symbol named `name`, interned as the holder interns (for Lingo,
  // case-insensitively).
  virtual HostValue makeSymbol(std::string_view name) = 0;
  virtual HostValue makeByteArray(std::vector<uint8_t> bytes) = 0;
  // The containers adopt the references of their elements, VOID among
  // them, and may move them out of the vectors; when a make throws they
  // are still the parser's. A property list gets keys[i]: items[i].
  virtual HostValue makeList(std::vector<HostValue>&& items) = 0;
  virtual HostValue makePropList(std::vector<HostValue>&& keys, std::vector<HostValue>&& items) = 0;
  // Drops the parser's reference to a value it made; never called with VOID.
  virtual void release(const HostValue& value) = 0;

 protected:
  ~ValueMaker() = default;
};

// Deepest nesting of lists that the parser accepts.
constexpr int MaxDepth = 256;

struct ParseResult {
  bool ok = false;
  HostValue value = VoidValue;  // owned by the caller when ok
  std::string error;            // names the position when not ok
  size_t position = 0;          // 0-based byte offset of the fault
};

// Parses one literal, surrounded by optional white space. On failure every
// value made along the way has been released again.
ParseResult parse(ValueMaker& maker, std::string_view text);

}  // namespace zephyx::lingo
