#include "xtra/scripting_object.h"

#include "send/argument_encoder.h"
#include "send/destination.h"
#include "send/packet_assembly.h"
#include "send/send_method.h"
#include "xtra/host_version.h"
#include "xtra/instance_lifecycle.h"
#include "xtra/listening_control.h"
#include "xtra/message_table.h"

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::callMethod(MethodCall* call) {
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
    default:
      return StatusOk;
  }
}

const uint8_t* TStdXtra_IMoaMmXScript::byteArrayData(const HostValue& value) {
  return ::byteArrayData(*owner, value);
}

int32_t TStdXtra_IMoaMmXScript::byteArrayLength(const HostValue& value) {
  return ::byteArrayLength(*owner, value);
}

bool TStdXtra_IMoaMmXScript::appendBundleContents(PacketWriter& writer,
                                                  const HostValue& contents) {
  return ::appendBundleContents(*owner, writer, contents);
}

bool TStdXtra_IMoaMmXScript::appendArguments(PacketWriter& writer, const HostValue& container) {
  return ::appendArguments(*owner, writer, container);
}

int32_t TStdXtra_IMoaMmXScript::typeIndexOfSymbol(const HostValue& name) {
  return ::typeIndexOfSymbol(*owner, name);
}

int32_t TStdXtra_IMoaMmXScript::typeIndexOfString(const HostValue& name) {
  return ::typeIndexOfString(*owner, name);
}

// Each method keeps every failure inside: nothing may be thrown at the host.

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::new_(MethodCall* call) {
  try {
    initialiseInstance(*owner, *call);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::forget(MethodCall*) {
  try {
    forgetInstance(*owner);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::setDestination(MethodCall* call) {
  try {
    ::setDestination(*owner, *call);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::send(MethodCall* call) {
  try {
    ::sendMessageOrBundle(*owner, *call);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::startListening(MethodCall* call) {
  try {
    ::startListening(*owner, *call, this);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL TStdXtra_IMoaMmXScript::stopListening(MethodCall*) {
  try {
    ::stopListening(*owner);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL createScriptingObject(void* instance, void** out) {
  if (out == nullptr) return ResultOutOfMemory;
  try {
    auto* owner = static_cast<XtraInstance*>(instance);
    const HostStatus status = createInterfaceObject<TStdXtra_IMoaMmXScript>(owner, out);
    if (status != StatusOk) return status;
    char version[AppVersionBufferSize] = {};
    if (owner->hostAppInfo != nullptr) {
      owner->hostAppInfo->getInfo(AppInfoVersionString, version, AppVersionBufferSize);
    }
    isModernHost = isModernVersion(version, sizeof version);
    return StatusOk;
  } catch (...) {
    *out = nullptr;
    return ResultOutOfMemory;
  }
}
