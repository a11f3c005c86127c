#include "standin/symbol_table.h"

namespace zephyx::standin {
namespace {

std::string foldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

HostSymbol SymbolTable::intern(std::string_view text) {
  std::string folded = foldCase(text);
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = byFoldedName_.find(folded);
  if (found != byFoldedName_.end()) return found->second;
  names_.emplace_back(text);
  const auto symbol = static_cast<HostSymbol>(names_.size());
  byFoldedName_.emplace(std::move(folded), symbol);
  count_.store(symbol, std::memory_order_release);
  return symbol;
}

std::string SymbolTable::name(HostSymbol symbol) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (symbol == NoSymbol || symbol > names_.size()) return std::string();
  return names_[symbol - 1];
}

bool SymbolTable::isSymbol(HostSymbol symbol) const {
  return symbol != NoSymbol && symbol <= count_.load(std::memory_order_acquire);
}

}  // namespace zephyx::standin
