// What the send fuzzers share: a library instance on the stand-in host,
// an oscpack walk of a whole packet, and the check that stops a run.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/host_ids.h"
#include "osc/OscReceivedElements.h"
#include "standin/lingo_object.h"
#include "standin/standin_host.h"
#include "send/send_context.h"
#include "xtra/library_entry_points.h"
#include "xtra/scripting_object.h"
#include "xtra/sending_control.h"

namespace zephyx::fuzzsupport {

inline void require(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  std::fprintf(stderr, "fuzzer: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// One instance of the library's class, made once per fuzzer process.
struct SendWorld {
  standin::StandInHost host;
  std::unique_ptr<standin::LingoObject> object;
  const xtra::XtraInstance* instance = nullptr;
  send::SendContext context{};
  SendWorld() {
    require(host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface),
            "no class");
    object = standin::LingoObject::create(host, hostids::ZephyxClass);
    require(object != nullptr, "no instance");
    instance = static_cast<xtra::TStdXtra_IMoaMmXScript*>(object->script())->owner;
    context = xtra::sendContextOf(*instance);
  }
};

// Reads every part of a packet through oscpack's checked accessors; throws
// what oscpack throws.
inline void walkMessage(const osc::ReceivedMessage& message) {
  for (auto it = message.ArgumentsBegin(); it != message.ArgumentsEnd(); ++it) {
    const void* blob = nullptr;
    osc::osc_bundle_element_size_t blobSize = 0;
    switch (it->TypeTag()) {
      case 'i':
        it->AsInt32();
        break;
      case 'f':
        it->AsFloat();
        break;
      case 'c':
        it->AsChar();
        break;
      case 'r':
        it->AsRgbaColor();
        break;
      case 'm':
        it->AsMidiMessage();
        break;
      case 'h':
        it->AsInt64();
        break;
      case 't':
        it->AsTimeTag();
        break;
      case 'd':
        it->AsDouble();
        break;
      case 's':
        it->AsString();
        break;
      case 'S':
        it->AsSymbol();
        break;
      case 'b':
        it->AsBlob(blob, blobSize);
        break;
      case 'T':
      case 'F':
        it->AsBool();
        break;
      case '[':
        it->ComputeArrayItemCount();
        break;
      case 'N':
      case 'I':
      case ']':
        break;
      default:
        require(false, "unexpected type tag", std::string(1, it->TypeTag()));
    }
  }
}

inline void walkBundle(const osc::ReceivedBundle& bundle) {
  for (auto it = bundle.ElementsBegin(); it != bundle.ElementsEnd(); ++it) {
    if (it->IsBundle()) {
      walkBundle(osc::ReceivedBundle(*it));
    } else {
      walkMessage(osc::ReceivedMessage(*it));
    }
  }
}

inline void walkPacket(const char* data, size_t size) {
  const osc::ReceivedPacket packet(data, static_cast<osc::osc_bundle_element_size_t>(size));
  if (packet.IsBundle()) {
    walkBundle(osc::ReceivedBundle(packet));
  } else {
    walkMessage(osc::ReceivedMessage(packet));
  }
}

}  // namespace zephyx::fuzzsupport
