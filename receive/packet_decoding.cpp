#include "receive/packet_decoding.h"

#include "osc/OscReceivedElements.h"
#include "receive/bundle_markers.h"
#include "receive/message_conversion.h"
#include "receive/packet_validation.h"

namespace zephyx::receive {
namespace {

// Adds a bundle's items: its elements depth first, between its markers.
// Validation bounds the nesting, so the recursion stays shallow.
bool decodeBundle(const osc::ReceivedBundle& bundle, const ReceiveSettings& settings,
                  const ReceivingServices& services, DatagramItems& items) {
  IHostValues* values = services.values();
  if (!addBundleStart(values, *settings.typeSymbols, bundle.TimeTag(), items)) return false;
  for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element) {
    const bool added =
        element->IsBundle()
            ? decodeBundle(osc::ReceivedBundle(*element), settings, services, items)
            : convertMessage(osc::ReceivedMessage(*element), settings, services, items);
    if (!added) return false;
  }
  return addBundleEnd(values, *settings.typeSymbols, items);
}

}  // namespace

DecodeResult decodePacket(const char* data, size_t size, const ReceiveSettings& settings,
                          const ReceivingServices& services, DatagramItems& items) noexcept {
  if (size == 0 || !isWellFormedPacket(data, size)) return DecodeResult::Malformed;
  if (!services.ready() || settings.typeSymbols == nullptr) return DecodeResult::NotMade;
  bool decoded = false;
  try {
    const osc::ReceivedPacket packet(data, static_cast<osc::osc_bundle_element_size_t>(size));
    decoded = packet.IsBundle()
                  ? decodeBundle(osc::ReceivedBundle(packet), settings, services, items)
                  : convertMessage(osc::ReceivedMessage(packet), settings, services, items);
  } catch (...) {
    // Out of memory; the codec throws nothing for a packet that passed
    // validation.
    decoded = false;
  }
  if (decoded) return DecodeResult::Decoded;
  // Nothing of a packet that could not be converted whole is kept.
  items.giveBack();
  return DecodeResult::NotMade;
}

}  // namespace zephyx::receive
