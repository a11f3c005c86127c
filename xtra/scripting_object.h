// The scripting interface object: where every Lingo method call arrives.
#pragma once

#include "host/moa_mm_xscript.h"
#include "xtra/interface_object.h"

class PacketWriter;

// Its virtual operations, in slot order: the three of IMoaUnknown,
// callMethod, the six auxiliary operations of the sending side, the six
// Lingo methods in message-table order.
class TStdXtra_IMoaMmXScript final
    : public XtraInterfaceObject<TStdXtra_IMoaMmXScript, IMoaMmXScript> {
 public:
  explicit TStdXtra_IMoaMmXScript(XtraInstance* ownerInstance)
      : XtraInterfaceObject(ownerInstance) {}

  // Runs the method at call->methodIndex; an index outside the table runs
  // nothing. Always returns 0: a method reports to Lingo only through its
  // result.
  HostStatus ZX_CALL callMethod(MethodCall* call) override;

  // The sending side's auxiliary operations (see send/argument_encoder.h).
  virtual const uint8_t* byteArrayData(const HostValue& value);
  virtual int32_t byteArrayLength(const HostValue& value);
  virtual bool appendBundleContents(PacketWriter& writer, const HostValue& contents);
  virtual bool appendArguments(PacketWriter& writer, const HostValue& container);
  virtual int32_t typeIndexOfSymbol(const HostValue& name);
  virtual int32_t typeIndexOfString(const HostValue& name);

  // The Lingo methods. (`new` is a C++ keyword.)
  virtual HostStatus ZX_CALL new_(MethodCall* call);
  virtual HostStatus ZX_CALL forget(MethodCall* call);
  virtual HostStatus ZX_CALL setDestination(MethodCall* call);
  virtual HostStatus ZX_CALL send(MethodCall* call);
  virtual HostStatus ZX_CALL startListening(MethodCall* call);
  virtual HostStatus ZX_CALL stopListening(MethodCall* call);
};

// The creator: also records whether the host is version 11 or later.
HostStatus ZX_CALL createScriptingObject(void* instance, void** out);
