// The scripting interface object: where every Lingo method call arrives.
#pragma once

#include "host/moa_mm_xscript.h"
#include "xtra/interface_object.h"

namespace zephyx::send {
class PacketWriter;
}  // namespace zephyx::send

namespace zephyx::xtra {

// Its virtual operations, in slot order: the three of IMoaUnknown,
// callMethod, the six auxiliary operations of the sending side, the Lingo
// methods in message-table order (the first six, then the later ones).
class TStdXtra_IMoaMmXScript final
    : public XtraInterfaceObject<TStdXtra_IMoaMmXScript, IMoaMmXScript> {
 public:
  explicit TStdXtra_IMoaMmXScript(XtraInstance* ownerInstance)
      : XtraInterfaceObject(ownerInstance) {}

  // Runs the method at call->methodIndex; an index outside the table runs
  // nothing. Always returns 0: a method reports to Lingo only through its
  // result.
  HostStatus ZX_CALL callMethod(MethodCall* call) noexcept override;

  // The sending side's auxiliary operations (see send/argument_encoder.h
  // and send/packet_assembly.h), for the instance's own services and
  // type symbols; the two that write answer whether the packet is still
  // whole. The host's slot order puts them here (host/moa_mm_xscript.h).
  // Host thread.
  virtual const uint8_t* byteArrayData(const HostValue& value);
  virtual int32_t byteArrayLength(const HostValue& value);
  virtual bool appendBundleContents(send::PacketWriter& writer, const HostValue& contents);
  virtual bool appendArguments(send::PacketWriter& writer, const HostValue& container);
  virtual int32_t typeIndexOfSymbol(const HostValue& name);
  virtual int32_t typeIndexOfString(const HostValue& name);

  // The Lingo methods, each guarded: they always return 0 and answer the
  // script only through the call's result. (`new` is a C++ keyword.)
  virtual HostStatus ZX_CALL new_(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL forget(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL setDestination(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL send(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL startListening(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL stopListening(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL lastSender(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL reply(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL sendFromListener(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL addRoute(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL removeRoute(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL joinGroup(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL leaveGroup(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL setMulticast(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL connectStream(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL sendStream(MethodCall* call) noexcept;
  virtual HostStatus ZX_CALL disconnectStream(MethodCall* call) noexcept;
};

// The creator: also records whether the host is version 11 or later.
HostStatus ZX_CALL createScriptingObject(void* instance, void** out) noexcept;

}  // namespace zephyx::xtra
