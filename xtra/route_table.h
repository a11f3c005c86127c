// Handlers by address pattern: which handler a received message goes to.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/owned_value.h"
#include "host/host_values.h"
#include "receive/address_pattern.h"

namespace zephyx::xtra {

// One handler, and the target it is called on if any (one reference, held
// while hasTarget).
struct RouteHandler {
  HostSymbol handler = NoSymbol;
  bool hasTarget = false;
  OwnedValue target;
};

// Routes in the order they were added; each pattern at most once. Holds one
// reference on every target. Host thread.
class RouteTable {
 public:
  explicit RouteTable(IHostValues* values) : values_(values) {}
  RouteTable(const RouteTable&) = delete;
  RouteTable& operator=(const RouteTable&) = delete;

  // Adds a route, or gives an existing one with the same pattern text the
  // new handler and target, keeping its place. Retains the target. False,
  // with nothing changed, when the pattern is malformed.
  bool add(std::string_view pattern, HostSymbol handler, const HostValue* target);
  // Removes the route with exactly this pattern text; false when none has it.
  bool remove(std::string_view pattern);
  // The first route whose pattern matches `address`, or null.
  const RouteHandler* find(std::string_view address) const;
  bool empty() const { return routes_.empty(); }

 private:
  struct Route {
    receive::AddressPattern pattern;
    RouteHandler handler;
  };
  IHostValues* values_;
  std::vector<Route> routes_;
};

}  // namespace zephyx::xtra
