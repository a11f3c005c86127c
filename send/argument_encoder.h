// Writing a Lingo argument container as the arguments of an open OSC message.
#pragma once

#include <cstdint>

#include "send/packet_writer.h"
#include "send/send_context.h"

namespace zephyx::send {

// True for the kinds that hold arguments: a list and a property list.
inline bool isArgumentContainer(int32_t kind) { return kind == KindList || kind == KindPropList; }

// Writes the elements of `container`, whose kind is `kind` (a list or a
// property list), to the message open in `writer`: a list element by
// element, each typed by its Lingo kind; a property list as typed
// arguments, each property name one of the fourteen type names. An
// "array" whose value is no container still writes its brackets, and
// elements of other kinds are passed over. An argument that does not fit
// fails the writer, and nothing more is written. Host thread.
void appendArguments(const SendContext& context, PacketWriter& writer, const HostValue& container,
                     int32_t kind);

// The type index of a name given as a symbol, or -1.
int32_t typeIndexOfSymbol(const SendContext& context, const HostValue& name);
// The type index of a name given as a string, or -1.
int32_t typeIndexOfString(const SendContext& context, const HostValue& name);

// The contents of a byte array, valid while the value lives, or null.
const uint8_t* byteArrayData(const SendContext& context, const HostValue& value);
// Its "length" member, 0 when it has none. Releases all it obtains.
int32_t byteArrayLength(const SendContext& context, const HostValue& value);

}  // namespace zephyx::send
