#!/usr/bin/python3
"""Runs a command beside the project's FTP test server on 127.0.0.1.

Usage: with_ftp_server.py FTP_SERVER_PY COMMAND [ARGS...]

The server serves a fresh folder holding "annonces.xml" and "photo1.jpg" to the user
"kalvex" (password "kalvex"); the command gets its port in KALVEX_FTP_PORT. Exits with
the command's status; the server is stopped in every case.
"""

import os
import subprocess
import sys
import tempfile
import time


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    server_script, command = argv[1], argv[2:]
    with tempfile.TemporaryDirectory(prefix="kalvex-smoke-ftp-") as folder:
        root = os.path.join(folder, "root")
        os.mkdir(root)
        for name in ("annonces.xml", "photo1.jpg"):
            with open(os.path.join(root, name), "w") as f:
                f.write(name)
        port_file = os.path.join(folder, "port")
        server = subprocess.Popen(
            [server_script, "--root", root, "--port-file", port_file])
        try:
            deadline = time.monotonic() + 20
            while not os.path.exists(port_file):
                if server.poll() is not None or time.monotonic() > deadline:
                    print("with_ftp_server: the FTP server did not start", file=sys.stderr)
                    return 1
                time.sleep(0.05)
            with open(port_file) as f:
                port = f.read().strip()
            env = dict(os.environ, KALVEX_FTP_PORT=port)
            return subprocess.call(command, env=env)
        finally:
            server.terminate()
            server.wait()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
