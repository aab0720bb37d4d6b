#!/usr/bin/python3
"""silent_peers.py SOCKET COUNT SECONDS [READY]: COUNT connections to the
program's single-instance socket that never say anything, held SECONDS; the
file READY is made once they are all made."""
import resource
import socket
import sys
import time

path, count, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, count + 64), hard))
held = []
for _ in range(count):
    peer = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        peer.connect(path)
        held.append(peer)
    except OSError:
        peer.close()
if len(sys.argv) > 4:
    open(sys.argv[4], "w").close()
time.sleep(seconds)
