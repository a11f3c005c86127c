#pragma once

#include <cstddef>

namespace zephyx::receive {

// Deepest nesting of bundles that a packet may have; a packet that is itself
// a bundle is at depth 1. As deep as the sending side may nest, and more
// than a 4096-byte datagram can hold; the bound keeps any recursive walk of
// an accepted packet shallow.
constexpr int PacketMaxBundleDepth = 256;

// Takes a received datagram apart without converting anything. True when
// the whole packet is well formed: every bundle, element, address, type tag
// and argument lies inside [data, data + size), array brackets open before
// they close and balance, bundles nest at most PacketMaxBundleDepth deep, and
// oscpack's ReceivedPacket, ReceivedBundle, ReceivedMessage and argument
// accessors accept every part of it without throwing. Only then may the
// datagram be handed to oscpack. Reads no byte outside the datagram and
// throws nothing.
bool isWellFormedPacket(const char* data, std::size_t size);

// Same check, for diagnostics: nullptr when the packet is well formed, else
// a short static text saying what was wrong first.
const char* packetFault(const char* data, std::size_t size);

}  // namespace zephyx::receive
