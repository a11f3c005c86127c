// The record of one Lingo object of the Zephyx class.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>

#include "common/interface_ref.h"
#include "common/multicast_options.h"
#include "common/owned_value.h"
#include "common/type_symbol_table.h"
#include "host/host_app_info.h"
#include "host/host_lists.h"
#include "host/host_notifications.h"
#include "host/host_object_header.h"
#include "host/host_objects.h"
#include "host/host_script_context.h"
#include "host/host_values.h"
#include "receive/ofx_osc_receiver.h"
#include "receive/received_item.h"
#include "stream/stream_connection.h"
#include "xtra/group_memberships.h"
#include "xtra/in_place.h"
#include "xtra/notification_registration.h"
#include "xtra/route_table.h"

namespace zephyx::xtra {

constexpr int32_t DefaultBufferSize = 1024;
constexpr int32_t DefaultDestinationPort = 5500;
constexpr char DefaultDestinationHost[] = "127.0.0.1";
constexpr int32_t DestinationHostSize = 256;

// What an instance holds from `new` until `forget`, each member giving back
// what it holds when it goes. C++ ends members in the reverse order of
// their declaration, so they are declared in the reverse of the order in
// which they must go: the registration first (the host calls the client no
// more), then the receiver and the stream (their threads read the type
// symbols), then the rest.
struct InstanceHoldings {
  InterfaceRef<IHostScriptContext> scriptContext;
  // The call-guard facet of scriptContext.
  InterfaceRef<IHostCallGuard> callGuard;
  // The sender of the item being delivered, or of the last one delivered.
  std::optional<receive::Sender> lastSender;
  // The handler's target, retained; held while hasTarget.
  bool hasTarget = false;
  OwnedValue target;
  // Handlers by address pattern, made by the first addRoute.
  std::unique_ptr<RouteTable> routes;
  // Multicast: the groups joined, and how datagrams to a group leave.
  GroupMemberships groups;
  MulticastSending multicast;
  std::unique_ptr<TypeSymbolTable> typeSymbols;
  // The TCP stream, made by the first connectStream, with its handler and
  // target; its thread reads the type symbols.
  std::unique_ptr<stream::StreamConnection> stream;
  HostSymbol streamHandler = NoSymbol;
  bool streamHasTarget = false;
  OwnedValue streamTarget;
  // The shape of received arguments, as the last startListening asked;
  // streams take it too.
  bool asPropList = false;
  // Whether lastSender's item came over the stream: a reply goes back there.
  bool lastSenderOnStream = false;
  std::unique_ptr<receive::ofxOscReceiver> receiver;
  // The notification client while the host calls it.
  NotificationRegistration registration;
};

// The host allocates the record with the size the class reports and fills
// it with zeros, and never constructs or destroys it, so the record itself
// stays trivial: the services are plain pointers that the two callbacks take
// and give back, and what `new` makes lives in `held`, built in place by
// createInstance and ended by destroyInstance. Host thread only, except
// where a field says otherwise.
struct XtraInstance {
  HostObjectHeader header;  // the host's; never written here

  // One reference each, from createInstance until destroyInstance.
  IHostAppInfo* hostAppInfo;
  IHostValues* valueServices;
  IHostLists* listServices;
  IHostScriptContextSource* contextSource;
  IHostObjects* objectServices;
  IHostNotifications* notificationServices;

  // True from a successful startListening until stopListening or forget.
  bool listening;
  HostSymbol handlerSymbol;

  int32_t bufferSize;
  char destinationHost[DestinationHostSize];
  int32_t destinationPort;

  // Empty after forget; always built between the two callbacks.
  InPlace<InstanceHoldings> held;
};

static_assert(std::is_trivial<XtraInstance>::value,
              "the host allocates and zero-fills the record; nothing may construct it");

}  // namespace zephyx::xtra
