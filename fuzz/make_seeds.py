#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/: OSC datagrams for the receive
fuzzer (first byte: shape, blob form and whether the host runs out of values;
second byte: after how many), OSC messages for the differential fuzzer
against liblo, Lingo notation texts, address
patterns each followed by a NUL and an address, and TCP streams of framed
packets (first byte: framing and pieces). Run it again after changing
it; the files are committed."""
import os
import shutil
import struct

here = os.path.dirname(os.path.abspath(__file__))


def pad(text):
    data = text.encode() + b"\0"
    return data + b"\0" * (-len(data) % 4)


def blob(data):
    return struct.pack(">i", len(data)) + data + b"\0" * (-len(data) % 4)


def message(address, tags, *args):
    return pad(address) + pad("," + tags) + b"".join(args)


def bundle(time_tag, *elements):
    out = pad("#bundle") + struct.pack(">Q", time_tag)
    for element in elements:
        out += struct.pack(">i", len(element)) + element
    return out


i32 = lambda v: struct.pack(">i", v)
f32 = lambda v: struct.pack(">f", v)
f64 = lambda v: struct.pack(">d", v)
u64 = lambda v: struct.pack(">Q", v)

simple = message("/a", "i", i32(1))
every = message("/all", "ifsbTFcdIhmNrtS", i32(-7), f32(0.5), pad("text"), blob(b"A\0B"),
                i32(0xC8), f64(0.25), u64(2**64 - 1), bytes([0, 0x90, 0x3C, 0x7F]),
                bytes([0xFF, 0, 0, 0xFF]), u64(1), pad("symbol"))
datagrams = {
    "address_only": pad("/a/b"),
    "comma_only": message("/x", ""),
    "int32": message("/i", "i", i32(-5)),
    "float32": message("/f", "f", f32(440.0)),
    "string": message("/s", "s", pad("hello")),
    "blob": message("/b", "bi", blob(b"\1\2\3\4\5"), i32(9)),
    "bools_nil_infinitum": message("/t", "TFNI"),
    "char_midi_rgba": message("/c", "cmr", i32(65), bytes([0, 0x90, 0x3C, 0x7F]), i32(-1)),
    "double_int64_time": message("/d", "dht", f64(-2.25), u64(2**53 + 1), u64(0xED1A2B3C80000000)),
    "every_tag": every,
    "arrays": message("/a", "[]i[i[s]]i", i32(1), i32(2), pad("x"), i32(3)),
    "integer_address": i32(7) + pad(",i") + i32(42),
    "bundle_empty": bundle(1),
    "bundle_two": bundle(1, simple, message("/b", "sf", pad("hi"), f32(0.5))),
    "bundle_nested": bundle(0x1234567800000007, bundle(5, simple), simple, bundle(0, bundle(0))),
    # As large as a datagram gets: the largest packet, and a bundle near it.
    "largest_blob": message("/big", "b", blob(bytes(range(256)) * 255 + bytes(208))),
    "large_bundle": bundle(1, *[message("/m", "is", i32(n), pad("x" * 50)) for n in range(900)]),
}
# Messages of the types liblo knows, and malformed ones that a lenient
# reading would take.
liblo_messages = {
    "every_type": message("/all", "ifsbTFcdIhmNtS", i32(-7), f32(0.5), pad("text"),
                          blob(b"A\0B"), i32(0xC8), f64(0.25), u64(2**63 + 5),
                          bytes([0, 0x90, 0x3C, 0x7F]), u64(1), pad("symbol")),
    "empty_blob": message("/b", "bi", blob(b""), i32(3)),
    "long_string": message("/s", "s", pad("a" * 37)),
    "comma_only": message("/x", ""),
    "pad_in_address": bytes.fromhex("2f75004f2c460000"),
    "pad_in_string": bytes.fromhex("2f6100002c7369006162006300000000" "00000001"),
    "pad_in_tags": bytes.fromhex("2f6100002c69696969007800" "00000001000000020000000300000004"),
    "pad_in_blob": bytes.fromhex("2f6100002c6200000000000161ffffff"),
    "bytes_after": bytes.fromhex("2f6100002c69000000000001deadbeef"),
    "large_string": message("/s", "si", pad("s" * 65000), i32(1)),
}
lingo = {
    "integer": "440", "negative": "-2147483648", "float": "0.5", "exponent": "1e-04",
    "infinities": "[INF, -INF, NAN]", "string": '"a \\"b\\" \\\\ \\x00"', "symbol": "#name",
    "spaced_symbol": 'symbol("two words")', "void": "VOID", "list": "[1, 2]", "empty": "[]",
    "proplist": '[#int32: 1, "float32": 0.5]', "empty_proplist": "[:]",
    "bytes": "<bytes 41 00 c8>", "no_bytes": "<bytes>",
    "message": '["/synth/freq", [#float32: 440.0, #int32: 1, #array: [1, "x"]]]',
    "bundle": '[0.5, [["/a", [1]], [1, [["/b", [#blob: <bytes 00>]]]]]]',
}
patterns = {
    "literal": ("/synth/freq", "/synth/freq"),
    "star_part": ("/synth/voice/*/freq", "/synth/voice/12/freq"),
    "sets": ("/[a-c][!0-9]/[-x]", "/b_/-"),
    "alternatives": ("/{foo,bar,}/x{,y}", "/bar/xy"),
    "mixed": ("/a?[!b]*{c,dd}*", "/axyzddq"),
    "empty_parts": ("/*//*", "///"),
    "high_bytes": ("/[\x80-\xff]?", "/\xe9\xff"),
    "stars": ("/" + "*a" * 300, "/" + "a" * 400 + "b"),
    "longest": ("/" + "*a" * 2047 + "*", "/" + "a" * 3000),
}


def length_frame(packet):
    return struct.pack(">i", len(packet)) + packet


def slip_frame(packet):
    return b"\xc0" + packet.replace(b"\xdb", b"\xdb\xdd").replace(b"\xc0", b"\xdb\xdc") + b"\xc0"


# Packets with SLIP's END and ESC inside, as a blob and an int32 carry them.
escaped = message("/e", "bi", blob(b"\xc0\xdb\xdc\xdd"), i32(-0x3f240000))
stream_packets = [simple, escaped, datagrams["bundle_two"], datagrams["every_tag"]]
# Byte 0: bit 0 Slip, bits 1 to 3 the largest piece (1, 2, 3, 5, 16, 257,
# 4096, whole), bits 4 to 7 the seed of the piece sizes.
LENGTH, SLIP = 0, 1
streams = {
    "length_messages": (LENGTH | 2 << 1, b"".join(map(length_frame, stream_packets))),
    "length_empty_frames": (LENGTH | 7 << 1, length_frame(b"") * 2 + length_frame(simple)),
    "length_negative_size": (LENGTH | 0 << 1, length_frame(simple) + i32(-0x80000000) + simple),
    "length_largest_size": (LENGTH | 4 << 1 | 3 << 4, struct.pack(">i", 1024 * 1024) + every),
    "length_partial": (LENGTH | 1 << 1, length_frame(simple) + length_frame(escaped)[:9]),
    "slip_messages": (SLIP | 3 << 1 | 5 << 4, b"".join(map(slip_frame, stream_packets))),
    "slip_empty_frames": (SLIP | 7 << 1, b"\xc0\xc0\xc0" + slip_frame(simple)),
    "slip_damaged": (SLIP | 0 << 1,
                     slip_frame(simple) + b"\xc0/a\xdbx\xc0" + slip_frame(escaped)),
    "slip_escape_then_end": (SLIP | 5 << 1,
                             slip_frame(simple) + b"\xc0\xdb\xc0" + slip_frame(simple)),
    "slip_no_end": (SLIP | 6 << 1, b"\xc0" + bytes(range(256)) * 8),
    # Size bytes and packets, as the round trip cuts them.
    "sized_pieces": (SLIP | 2 << 1 | 9 << 4,
                     b"\x04\xc0\xdb\xc0\xdb\x00\x03abc\xff" + escaped),
}

corpus = os.path.join(here, "corpus")
shutil.rmtree(corpus, ignore_errors=True)
os.makedirs(os.path.join(corpus, "receive"))
os.makedirs(os.path.join(corpus, "lingo"))
os.makedirs(os.path.join(corpus, "liblo_differential"))
os.makedirs(os.path.join(corpus, "address_pattern"))
os.makedirs(os.path.join(corpus, "stream_framing"))
# Byte 0 picks the shape (bit 0: property list), the blob form (bit 1: byte
# arrays) and, with bit 2, a host that runs out of values after as many as
# byte 1 says; the seeds take turns, and the richest ones come in all four
# forms and once running out part-way.
for index, (name, data) in enumerate(datagrams.items()):
    forms = range(4) if name in ("every_tag", "arrays", "blob") else (index % 4,)
    for form in forms:
        with open(os.path.join(corpus, "receive", f"{name}_{form}"), "wb") as out:
            out.write(bytes([form, 0]) + data)
    if name in ("every_tag", "arrays", "bundle_two", "bundle_nested"):
        with open(os.path.join(corpus, "receive", f"{name}_runs_out"), "wb") as out:
            out.write(bytes([4 | (index % 4), 5]) + data)
for name, data in liblo_messages.items():
    with open(os.path.join(corpus, "liblo_differential", name), "wb") as out:
        out.write(data)
for name, text in lingo.items():
    with open(os.path.join(corpus, "lingo", name), "w") as out:
        out.write(text)
for name, (pattern, address) in patterns.items():
    with open(os.path.join(corpus, "address_pattern", name), "wb") as out:
        out.write(pattern.encode("latin-1") + b"\0" + address.encode("latin-1"))
for name, (first, data) in streams.items():
    with open(os.path.join(corpus, "stream_framing", name), "wb") as out:
        out.write(bytes([first]) + data)
