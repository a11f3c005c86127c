// Handlers by address from Lingo: adding and removing routes, and choosing
// the handler of a delivered item.
#pragma once

#include "common/owned_value.h"
#include "host/moa_mm_xscript.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

// Lingo `addRoute object me, string addressPattern, symbol cbHandler,
// *cbTarget`: 1 when the route was added (or its pattern's handler and
// target replaced), 0 for a pattern that is no string or is malformed, or
// a handler that is no symbol.
void addRouteFromCall(XtraInstance& instance, MethodCall& call);

// Lingo `removeRoute object me, string addressPattern`: 1 when a route with
// exactly that pattern was removed, else 0.
void removeRouteFromCall(XtraInstance& instance, MethodCall& call);

// The handler a delivered item goes to: its route's when the item is a
// message whose address a route matches. The target is held for the call,
// so that the handler may change the routes.
struct ChosenHandler {
  bool routed = false;
  HostSymbol handler = NoSymbol;
  bool hasTarget = false;
  OwnedValue target;
};
ChosenHandler routeFor(const XtraInstance& instance, const HostValue& head);

}  // namespace zephyx::xtra
