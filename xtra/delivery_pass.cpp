#include "xtra/delivery_pass.h"

#include <optional>

#include "common/interface_ref.h"
#include "common/owned_value.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/peer_conversation.h"
#include "xtra/routing_control.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {

namespace {

// Where a pass takes items from: the listening socket's queue, then the
// stream's. Each names the handler its items go to when no route takes one.
enum class Source { Datagrams, Stream };

size_t queuedIn(const InstanceHoldings& held, Source source) {
  if (source == Source::Datagrams) return held.receiver ? held.receiver->queuedCount() : 0;
  return held.stream ? held.stream->queuedCount() : 0;
}

std::optional<receive::ReceivedItem> popFrom(InstanceHoldings& held, Source source) {
  if (source == Source::Datagrams) {
    return held.receiver ? held.receiver->popItem() : std::nullopt;
  }
  return held.stream ? held.stream->popItem() : std::nullopt;
}

}  // namespace

void deliverQueuedItems(TStdXtra_IMoaMmXScript* script, IMoaNotificationClient* client) {
  XtraInstance& instance = *script->owner;
  IHostValues* values = instance.valueServices;
  if (values == nullptr || instance.held.get() == nullptr) return;

  // Released in reverse order when the pass ends; the scripting object
  // last, since it keeps the instance itself alive.
  const auto scriptRef = InterfaceRef<TStdXtra_IMoaMmXScript>::retain(script);
  const auto clientRef = InterfaceRef<IMoaNotificationClient>::retain(client);
  const auto guard = InterfaceRef<IHostCallGuard>::retain(instance.held->callGuard.get());

  CallGuardState state{};
  if (guard) guard->saveCallContext(&state);

  for (const Source source : {Source::Datagrams, Source::Stream}) {
    if (instance.held.get() == nullptr) break;
    const bool onStream = source == Source::Stream;
    // The target as the pass begins, held for the pass, so that a handler
    // may stop, restart or forget the instance; the handler as each item
    // comes, so that a restart hands the rest of the pass to the new one.
    const bool hasTarget = onStream ? instance.held->streamHasTarget : instance.held->hasTarget;
    const OwnedValue target =
        hasTarget ? OwnedValue::retain(values, onStream ? instance.held->streamTarget.get()
                                                        : instance.held->target.get())
                  : OwnedValue();
    // Items that arrive during the pass wait for the next one, so a flood
    // cannot keep the host thread here.
    for (size_t budget = queuedIn(*instance.held, source); budget > 0; --budget) {
      // Asked anew for every item: a handler may stop, restart or forget the instance.
      InstanceHoldings* held = instance.held.get();
      if (held == nullptr) break;
      const std::optional<receive::ReceivedItem> item = popFrom(*held, source);
      if (!item) break;
      noteSender(instance, item->sender, onStream);
      const HostSymbol handler = onStream ? held->streamHandler : instance.handlerSymbol;
      const ChosenHandler route = routeFor(instance, item->head.get());
      const bool withTarget = route.routed ? route.hasTarget : hasTarget;
      const HostValue args[3] = {route.routed ? route.target.get() : target.get(), item->head.get(),
                                 item->body.get()};
      if (held->scriptContext) {
        held->scriptContext->callHandler(route.routed ? route.handler : handler, withTarget ? 3 : 2,
                                         withTarget ? args : args + 1, nullptr);
      }
    }
  }

  if (guard) guard->restoreCallContext(&state);
}

}  // namespace zephyx::xtra
