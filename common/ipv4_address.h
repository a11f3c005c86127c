// IPv4 addresses as scripts and the command line write them.
#pragma once

#include <cstdint>

namespace zephyx {

// Reads a dotted address of four decimal parts ("239.255.0.1") into
// *address, in host byte order. False for anything else: names, the short
// and octal forms, spaces. Nothing is resolved.
bool parseDottedAddress(const char* text, uint32_t* address);

// 224.0.0.0 to 239.255.255.255.
constexpr bool isMulticastAddress(uint32_t address) { return (address >> 28) == 0xE; }

}  // namespace zephyx
