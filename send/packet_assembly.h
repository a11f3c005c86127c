// Writing Lingo messages and bundles as OSC packets.
#pragma once

#include <cstdint>

#include "send/packet_writer.h"
#include "send/send_context.h"

namespace zephyx::send {

// How a Lingo list describes a packet element: its element 1 decides.
enum class ElementShape { Message, Bundle, Other };

ElementShape shapeOfElement(const SendContext& context, const HostValue& list);

// Writes the message ([address, arguments]) or bundle ([time tag,
// contents]) described by `list`, which has `count` elements (at least
// one). A list of another shape writes nothing. A message whose address
// starts with '#' (receivers would take it for a bundle), an argument
// container or bundle contents of the wrong kind fail the packet. Host thread.
void writePacketElement(const SendContext& context, PacketWriter& writer, const HostValue& list,
                        int32_t count);

// Writes each message and bundle of `contents` into the bundle open in
// `writer`, passing over items that are no list or are empty. False when
// `contents` is no list, else the result of the last item that had
// contents of its own (true when none had).
bool appendBundleContents(const SendContext& context, PacketWriter& writer,
                          const HostValue& contents);

}  // namespace zephyx::send
