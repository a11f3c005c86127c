// The record of one Lingo object of the Zephyx class.
#pragma once

#include <type_traits>

#include "host/host_app_info.h"
#include "host/host_lists.h"
#include "host/host_notifications.h"
#include "host/host_object_header.h"
#include "host/host_objects.h"
#include "host/host_script_context.h"
#include "host/host_values.h"
#include "host/moa_mm_xscript.h"

namespace zephyx {
struct TypeSymbolTable;
namespace receive {
class ofxOscReceiver;
}  // namespace receive
}  // namespace zephyx

namespace zephyx::xtra {

class RouteTable;

constexpr int32_t DefaultBufferSize = 1024;
constexpr int32_t DefaultDestinationPort = 5500;
constexpr char DefaultDestinationHost[] = "127.0.0.1";
constexpr int32_t DestinationHostSize = 256;

// The host allocates the record with the size the class reports and fills
// it with zeros, so every field starts empty and the record stays trivially
// constructible: what it owns it owns through raw pointers, which `new`,
// `forget` and the two callbacks manage explicitly. Host thread only, except
// where a field says otherwise.
struct XtraInstance {
  HostObjectHeader header;  // the host's; never written here

  // One reference each, from createInstance until destroyInstance.
  IHostAppInfo* hostAppInfo;
  IHostValues* valueServices;
  IHostLists* listServices;
  IHostScriptContextSource* contextSource;
  // From `new` until `forget`.
  IHostScriptContext* scriptContext;
  IHostCallGuard* callGuard;
  IHostObjects* objectServices;
  // Our notification client while it is registered; one reference.
  IMoaNotificationClient* notificationClient;
  IHostNotifications* notificationServices;

  // Made by `new`, destroyed by `forget`. The receiving thread reads the
  // table through the receiver, so `forget` stops the receiver first.
  TypeSymbolTable* typeSymbols;
  receive::ofxOscReceiver* receiver;

  bool listening;
  HostSymbol handlerSymbol;
  bool hasTarget;
  HostValue target;  // one reference while hasTarget

  int32_t bufferSize;
  char destinationHost[DestinationHostSize];
  int32_t destinationPort;

  // The scripting object handed to the host as the refcon of the
  // registration; one reference while registered.
  IMoaMmXScript* notificationRefcon;

  // The sender of the item being delivered, or of the last one delivered:
  // IPv4 address in host byte order and UDP port. Emptied by `forget`.
  bool hasLastSender;
  uint32_t lastSenderAddress;
  int32_t lastSenderPort;

  // Handlers by address pattern, made by the first `addRoute`, destroyed
  // with the targets they hold by `forget`.
  RouteTable* routes;
};

static_assert(std::is_trivial<XtraInstance>::value,
              "the host allocates and zero-fills the record; nothing may construct it");

}  // namespace zephyx::xtra
