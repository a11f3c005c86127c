#include "null_host_packet.h"

#include <cstdio>
#include <cstdlib>

#include "common/owned_value.h"
#include "packet_shapes.h"
#include "standin/standin_host.h"

namespace zephyx::bench {

NullHostPacket::NullHostPacket(int shape) {
  {
    standin::StandInHost source;
    standin::LingoParseResult parsed = source.parse(lingoText(shape));
    if (!parsed.ok) {
      std::fprintf(stderr, "bad Lingo value: %s\n", lingoText(shape).c_str());
      std::exit(1);
    }
    const OwnedValue parsedValue = source.own(parsed.value);
    value = host.copyFrom(source, parsedValue.get());
  }
  typeSymbols_.reset(makeTypeSymbolTable(host.values()));
  context_ = send::SendContext{host.values(), host.lists(), host.objects(), host.memory(),
                               typeSymbols_.get()};
}

}  // namespace zephyx::bench
