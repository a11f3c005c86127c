// The stand-in host's interned symbols.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/host_types.h"

namespace zephyx::standin {

// Symbols are case-insensitive, as in Lingo: "Int32" and "int32" are one
// symbol, spelt as it was first interned. Safe to use from any thread.
class SymbolTable {
 public:
  HostSymbol intern(std::string_view text);
  // The spelling of a symbol; empty for NoSymbol or an unknown number.
  std::string name(HostSymbol symbol) const;
  bool isSymbol(HostSymbol symbol) const;

 private:
  // Symbols are numbered from 1 up and never forgotten, so whether a number
  // is one needs only how many there are: read without the lock.
  std::atomic<HostSymbol> count_{0};
  mutable std::mutex mutex_;
  std::unordered_map<std::string, HostSymbol> byFoldedName_;  // guarded by mutex_
  std::deque<std::string> names_;                             // guarded by mutex_; [symbol - 1]
};

}  // namespace zephyx::standin
