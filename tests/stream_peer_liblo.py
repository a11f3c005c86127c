#!/usr/bin/python3
# An OSC peer over TCP built on liblo (Debian liblo7, the library of
# python3-liblo and liblo-tools), for the stream interop tests.
#   stream_peer_liblo.py [length|slip] [SECONDS]
# Listens on a TCP port that liblo chooses and prints "port N" first. liblo
# reads either framing on any connection (it tells them apart by the first
# bytes); the first argument is the framing of its answers, "length" by
# default. Each /ping is answered with /pong and the same arguments, and
# /blob N with /blob and a blob of N bytes 0, 1, ... 250, 0, 1, ..., over
# the connection the message came in on. Prints, one line each:
#   PATH TYPES ARGS...        a message (PATH alone when it has no argument)
#   #bundle SSSSSSSS.FFFFFFFF the start of a bundle and its time tag, in hex
#   #end                      the end of that bundle
#   error CODE TEXT           what liblo could not decode
# Arguments: i h as decimals; f d as Python's repr ("440.0", "inf", "nan");
# s S as JSON strings; c as 'A'; b as <01 02 03>; m as [00 90 3c 7f]; t as
# SSSSSSSS.FFFFFFFF; T F N I as true false nil inf. Ends when stdin closes
# or after SECONDS (60 by default).
#
# liblo's C interface through ctypes, not python3-liblo: that module hands
# the handler a copy of the source address made from its URL, without the
# connection, so its server.send opens a new connection to the sender's
# ephemeral port (refused) instead of answering on the one the message came
# in on.
import ctypes
import json
import os
import select
import sys
import time

LO_TCP = 0x4


class Timetag(ctypes.Structure):
    _fields_ = [("sec", ctypes.c_uint32), ("frac", ctypes.c_uint32)]


ErrorHandler = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p)
MethodHandler = ctypes.CFUNCTYPE(
    ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p),
    ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
BundleStart = ctypes.CFUNCTYPE(ctypes.c_int, Timetag, ctypes.c_void_p)
BundleEnd = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)


def load():
    try:
        lo = ctypes.CDLL("liblo.so.7")
    except OSError as error:
        print(f"no liblo library: {error}", flush=True)
        sys.exit(2)
    signatures = {
        "lo_server_new_with_proto": (ctypes.c_void_p, [ctypes.c_char_p, ctypes.c_int, ErrorHandler]),
        "lo_server_get_port": (ctypes.c_int, [ctypes.c_void_p]),
        "lo_server_add_method": (ctypes.c_void_p, [ctypes.c_void_p, ctypes.c_char_p,
                                                  ctypes.c_char_p, MethodHandler, ctypes.c_void_p]),
        "lo_server_add_bundle_handlers": (ctypes.c_int, [ctypes.c_void_p, BundleStart,
                                                         BundleEnd, ctypes.c_void_p]),
        "lo_server_recv_noblock": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_int]),
        "lo_message_get_source": (ctypes.c_void_p, [ctypes.c_void_p]),
        "lo_message_new": (ctypes.c_void_p, []),
        "lo_message_free": (None, [ctypes.c_void_p]),
        "lo_message_add_blob": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_void_p]),
        "lo_blob_new": (ctypes.c_void_p, [ctypes.c_int32, ctypes.c_char_p]),
        "lo_blob_free": (None, [ctypes.c_void_p]),
        "lo_address_set_stream_slip": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_int]),
        "lo_address_errstr": (ctypes.c_char_p, [ctypes.c_void_p]),
        "lo_send_message_from": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_void_p,
                                                ctypes.c_char_p, ctypes.c_void_p]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lo, name)
        function.restype = result
        function.argtypes = arguments
    return lo


def text(value):
    return json.dumps(value.decode("utf-8", "replace"), ensure_ascii=False)


def hex_bytes(data):
    return " ".join(f"{byte:02x}" for byte in data)


def shown(kind, pointer):
    """One argument as printed; liblo hands them over in host byte order."""
    if kind == "i":
        return str(ctypes.c_int32.from_address(pointer).value)
    if kind == "h":
        return str(ctypes.c_int64.from_address(pointer).value)
    if kind == "f":
        return repr(ctypes.c_float.from_address(pointer).value)
    if kind == "d":
        return repr(ctypes.c_double.from_address(pointer).value)
    if kind in "sS":
        return text(ctypes.string_at(pointer))
    if kind == "c":
        return "'" + chr(ctypes.c_uint8.from_address(pointer).value) + "'"
    if kind == "b":
        size = ctypes.c_int32.from_address(pointer).value
        return "<" + hex_bytes(ctypes.string_at(pointer + 4, size)) + ">"
    if kind == "m":
        return "[" + hex_bytes(ctypes.string_at(pointer, 4)) + "]"
    if kind == "t":
        tag = Timetag.from_address(pointer)
        return f"{tag.sec:08x}.{tag.frac:08x}"
    return {"T": "true", "F": "false", "N": "nil", "I": "inf"}.get(kind, "?" + kind)


def main():
    slip = len(sys.argv) > 1 and sys.argv[1] == "slip"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    lo = load()

    @ErrorHandler
    def on_error(code, message, path):
        print(f"error {code} {(message or b'').decode(errors='replace')}", flush=True)

    server = lo.lo_server_new_with_proto(None, LO_TCP, on_error)
    if not server:
        print("no TCP server", flush=True)
        sys.exit(1)

    def answer(message, path, reply):
        source = lo.lo_message_get_source(message)
        # The source address carries the connection; liblo answers on it,
        # length-prefixed unless told otherwise.
        lo.lo_address_set_stream_slip(source, 1 if slip else 0)
        if lo.lo_send_message_from(source, server, path, reply) < 0:
            print(f"answer failed: {lo.lo_address_errstr(source).decode()}", flush=True)

    @MethodHandler
    def on_message(path, types, argv, argc, message, user):
        types = (types or b"").decode()
        words = [path.decode(errors="replace")] + ([types] if types else [])
        words += [shown(kind, argv[index]) for index, kind in enumerate(types)]
        print(" ".join(words), flush=True)
        if path == b"/ping":
            answer(message, b"/pong", message)
        elif path == b"/blob" and types == "i":
            count = ctypes.c_int32.from_address(argv[0]).value
            blob = lo.lo_blob_new(count, bytes(i % 251 for i in range(count)))
            reply = lo.lo_message_new()
            lo.lo_message_add_blob(reply, blob)
            answer(message, b"/blob", reply)
            lo.lo_message_free(reply)
            lo.lo_blob_free(blob)
        return 0

    @BundleStart
    def on_bundle(tag, user):
        print(f"#bundle {tag.sec:08x}.{tag.frac:08x}", flush=True)
        return 0

    @BundleEnd
    def on_bundle_end(user):
        print("#end", flush=True)
        return 0

    lo.lo_server_add_method(server, None, None, on_message, None)
    lo.lo_server_add_bundle_handlers(server, on_bundle, on_bundle_end, None)
    print(f"port {lo.lo_server_get_port(server)}", flush=True)

    end = time.monotonic() + seconds
    stdin = sys.stdin.fileno()
    while time.monotonic() < end:
        # liblo polls its listening socket and every connection itself;
        # stdin is looked at between its short waits.
        while lo.lo_server_recv_noblock(server, 50) > 0:
            pass
        ready, _, _ = select.select([stdin], [], [], 0)
        if ready and not os.read(stdin, 4096):
            return


main()
