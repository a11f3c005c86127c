// Lingo notation: the text form of values used by tests and tools.
//
//   440  0.5  440.0  1e-04  INF  -INF  NAN      integers and floats
//   "a \"b\" \\ \x00"                           strings
//   #name  symbol("two words")                   symbols
//   VOID                                         void
//   [1, 2]  []                                   lists
//   [#int32: 1, "float32": 0.5]  [:]             property lists
//   <bytes 41 00 c8>  <bytes>                    byte arrays
//   <object name>                                script objects (formatted only)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/host_types.h"
#include "standin/symbol_table.h"
#include "standin/value_table.h"

namespace zephyx::standin {

// Deepest nesting of lists that the parser accepts.
constexpr int LingoMaxDepth = 256;

// The Lingo notation of `value`. A value that is not alive is written
// `<dead value>`.
std::string formatLingo(const ValueTable& table, const SymbolTable& symbols,
                        const HostValue& value);
// The same, appended to `out`: a caller writing many values keeps one buffer.
void appendLingo(std::string& out, const ValueTable& table, const SymbolTable& symbols,
                 const HostValue& value);

struct LingoParseResult {
  bool ok = false;
  HostValue value = VoidValue;  // owned by the caller when ok
  std::string error;            // names the position when not ok
  size_t position = 0;          // 0-based byte offset of the fault
};

// Parses one literal, surrounded by optional white space. On failure every
// value made along the way has been released again.
LingoParseResult parseLingo(ValueTable& table, SymbolTable& symbols, std::string_view text);

}  // namespace zephyx::standin
