// One of the three packets as a value of a null host, with the context the
// library encodes it through; the type names interned by the null host.
#pragma once

#include <memory>

#include "common/type_symbol_table.h"
#include "null_host.h"
#include "send/send_context.h"

namespace zephyx::bench {

class NullHostPacket {
 public:
  // Parses the packet's Lingo text straight into the null host's table.
  // Before measuring: this allocates.
  explicit NullHostPacket(int shape);

  NullHost host;
  HostValue value = VoidValue;
  const send::SendContext& context() const { return context_; }

 private:
  std::unique_ptr<TypeSymbolTable> typeSymbols_;
  send::SendContext context_;
};

}  // namespace zephyx::bench
