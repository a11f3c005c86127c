#!/usr/bin/env node
// An OSC peer over TCP built on osc.js (npm "osc", pinned in package.json),
// for the stream interop tests.
//   node oscjs_stream_peer.js [length|slip] [SECONDS]
// Listens on 127.0.0.1, on a port the system chooses, and prints "port N"
// each time it starts listening. Every connection is an osc.TCPSocketPort
// with metadata on. "slip" frames packets as osc.js does, with SLIP;
// "length" (the default) with each packet's size as a big-endian int32 in
// front of it, which this file adds: osc.js without SLIP takes whatever one
// read brings as one packet, and still writes SLIP frames.
// Answers, over the connection the packet came in on:
//   /ping ARGS...  with /pong and the same arguments
//   /bundle ARGS...  with a bundle, time tag 1 (immediately), of /one and
//                  /two, each with the same arguments
//   /blob N        with /blob and a blob of N bytes 0, 1, ... 250, 0, 1, ...
//   /restart [MS]  closes every connection, stops listening for MS
//                  milliseconds (1000 by default), then listens again on the
//                  same port
// Prints, one line each:
//   open N                    connection N (1, 2, ...) accepted
//   close N                   connection N ended
//   PATH TYPES ARGS...        a message (PATH alone when it has no argument)
//   #bundle SSSSSSSS.FFFFFFFF the start of a bundle and its time tag, in hex
//   #end                      the end of that bundle
//   error TEXT                what osc.js or the framing could not decode;
//                             a frame over 8 MiB, or a negative size, also
//                             ends its connection
// Arguments as stream_peer_liblo.py prints them: i h as decimals; f d as
// Python's repr ("440.0", "inf", "nan"); s S as JSON strings; c as 'A'; b as
// <01 02 03>; m as [00 90 3c 7f]; t as SSSSSSSS.FFFFFFFF; T F N I as true
// false nil inf; an array as [ ARGS... ] with [] in TYPES. Ends when stdin
// closes or after SECONDS (60 by default).
"use strict";

const EventEmitter = require("events");
const net = require("net");

let osc;
try {
  osc = require("osc");
} catch (error) {
  console.log(`no osc module: ${error.message} (npm ci in tests/peers)`);
  process.exit(2);
}

const useSLIP = process.argv[2] === "slip";
const seconds = process.argv.length > 3 ? Number(process.argv[3]) : 60;
// The largest SLIP frame osc.js decodes (its 10 MB limit applies to a
// buffer that doubles from 1 KiB), the limit of the length framing too.
const MaxFrame = 8 * 1024 * 1024;

// The socket that osc.TCPSocketPort sees under the length framing: it emits
// one "data" per packet and puts the size in front of what is written.
class LengthFramedSocket extends EventEmitter {
  constructor(socket) {
    super();
    this.socket = socket;
    this.chunks = [];
    this.buffered = 0;
    this.size = undefined;
    socket.on("data", (chunk) => this.receive(chunk));
    socket.on("error", (error) => this.emit("error", error));
    socket.on("close", (hadError) => this.emit("close", hadError));
  }

  // The reads are joined only once the size or the whole packet is there:
  // a large packet comes in many reads.
  receive(chunk) {
    this.chunks.push(chunk);
    this.buffered += chunk.length;
    while (this.buffered >= 4 + (this.size === undefined ? 0 : this.size)) {
      const data = this.chunks.length === 1 ? this.chunks[0] : Buffer.concat(this.chunks);
      this.chunks = [data];
      if (this.size === undefined) {
        this.size = data.readInt32BE(0);
        if (this.size < 0 || this.size > MaxFrame) {
          print(`error frame size ${this.size}`);
          this.socket.destroy();
          return;
        }
        continue;
      }
      // A copy that starts its own buffer: osc.js reads blobs and MIDI
      // words from the start of the underlying buffer, not of the view.
      const packet = new Uint8Array(data.subarray(4, 4 + this.size));
      const rest = data.subarray(4 + this.size);
      this.chunks = rest.length > 0 ? [rest] : [];
      this.buffered = rest.length;
      this.size = undefined;
      this.emit("data", packet);
    }
  }

  write(packet) {
    const size = Buffer.alloc(4);
    size.writeInt32BE(packet.length);
    this.socket.write(Buffer.concat([size, packet]));
  }

  end() {
    this.socket.end();
  }
}

function print(line) {
  process.stdout.write(line + "\n");
}

function hex32(value) {
  return (value >>> 0).toString(16).padStart(8, "0");
}

function hexBytes(bytes) {
  return Array.from(bytes, (byte) => byte.toString(16).padStart(2, "0")).join(" ");
}

// A double as Python's repr writes it: the shortest digits that read back
// to the same value, in positional notation from 1e-4 up to 1e16.
function pythonFloat(value) {
  if (Number.isNaN(value)) return "nan";
  if (value === Infinity) return "inf";
  if (value === -Infinity) return "-inf";
  if (value === 0) return Object.is(value, -0) ? "-0.0" : "0.0";
  const [mantissa, exponentText] = value.toExponential().split("e");
  const exponent = Number(exponentText);
  const sign = value < 0 ? "-" : "";
  const digits = mantissa.replace("-", "").replace(".", "");
  if (exponent < -4 || exponent >= 16) {
    const fraction = digits.length > 1 ? "." + digits.slice(1) : "";
    const exponentSign = exponent < 0 ? "-" : "+";
    return `${sign}${digits[0]}${fraction}e${exponentSign}${String(Math.abs(exponent)).padStart(2, "0")}`;
  }
  if (exponent < 0) return `${sign}0.${"0".repeat(-exponent - 1)}${digits}`;
  const whole = digits.slice(0, exponent + 1).padEnd(exponent + 1, "0");
  return `${sign}${whole}.${digits.slice(exponent + 1) || "0"}`;
}

function shown(arg) {
  const value = arg.value;
  switch (arg.type) {
    case "i":
      return String(value);
    case "h":
      // A Long, or {high, low} where osc.js has none.
      return BigInt.asIntN(64, (BigInt(value.high) << 32n) | BigInt(value.low >>> 0)).toString();
    case "f":
    case "d":
      return pythonFloat(value);
    case "s":
    case "S":
      return JSON.stringify(value);
    case "c":
      return `'${value}'`;
    case "b":
      return `<${hexBytes(value)}>`;
    case "m":
      return `[${hexBytes(value)}]`;
    case "t":
      return `${hex32(value.raw[0])}.${hex32(value.raw[1])}`;
    case "T":
      return "true";
    case "F":
      return "false";
    case "N":
      return "nil";
    case "I":
      return "inf";
    default:
      return `?${arg.type}`;
  }
}

function typesOf(args) {
  return args.map((arg) => (Array.isArray(arg) ? `[${typesOf(arg)}]` : arg.type)).join("");
}

function valuesOf(args) {
  return args.flatMap((arg) => (Array.isArray(arg) ? ["[", ...valuesOf(arg), "]"] : [shown(arg)]));
}

function printPacket(packet) {
  if (packet.address !== undefined) {
    const types = typesOf(packet.args);
    print([packet.address, ...(types ? [types] : []), ...valuesOf(packet.args)].join(" "));
    return;
  }
  print(`#bundle ${hex32(packet.timeTag.raw[0])}.${hex32(packet.timeTag.raw[1])}`);
  packet.packets.forEach(printPacket);
  print("#end");
}

const connections = new Set();
let connectionCount = 0;
let listeningPort = 0;
let restarting = false;

function answer(port, message) {
  switch (message.address) {
    case "/ping":
      port.send({ address: "/pong", args: message.args });
      break;
    case "/bundle":
      port.send({
        timeTag: { raw: [0, 1] },
        packets: [
          { address: "/one", args: message.args },
          { address: "/two", args: message.args },
        ],
      });
      break;
    case "/blob":
      if (message.args.length === 1 && message.args[0].type === "i") {
        const blob = Uint8Array.from({ length: message.args[0].value }, (_, i) => i % 251);
        port.send({ address: "/blob", args: [{ type: "b", value: blob }] });
      }
      break;
    case "/restart": {
      const pause = message.args.length === 1 && message.args[0].type === "i" ? message.args[0].value : 1000;
      restart(pause);
      break;
    }
  }
}

function accept(socket) {
  const number = ++connectionCount;
  connections.add(socket);
  print(`open ${number}`);
  const framed = useSLIP ? socket : new LengthFramedSocket(socket);
  const port = new osc.TCPSocketPort({ socket: framed, useSLIP, metadata: true });
  // A TCPSocketPort SLIP-encodes what it sends whatever useSLIP says; the
  // plain port's encoder leaves the framing to LengthFramedSocket.
  if (!useSLIP) port.encodeOSC = osc.Port.prototype.encodeOSC;
  // "osc" comes with the whole packet, before the "message" of each of its
  // messages: a packet is printed before anything in it is answered.
  port.on("osc", printPacket);
  port.on("message", (message) => answer(port, message));
  let overLimit = false;
  port.on("error", (error) => {
    // A socket's own errors (a reset, a write after the other end left)
    // are told by its "close N".
    if (overLimit || (error && error.code)) return;
    if (error instanceof Uint8Array) {
      // The SLIP decoder's report of a frame over its limit, the frame
      // itself; it then fails every byte that follows, so the connection
      // ends here.
      overLimit = true;
      print(`error SLIP frame over ${MaxFrame} bytes`);
      socket.destroy();
      return;
    }
    print(`error ${(error && error.message) || String(error)}`);
  });
  socket.on("close", () => {
    connections.delete(socket);
    print(`close ${number}`);
  });
}

const server = net.createServer(accept);

function listen(onListening) {
  server.listen(listeningPort, "127.0.0.1", () => {
    listeningPort = server.address().port;
    print(`port ${listeningPort}`);
    if (onListening) onListening();
  });
}

function restart(pause) {
  if (restarting) return;
  restarting = true;
  server.close();
  for (const socket of connections) socket.destroy();
  setTimeout(() => listen(() => (restarting = false)), pause);
}

server.on("error", (error) => {
  print(`error ${error.message}`);
  process.exit(1);
});

listen();
setTimeout(() => process.exit(0), seconds * 1000);
process.stdin.on("end", () => process.exit(0));
process.stdin.on("error", () => process.exit(0));
process.stdin.resume();
