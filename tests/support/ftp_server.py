#!/usr/bin/python3
"""A small FTP server for tests and demonstrations, on 127.0.0.1 only.

Built on Debian's python3-pyftpdlib. It binds 127.0.0.1 on an ephemeral port (or the
port given), writes the chosen port number to the port file once it listens, and stops
cleanly on SIGTERM or SIGINT (exit status 0).

Options:
  --root DIR           home folder of the user given with --user/--password
  --user U             user name (default "kalvex")
  --password P         password of that user (default "kalvex")
  --account U:P:DIR    one more user with its own home; may be repeated
  --port N             port to bind (default 0: an ephemeral port)
  --port-file F        file that receives the bound port number (written atomically)
  --command-log F      every command received is appended to F as one line
                       ("NLST", "STOR p1.jpg", "CWD www/pixtrove"); the argument of
                       PASS is never written
  --refuse-login       every login fails with 530
  --echo-password      every login fails with a 530 reply that quotes the password
  --refuse-cwd         every CWD fails with 550, except a CWD back to the login
                       folder ("/"), as when the configured folder does not exist
  --fail-nlst          every NLST fails with 550
  --refuse-stor        every STOR fails with 553
  --stall-stor         every STOR is answered 150 and then left hanging: the data is
                       never read and no final reply comes
  --stall-stor-reply   every STOR is received and stored, but its final reply (226)
                       never comes
  --trickle-stor B     every STOR is read at about B bytes a second
  --full-stor          every STOR fails with 552 (storage allocation exceeded)
  --long-reply N       the 552 of --full-stor is a reply of N lines
  --endless-nlst       NLST sends names for ever, about 10 KB a second
  --huge-nlst C:L      NLST sends C made-up names of L characters each, at full speed
  --closed-pasv        EPSV and PASV name a port where nothing listens
  --refuse-rename      every RNFR fails with 550, as on servers without renaming
  --die-after-bytes N  the server process ends abruptly (killed) once a STOR has
                       received N bytes, leaving what it wrote so far
  --short-stor N       every STOR keeps only its first N bytes, yet is answered 226
  --fault-stall-stor-after-bytes N
                       once a STOR has received at least N bytes (written to the
                       file), its data connection is read no more and no final
                       reply comes; the control connection and new ones still answer
  --tls CERT:KEY       explicit TLS (AUTH TLS) with this certificate and key (PEM
                       files), required before the login and for every data
                       connection (PROT P); needs python3-openssl
  --verbose            pyftpdlib's own log on standard error

Passive mode (EPSV and PASV) answers with 127.0.0.1 and an ephemeral port; active mode
connects to the client's port on 127.0.0.1 only.

Example:
  ftp_server.py --root /tmp/ftp --user u --password p --port-file /tmp/ftp.port &
"""

import argparse
import logging
import os
import signal
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

PERMISSIONS = "elradfmwMT"


def parse_args(argv):
    parser = argparse.ArgumentParser(description="FTP test server on 127.0.0.1")
    parser.add_argument("--root")
    parser.add_argument("--user", default="kalvex")
    parser.add_argument("--password", default="kalvex")
    parser.add_argument("--account", action="append", default=[])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--command-log")
    parser.add_argument("--refuse-login", action="store_true")
    parser.add_argument("--echo-password", action="store_true")
    parser.add_argument("--refuse-cwd", action="store_true")
    parser.add_argument("--fail-nlst", action="store_true")
    parser.add_argument("--refuse-stor", action="store_true")
    parser.add_argument("--stall-stor", action="store_true")
    parser.add_argument("--stall-stor-reply", action="store_true")
    parser.add_argument("--trickle-stor", type=int, default=0)
    parser.add_argument("--full-stor", action="store_true")
    parser.add_argument("--long-reply", type=int, default=0)
    parser.add_argument("--endless-nlst", action="store_true")
    parser.add_argument("--huge-nlst")
    parser.add_argument("--closed-pasv", action="store_true")
    parser.add_argument("--refuse-rename", action="store_true")
    parser.add_argument("--die-after-bytes", type=int, default=0)
    parser.add_argument("--short-stor", type=int, default=0)
    parser.add_argument("--fault-stall-stor-after-bytes", type=int, default=0)
    parser.add_argument("--tls")
    parser.add_argument("--verbose", action="store_true")
    return parser.parse_args(argv)


class DyingFile:
    """A file being stored that ends the whole server once enough bytes arrived."""

    def __init__(self, file, limit):
        self._file = file
        self._limit = limit
        self._count = 0

    def write(self, data):
        written = self._file.write(data)
        self._count += len(data)
        if self._count >= self._limit:
            self._file.flush()
            os._exit(9)
        return written

    def __getattr__(self, name):
        return getattr(self._file, name)


class ShortFile:
    """A file being stored that keeps only its first bytes and drops the rest unseen,
    while the transfer is answered 226 as if it were whole."""

    def __init__(self, file, limit):
        self._file = file
        self._room = limit

    def write(self, data):
        kept = data[: max(self._room, 0)]
        self._room -= len(kept)
        self._file.write(kept)
        return len(data)

    def __getattr__(self, name):
        return getattr(self._file, name)


class TricklingFile:
    """A file being stored that takes its data at about a given rate: the server, which
    serves one client, waits before it reads on."""

    def __init__(self, file, rate):
        self._file = file
        self._rate = rate

    def write(self, data):
        time.sleep(len(data) / self._rate)
        return self._file.write(data)

    def __getattr__(self, name):
        return getattr(self._file, name)


class EndlessNames:
    """An NLST producer that never ends: one name every 10 ms."""

    def __init__(self):
        self._count = 0

    def more(self):
        time.sleep(0.01)
        self._count += 1
        return b"endless-%090d.jpg\r\n" % self._count


class MadeUpNames:
    """An NLST producer of count names of length characters, in large chunks."""

    def __init__(self, count, length):
        self._left = count
        self._length = length
        self._count = 0

    def more(self):
        lines = []
        while self._left > 0 and len(lines) < 20000:
            self._count += 1
            self._left -= 1
            name = b"n%d" % self._count
            lines.append(name + b"x" * max(0, self._length - len(name)) + b"\r\n")
        return b"".join(lines)


def closed_port():
    """A port on 127.0.0.1 where nothing listens (just released)."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_filesystem(options):
    class FileSystem(AbstractedFS):
        def open(self, filename, mode):
            file = super().open(filename, mode)
            if options.die_after_bytes and "w" in mode:
                return DyingFile(file, options.die_after_bytes)
            if options.short_stor and "w" in mode:
                return ShortFile(file, options.short_stor)
            if options.trickle_stor and "w" in mode:
                return TricklingFile(file, options.trickle_stor)
            return file

    return FileSystem


def make_handler(options):
    base = FTPHandler
    if options.tls:
        from pyftpdlib.handlers import TLS_FTPHandler

        base = TLS_FTPHandler

    class Handler(base):
        banner = "Kalvex test FTP server ready."

        def pre_process_command(self, line, cmd, arg):
            if options.command_log:
                text = cmd if cmd == "PASS" or not arg else cmd + " " + arg
                with open(options.command_log, "a", encoding="utf-8") as log:
                    log.write(text + "\n")
            return super().pre_process_command(line, cmd, arg)

        def ftp_PASS(self, line):
            if options.echo_password:
                self.respond("530 Password %s is not right." % line)
                self.username = ""
                return
            if options.refuse_login:
                self.respond("530 Authentication failed.")
                self.username = ""
                return
            return super().ftp_PASS(line)

        def ftp_CWD(self, path):
            if options.refuse_cwd and self.fs.fs2ftp(path) != "/":
                self.respond("550 Folder change refused.")
                return
            return super().ftp_CWD(path)

        def respond(self, resp, logfun=None):
            if getattr(self, "_hold_final_reply", False) and resp.startswith("226"):
                self._hold_final_reply = False
                return
            if logfun is None:
                return super().respond(resp)
            return super().respond(resp, logfun)

        def ftp_NLST(self, path):
            if options.fail_nlst:
                self.respond("550 Name listing refused.")
                return
            if options.endless_nlst:
                self.push_dtp_data(EndlessNames(), isproducer=True, cmd="NLST")
                return path
            if options.huge_nlst:
                count, length = options.huge_nlst.split(":")
                self.push_dtp_data(
                    MadeUpNames(int(count), int(length)), isproducer=True, cmd="NLST")
                return path
            return super().ftp_NLST(path)

        def ftp_EPSV(self, line):
            if options.closed_pasv:
                self.respond("229 Entering extended passive mode (|||%d|)." % closed_port())
                return
            return super().ftp_EPSV(line)

        def ftp_PASV(self, line):
            if options.closed_pasv:
                port = closed_port()
                self.respond("227 Entering passive mode (127,0,0,1,%d,%d)."
                             % (port >> 8, port & 0xFF))
                return
            return super().ftp_PASV(line)

        def ftp_STOR(self, file, mode="w"):
            if options.refuse_stor:
                self.respond("553 Storing refused.")
                return
            if options.full_stor:
                if options.long_reply > 1:
                    self.push("".join("552-Storage allocation exceeded, line %d.\r\n" % n
                                      for n in range(1, options.long_reply)))
                self.respond("552 Exceeded storage allocation.")
                return
            if options.stall_stor_reply:
                self._hold_final_reply = True
            if options.stall_stor:
                self.respond("150 Ready, but never reading.")
                if self.data_channel is not None:
                    # Out of the event loop: kept open, never read, never closed.
                    self.data_channel.del_channel()
                return
            return super().ftp_STOR(file, mode)

        def ftp_RNFR(self, path):
            if options.refuse_rename:
                self.respond("550 Renaming refused.")
                return
            return super().ftp_RNFR(path)

    if options.tls:
        from pyftpdlib.handlers import TLS_DTPHandler

        class DataHandler(TLS_DTPHandler):
            # Clients such as libcurl start TLS on a passive data connection as soon as
            # it is open, before the transfer command: the handshake is answered then,
            # where pyftpdlib would take the early bytes for a client that went away.
            def readable(self):
                return self._ssl_accepting or super().readable()

        Handler.dtp_handler = DataHandler
    elif options.trickle_stor:

        class SmallReads(DTPHandler):
            # Small reads, each waited for, keep the rate even.
            ac_in_buffer_size = 4096

        Handler.dtp_handler = SmallReads

    if options.fault_stall_stor_after_bytes:

        class StallingDataHandler(Handler.dtp_handler):
            # Takes the first bytes of a STOR, then leaves the transfer hanging: out of the
            # event loop, the data connection is kept open, never read, never closed.
            def handle_read(self):
                super().handle_read()
                limit = options.fault_stall_stor_after_bytes
                if self.receive and self.file_obj and self.tot_bytes_received >= limit:
                    self.file_obj.flush()
                    self.del_channel()

            handle_read_event = handle_read  # pyftpdlib's loop calls this name

        Handler.dtp_handler = StallingDataHandler

    # pyftpdlib resolves the path arguments of these commands before calling the
    # methods above; the overrides only change the answers.
    return Handler


def main(argv):
    options = parse_args(argv)
    logging.basicConfig(level=logging.INFO if options.verbose else logging.ERROR)

    authorizer = DummyAuthorizer()
    if options.root:
        authorizer.add_user(options.user, options.password, options.root, perm=PERMISSIONS)
    for account in options.account:
        user, password, home = account.split(":", 2)
        authorizer.add_user(user, password, home, perm=PERMISSIONS)

    handler = make_handler(options)
    handler.abstracted_fs = make_filesystem(options)
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    handler.permit_privileged_ports = False
    handler.auth_failed_timeout = 0  # a wrong password is answered at once
    handler.masquerade_address = None  # passive replies name 127.0.0.1
    if options.tls:
        certificate, key = options.tls.split(":", 1)
        from OpenSSL import SSL

        # TLS 1.2 at most. A TLS 1.3 server sends session tickets after the handshake of
        # every data connection; a client that only uploads never reads them and closes
        # with unread data, so its kernel ends the connection with a reset, and a reset
        # that overtakes the server's reading throws away the end of the file while the
        # server still answers 226. The client's size check catches that; here it
        # would make the TLS tests fail now and then for the fixture's own sake.
        context = SSL.Context(SSL.TLS_METHOD)
        context.set_max_proto_version(SSL.TLS1_2_VERSION)
        context.use_certificate_chain_file(certificate)
        context.use_privatekey_file(key)
        handler.ssl_context = context
        handler.certfile = certificate
        handler.keyfile = key
        handler.tls_control_required = True
        handler.tls_data_required = True

    server = FTPServer(("127.0.0.1", options.port), handler)
    port = server.address[1]
    if options.port_file:
        temporary = options.port_file + ".tmp"
        with open(temporary, "w", encoding="ascii") as f:
            f.write("%d\n" % port)
        os.replace(temporary, options.port_file)

    def stop(signum, frame):
        raise KeyboardInterrupt()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    try:
        server.serve_forever(handle_exit=False)
    except KeyboardInterrupt:
        pass
    finally:
        server.close_all()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
