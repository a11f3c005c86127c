#include "xtra/scripting_object.h"

#include "common/never_throw.h"
#include "send/argument_encoder.h"
#include "send/packet_assembly.h"
#include "send/value_reading.h"
#include "xtra/host_version.h"
#include "xtra/instance_lifecycle.h"
#include "xtra/listening_control.h"
#include "xtra/message_table.h"
#include "xtra/multicast_control.h"
#include "xtra/peer_conversation.h"
#include "xtra/routing_control.h"
#include "xtra/sending_control.h"
#include "xtra/stream_control.h"

namespace zephyx::xtra {
namespace {

// A Lingo method: whatever goes wrong inside stays inside, and the host
// always gets 0.
template <typename Body>
HostStatus runMethod(Body&& body) noexcept {
  neverThrow(std::forward<Body>(body));
  return StatusOk;
}

}  // namespace

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::callMethod(MethodCall* call) noexcept {
  if (call == nullptr) return StatusOk;
  // Compared unsigned, so that negative indices are out of range too.
  switch (static_cast<uint32_t>(call->methodIndex)) {
    case MethodNew:
      return new_(call);
    case MethodForget:
      return forget(call);
    case MethodSetDestination:
      return setDestination(call);
    case MethodSend:
      return send(call);
    case MethodStartListening:
      return startListening(call);
    case MethodStopListening:
      return stopListening(call);
    case MethodLastSender:
      return lastSender(call);
    case MethodReply:
      return reply(call);
    case MethodSendFromListener:
      return sendFromListener(call);
    case MethodAddRoute:
      return addRoute(call);
    case MethodRemoveRoute:
      return removeRoute(call);
    case MethodJoinGroup:
      return joinGroup(call);
    case MethodLeaveGroup:
      return leaveGroup(call);
    case MethodSetMulticast:
      return setMulticast(call);
    case MethodConnectStream:
      return connectStream(call);
    case MethodSendStream:
      return sendStream(call);
    case MethodDisconnectStream:
      return disconnectStream(call);
    default:
      return StatusOk;
  }
}

const uint8_t* TStdXtra_IMoaMmXScript::byteArrayData(const HostValue& value) {
  return send::byteArrayData(sendContextOf(*owner), value);
}

int32_t TStdXtra_IMoaMmXScript::byteArrayLength(const HostValue& value) {
  return send::byteArrayLength(sendContextOf(*owner), value);
}

bool TStdXtra_IMoaMmXScript::appendBundleContents(send::PacketWriter& writer,
                                                  const HostValue& contents) {
  send::appendBundleContents(sendContextOf(*owner), writer, contents);
  return writer.complete();
}

bool TStdXtra_IMoaMmXScript::appendArguments(send::PacketWriter& writer,
                                             const HostValue& container) {
  const send::SendContext context = sendContextOf(*owner);
  const int32_t kind = send::kindOf(context, container);
  if (!send::isArgumentContainer(kind)) return false;
  send::appendArguments(context, writer, container, kind);
  return writer.complete();
}

int32_t TStdXtra_IMoaMmXScript::typeIndexOfSymbol(const HostValue& name) {
  return send::typeIndexOfSymbol(sendContextOf(*owner), name);
}

int32_t TStdXtra_IMoaMmXScript::typeIndexOfString(const HostValue& name) {
  return send::typeIndexOfString(sendContextOf(*owner), name);
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::new_(MethodCall* call) noexcept {
  return runMethod([&] { initialiseInstance(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::forget(MethodCall*) noexcept {
  return runMethod([&] { forgetInstance(*owner); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::setDestination(MethodCall* call) noexcept {
  return runMethod([&] { setDestinationFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::send(MethodCall* call) noexcept {
  return runMethod([&] { sendFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::startListening(MethodCall* call) noexcept {
  return runMethod([&] { startListeningFromCall(*owner, *call, this); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::stopListening(MethodCall*) noexcept {
  return runMethod([&] { endListening(*owner); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::lastSender(MethodCall* call) noexcept {
  return runMethod([&] { lastSenderFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::reply(MethodCall* call) noexcept {
  return runMethod([&] { replyFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::sendFromListener(MethodCall* call) noexcept {
  return runMethod([&] { sendFromListenerFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::addRoute(MethodCall* call) noexcept {
  return runMethod([&] { addRouteFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::removeRoute(MethodCall* call) noexcept {
  return runMethod([&] { removeRouteFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::joinGroup(MethodCall* call) noexcept {
  return runMethod([&] { joinGroupFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::leaveGroup(MethodCall* call) noexcept {
  return runMethod([&] { leaveGroupFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::setMulticast(MethodCall* call) noexcept {
  return runMethod([&] { setMulticastFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::connectStream(MethodCall* call) noexcept {
  return runMethod([&] { connectStreamFromCall(*owner, *call, this); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::sendStream(MethodCall* call) noexcept {
  return runMethod([&] { sendStreamFromCall(*owner, *call); });
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::disconnectStream(MethodCall*) noexcept {
  return runMethod([&] { endStream(*owner); });
}

HostStatus ZX_CALL createScriptingObject(void* instance, void** out) noexcept {
  const HostStatus status = createInterfaceObject<TStdXtra_IMoaMmXScript>(instance, out);
  if (status != StatusOk) return status;
  const XtraInstance& owner = *static_cast<XtraInstance*>(instance);
  char version[AppVersionBufferSize] = {};
  if (owner.hostAppInfo != nullptr) {
    owner.hostAppInfo->getInfo(AppInfoVersionString, version, AppVersionBufferSize);
  }
  isModernHost = isModernVersion(version, sizeof version);
  return StatusOk;
}

}  // namespace zephyx::xtra
