// Writing Lingo messages and bundles as OSC packets.
#pragma once

#include <cstdint>

#include "send/packet_writer.h"
#include "send/send_context.h"

namespace zephyx::send {

// How a Lingo list describes a packet element: the kind of its element 1
// decides (a string: a message; a number: a bundle).
enum class ElementShape { Message, Bundle, Other };

ElementShape shapeOfKind(int32_t firstKind);

// Writes the message ([address, arguments]) or bundle ([time tag,
// contents]) described by `list`, which has `count` elements (at least
// one); `first` is its element 1, of kind `firstKind`. A list of another
// shape writes nothing. A message whose address starts with '#' (receivers
// would take it for a bundle), an argument container or bundle contents of
// the wrong kind, or a part that does not fit fails the writer. Host thread.
void writePacketElement(const SendContext& context, PacketWriter& writer, const HostValue& list,
                        const HostValue& first, int32_t firstKind, int32_t count);

// Writes each message and bundle of `contents` into the bundle open in
// `writer`, passing over items that are no list or are empty. Contents
// that are no list fail the writer. Host thread.
void appendBundleContents(const SendContext& context, PacketWriter& writer,
                          const HostValue& contents);

}  // namespace zephyx::send
