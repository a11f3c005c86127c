// Lingo `send object me, object messageOrBundle`.
#pragma once

#include "xtra/xtra_instance.h"

// The largest payload of one IPv4 UDP datagram.
constexpr int32_t MaxDatagramSize = 65507;

// Writes the message or bundle into a buffer of the instance's buffer size
// (at most MaxDatagramSize) and sends it to the destination as one
// datagram. The result is 1 when the whole packet was handed to the
// socket, else 0 and nothing is sent. Host thread.
void sendMessageOrBundle(XtraInstance& instance, MethodCall& call);
