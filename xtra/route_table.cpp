#include "xtra/route_table.h"

#include <algorithm>
#include <utility>

namespace zephyx::xtra {

bool RouteTable::add(std::string_view pattern, HostSymbol handler, const HostValue* target) {
  std::optional<receive::AddressPattern> compiled = receive::AddressPattern::compile(pattern);
  if (!compiled) return false;
  RouteHandler made;
  made.handler = handler;
  if (target != nullptr) {
    made.target = OwnedValue::retain(values_, *target);
    made.hasTarget = true;
  }
  const auto same = [&](const Route& route) { return route.pattern.text() == pattern; };
  const auto existing = std::find_if(routes_.begin(), routes_.end(), same);
  if (existing == routes_.end()) {
    routes_.push_back(Route{std::move(*compiled), std::move(made)});
  } else {
    existing->handler = std::move(made);
  }
  return true;
}

bool RouteTable::remove(std::string_view pattern) {
  const auto same = [&](const Route& route) { return route.pattern.text() == pattern; };
  const auto found = std::find_if(routes_.begin(), routes_.end(), same);
  if (found == routes_.end()) return false;
  routes_.erase(found);
  return true;
}

const RouteHandler* RouteTable::find(std::string_view address) const {
  for (const Route& route : routes_) {
    if (route.pattern.matches(address)) return &route.handler;
  }
  return nullptr;
}

}  // namespace zephyx::xtra
