// What a received packet must be before any of it is converted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zephyx::receive {

// Deepest nesting of bundles that a packet may have; a packet that is itself
// a bundle is at depth 1. As deep as the sending side may nest; a 65507-byte
// datagram could nest some 3000 deep, and the bound keeps any recursive walk
// of an accepted packet shallow.
constexpr int PacketMaxBundleDepth = 256;

// The rules of a well-formed packet, one value for each way of breaking
// one; each rule is checked in one place. OSC-strings (the address, the
// type tags, string and symbol arguments) end at their first NUL and are
// padded with zeros to a multiple of four bytes, blobs likewise; a message
// holds exactly the arguments its type tags name. A message may have no
// type tags at all, and an address whose first byte is NUL takes one word
// whatever its other bytes (SuperCollider's integer address).
enum class PacketFault : uint8_t {
  None,
  EmptyPacket,
  PacketSizeNotMultipleOf4,
  PacketTooLarge,
  EmptyMessage,
  AddressNotTerminated,
  AddressPaddingNotZero,
  TypeTagsMissing,
  TypeTagsNotTerminated,
  TypeTagsPaddingNotZero,
  UnknownTypeTag,
  WordArgumentPastEnd,
  TwoWordArgumentPastEnd,
  StringPastEnd,
  StringNotTerminated,
  StringPaddingNotZero,
  BlobSizePastEnd,
  BlobSizeTooLarge,
  BlobDataPastEnd,
  BlobPaddingNotZero,
  ArrayClosedBeforeOpened,
  ArrayNotClosed,
  BytesAfterArguments,
  BundleTooShort,
  BundleTagMissing,
  BundlesTooDeep,
  ElementSizeNotMultipleOf4,
  ElementPastEnd,
};
constexpr int PacketFaultCount = static_cast<int>(PacketFault::ElementPastEnd) + 1;

// A short static text saying what the fault is; "" for None.
const char* faultText(PacketFault fault);

// Takes a received packet apart without converting anything and answers
// the first rule it breaks, or None when it is well formed: then every part
// of it lies inside [data, data + size), array brackets open before they
// close and balance, bundles nest at most PacketMaxBundleDepth deep, and
// oscpack's ReceivedPacket, ReceivedBundle, ReceivedMessage and argument
// accessors accept every part of it without throwing. Only then may the
// packet be handed to oscpack. Reads no byte outside the packet and throws
// nothing.
PacketFault findPacketFault(const char* data, std::size_t size);

inline bool isWellFormedPacket(const char* data, std::size_t size) {
  return findPacketFault(data, size) == PacketFault::None;
}

// For diagnostics: nullptr when the packet is well formed, else the text of
// the first rule it breaks.
inline const char* packetFault(const char* data, std::size_t size) {
  const PacketFault fault = findPacketFault(data, size);
  return fault == PacketFault::None ? nullptr : faultText(fault);
}

}  // namespace zephyx::receive
