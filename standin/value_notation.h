// The stand-in's values in Lingo notation: the printer reads the value
// table and the parser makes values in it.
#pragma once

#include <string>
#include <string_view>

#include "host/host_types.h"
#include "lingo/lingo_notation.h"
#include "standin/symbol_table.h"
#include "standin/value_table.h"

namespace zephyx::standin {

// The Lingo notation of `value`, the whole tree read under one hold of the
// table's lock. A value that is not alive is written `<dead value>`.
std::string formatLingo(const ValueTable& table, const SymbolTable& symbols,
                        const HostValue& value);
// The same, appended to `out`.
void appendLingo(std::string& out, const ValueTable& table, const SymbolTable& symbols,
                 const HostValue& value);

// Parses one literal into new values of the table (see lingo::parse).
lingo::ParseResult parseLingo(ValueTable& table, SymbolTable& symbols, std::string_view text);

}  // namespace zephyx::standin
