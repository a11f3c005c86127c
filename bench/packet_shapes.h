// The three packets the side-by-side benchmarks measure, each defined once
// in Lingo notation and once written straight into oscpack's stream; both
// must give the same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "send/send_context.h"

namespace zephyx::bench {

enum Shape { Typed = 0, Floats = 1, Bundle = 2 };
constexpr int ShapeCount = 3;
extern const char* const ShapeNames[ShapeCount];

// The packet as a Lingo value in notation, for the host to parse.
std::string lingoText(int shape);

// Writes the packet with oscpack alone; returns its size.
size_t writeDirect(int shape, char* buffer, size_t capacity);
std::vector<char> directPacket(int shape);

// True when the library encodes `value` to the same bytes as writeDirect.
bool encodesLikeDirect(const send::SendContext& context, const HostValue& value, int shape);

}  // namespace zephyx::bench
