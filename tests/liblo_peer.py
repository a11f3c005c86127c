#!/usr/bin/python3
# An OSC peer built on liblo (Debian python3-liblo), for the interop tests.
#   liblo_peer.py [SECONDS]
# Listens on a UDP port that liblo chooses and prints "port N" first. Each
# /ping is answered with /pong and the same arguments, sent from the
# server's own port to the port the ping came from; /blob N is answered
# likewise with /blob and a blob of N bytes, 0, 1, ... 250, 0, 1, ... Every
# message received is then printed as "PATH TYPES ARGS... from HOST:PORT". Ends when stdin
# closes or after SECONDS (60 by default).
import os
import select
import sys
import time

try:
    import liblo
except ImportError as error:
    print(f"no liblo module: {error}", flush=True)
    sys.exit(2)


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
    # liblo binds every address; the tests reach it on 127.0.0.1 only.
    server = liblo.Server()
    print(f"port {server.port}", flush=True)

    def on_message(path, args, types, source):
        if path == "/ping":
            # server.send sends from this server's socket; liblo.send would
            # use a fresh socket or whichever server liblo made last.
            server.send(source, "/pong", *args)
        elif path == "/blob" and types == "i":
            server.send(source, "/blob", ("b", [i % 251 for i in range(args[0])]))
        words = [path, types] + [str(arg) for arg in args]
        print(" ".join(words), f"from {source.hostname}:{source.port}", flush=True)

    server.add_method(None, None, on_message)
    end = time.monotonic() + seconds
    watched = [server.fileno(), sys.stdin.fileno()]
    while True:
        left = end - time.monotonic()
        if left <= 0:
            return
        ready, _, _ = select.select(watched, [], [], left)
        if sys.stdin.fileno() in ready and not os.read(sys.stdin.fileno(), 4096):
            return
        if server.fileno() in ready:
            server.recv(0)


main()
