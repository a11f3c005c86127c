#include "null_host_packet.h"

#include <cstdio>
#include <cstdlib>

#include "lingo/lingo_notation.h"
#include "packet_shapes.h"

namespace zephyx::bench {

NullHostPacket::NullHostPacket(int shape) {
  const std::string text = lingoText(shape);
  const lingo::ParseResult parsed = lingo::parse(host.maker(), text);
  if (!parsed.ok) {
    std::fprintf(stderr, "bad Lingo value: %s: %s\n", text.c_str(), parsed.error.c_str());
    std::exit(1);
  }
  value = parsed.value;
  typeSymbols_.reset(makeTypeSymbolTable(host.values()));
  context_ = send::SendContext{host.values(), host.lists(), host.objects(), host.memory(),
                               typeSymbols_.get()};
}

}  // namespace zephyx::bench
