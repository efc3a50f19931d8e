"""A real FTP server on 127.0.0.1 for the upload tests.

Usage: ftp_test_server.py ROOT
Binds a free port itself and prints "PORT <n>" once it is listening.
Accounts: "station"/"s3cret" may write and delete; "reader"/"r3ad" may only read.
"""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root = sys.argv[1]
    authorizer = DummyAuthorizer()
    authorizer.add_user("station", "s3cret", root, perm="elradfmwMT")
    authorizer.add_user("reader", "r3ad", root, perm="elr")

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0  # answer a wrong password at once
    handler.permit_foreign_addresses = False

    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
