#include "xtra/routing_control.h"

#include <memory>
#include <string>

#include "common/locked_string.h"
#include "xtra/route_table.h"
#include "xtra/string_argument.h"

namespace zephyx::xtra {
namespace {

// addRoute needs the pattern and the handler after `me`; removeRoute the pattern.
constexpr int32_t AddRouteRequiredArgs = 3;
constexpr int32_t RemoveRouteRequiredArgs = 2;

void answer(XtraInstance& instance, MethodCall& call, bool done) {
  instance.valueServices->integerToValue(done ? 1 : 0, &call.result);
}

}  // namespace

void addRouteFromCall(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  std::string pattern;
  HostSymbol handler = NoSymbol;
  if (call.argCount < AddRouteRequiredArgs || call.args == nullptr ||
      !stringArgument(values, call.args[1], &pattern) ||
      values->valueToSymbol(&call.args[2], &handler) != StatusOk || handler == NoSymbol) {
    answer(instance, call, false);
    return;
  }
  std::unique_ptr<RouteTable>& routes = instance.held->routes;
  if (!routes) routes = std::make_unique<RouteTable>(values);
  const HostValue* target = call.argCount > AddRouteRequiredArgs ? &call.args[3] : nullptr;
  answer(instance, call, routes->add(pattern, handler, target));
}

void removeRouteFromCall(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  std::string pattern;
  RouteTable* routes = instance.held->routes.get();
  const bool removed = call.argCount >= RemoveRouteRequiredArgs && call.args != nullptr &&
                       routes != nullptr && stringArgument(values, call.args[1], &pattern) &&
                       routes->remove(pattern);
  answer(instance, call, removed);
}

ChosenHandler routeFor(const XtraInstance& instance, const HostValue& head) {
  ChosenHandler chosen;
  const RouteTable* routes = instance.held->routes.get();
  if (routes == nullptr || routes->empty()) return chosen;
  IHostValues* values = instance.valueServices;
  // Bundle markers have a symbol for their head; only messages are routed.
  int32_t kind = KindVoid;
  values->valueType(&head, &kind);
  if (kind != KindString) return chosen;
  const LockedString address(values, head);
  const RouteHandler* route = routes->find(address.text());
  if (route == nullptr) return chosen;
  chosen.routed = true;
  chosen.handler = route->handler;
  chosen.hasTarget = route->hasTarget;
  if (route->hasTarget) chosen.target = OwnedValue::retain(values, route->target.get());
  return chosen;
}

}  // namespace zephyx::xtra
