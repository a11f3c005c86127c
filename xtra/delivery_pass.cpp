#include "xtra/delivery_pass.h"

#include <optional>

#include "common/interface_ref.h"
#include "common/owned_value.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/peer_conversation.h"
#include "xtra/routing_control.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {

void deliverQueuedItems(TStdXtra_IMoaMmXScript* script, IMoaNotificationClient* client) {
  XtraInstance& instance = *script->owner;
  IHostValues* values = instance.valueServices;
  if (values == nullptr || instance.held.get() == nullptr) return;

  // Released in reverse order when the pass ends; the scripting object
  // last, since it keeps the instance itself alive.
  const auto scriptRef = InterfaceRef<TStdXtra_IMoaMmXScript>::retain(script);
  const auto clientRef = InterfaceRef<IMoaNotificationClient>::retain(client);
  const bool hasTarget = instance.held->hasTarget;
  const OwnedValue target =
      hasTarget ? OwnedValue::retain(values, instance.held->target.get()) : OwnedValue();
  const auto guard = InterfaceRef<IHostCallGuard>::retain(instance.held->callGuard.get());

  CallGuardState state{};
  if (guard) guard->saveCallContext(&state);

  // Items that arrive during the pass wait for the next one, so a flood
  // cannot keep the host thread here.
  size_t budget = instance.held->receiver ? instance.held->receiver->queuedCount() : 0;
  for (; budget > 0; --budget) {
    // Asked anew for every item: a handler may stop, restart or forget the instance.
    InstanceHoldings* held = instance.held.get();
    if (held == nullptr || !held->receiver) break;
    const std::optional<receive::ReceivedItem> item = held->receiver->popItem();
    if (!item) break;
    noteSender(instance, item->sender);
    const ChosenHandler route = routeFor(instance, item->head.get());
    const bool withTarget = route.routed ? route.hasTarget : hasTarget;
    const HostValue args[3] = {route.routed ? route.target.get() : target.get(), item->head.get(),
                               item->body.get()};
    const HostSymbol handler = route.routed ? route.handler : instance.handlerSymbol;
    if (held->scriptContext) {
      held->scriptContext->callHandler(handler, withTarget ? 3 : 2, withTarget ? args : args + 1,
                                       nullptr);
    }
  }

  if (guard) guard->restoreCallContext(&state);
}

}  // namespace zephyx::xtra
