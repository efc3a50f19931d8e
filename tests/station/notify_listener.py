"""Listens on a datagram socket as the service manager does and logs each notification.

usage: notify_listener.py SOCKET_PATH LOG_PATH
Each datagram becomes one line per "KEY=VALUE", prefixed by the seconds since start.
"""
import os
import socket
import sys
import time

path, log_path = sys.argv[1], sys.argv[2]
if os.path.exists(path):
    os.unlink(path)
sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind(path)
start = time.monotonic()
with open(log_path, "a", buffering=1) as log:
    log.write("%.1f listening\n" % 0.0)
    while True:
        data = sock.recv(4096).decode("utf-8", "replace")
        for line in data.splitlines():
            log.write("%.1f %s\n" % (time.monotonic() - start, line))
