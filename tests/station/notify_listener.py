"""Listens on a datagram socket as the service manager does and logs each notification.

usage: notify_listener.py SOCKET_PATH LOG_PATH [WATCHDOG_SECONDS]
Each "KEY=VALUE" of a datagram becomes one line, prefixed by the seconds since start. With
a watchdog period, a missing keep-alive is judged as the service manager would: once READY=1
has come and no WATCHDOG=1 for that long, "watchdog expired" is logged (once).
"""
import os
import socket
import sys
import time

path, log_path = sys.argv[1], sys.argv[2]
period = float(sys.argv[3]) if len(sys.argv) > 3 else None
if os.path.exists(path):
    os.unlink(path)
sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind(path)
sock.settimeout(0.1)
start = time.monotonic()
last_alive = None
expired = False
with open(log_path, "a", buffering=1) as log:
    log.write("0.0 listening\n")
    while True:
        now = time.monotonic()
        if period and last_alive is not None and not expired and now - last_alive > period:
            log.write("%.1f watchdog expired (no keep-alive for %.1f s)\n" % (now - start, period))
            expired = True
        try:
            data = sock.recv(4096).decode("utf-8", "replace")
        except socket.timeout:
            continue
        for line in data.splitlines():
            if line in ("READY=1", "WATCHDOG=1"):
                last_alive = time.monotonic()
            if line == "STOPPING=1":
                last_alive = None
            log.write("%.1f %s\n" % (time.monotonic() - start, line))
