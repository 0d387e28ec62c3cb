#!/usr/bin/env python3
"""End-to-end benchmark of the exporters at dealer-group scale, against the floor.

    run_bench.py --kalvex PATH [--window-shot PATH] [--work-floor PATH] [--sizes 2000,20000]
                 [--repeat N] [--portals ParuVendu,...] [--photo-sync-vehicles N]
                 [--full-photo-vehicles N] [--work DIR]

For each stock size and each portal whose exporter the tool has (`kalvex
--list-portals`; a tool without that option is asked by running each portal once on a
small stock and looking for the portal files it leaves), it generates the vehicle
data document (make_stock.py, 10 photo links per vehicle) and measures, as separate
processes on this machine only:

- the export in console mode (`kalvex --console PORTAL`), TestFTPPixtrove=0 and
  FlgInfoEquip=1, the portal file going to a loopback FTP server
  (tests/support/ftp_server.py);
- the same export with the status window on Qt's offscreen platform
  (kalvex_window_shot: the window's start-up, the run, the window shown and drawn);
- the floor: `xmllint --noblanks` of the input (parse and serialise) plus `curl -T` of
  its output to the same server, and `xmllint --noout` for the memory of the tree;
- the work floor: the work the exporter's run must do and no implementation can
  leave out, learnt from one more run of the exporter. Every version of every XML file
  the run puts in place is kept (the tool writes a file under a temporary name and
  renames it), and kalvex_work_floor (work_floor.cpp) redoes with libxml2 alone the
  parse of the input, the save of each version of the file saved last, the parse of
  each version the exporter makes by parsing a rewritten text, one log-file append
  (open, write, close) per run-log line, and one check of a missing file per photo
  and thumbnail; plus the same `curl -T`. Its tree is the largest `xmllint --noout`
  of the input and those versions. Text rewrites, record edits and the archive are
  not counted.

Wall time is the shortest of the repeats (the machine may be shared); peak RSS is
each process's own maximum resident set (wait4), the median of the repeats. The
photo-synchronisation row sends every photo and thumbnail of a small stock to an
empty image server (TestFTPPixtrove=1) and compares with curl sending the same files
over one session. The tables are printed in Markdown.
"""

import argparse
import ctypes
import filecmp
import os
import platform
import select
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
FTP_SERVER = os.path.join(ROOT, "tests", "support", "ftp_server.py")
MAKE_STOCK = os.path.join(HERE, "make_stock.py")
SERVER_PYTHON = "/usr/bin/python3"  # Debian's, with python3-pyftpdlib
PORTALS = ["ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"]
USER, PASSWORD = "bench", "bench"
PHOTO_LINKS_PER_VEHICLE = 10
INOTIFY_EVENT = struct.Struct("iIII")  # struct inotify_event, ahead of its name


def run(argv, env=None, stdout=subprocess.DEVNULL, cwd=None):
    """Runs a process; gives (wall seconds, peak RSS in MiB). The peak a process reports
    is at least this script's own peak when it started (the kernel hands the high-water
    mark on through exec), so this script never holds a whole document in memory."""
    start = time.perf_counter()
    process = subprocess.Popen(argv, env=env, stdout=stdout, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL, cwd=cwd)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    err = process.stderr.read().decode("utf-8", "replace")
    process.stderr.close()
    if process.returncode != 0:
        raise RuntimeError("%s a échoué (%d) : %s" % (" ".join(argv), process.returncode,
                                                      err.strip()[-2000:]))
    return elapsed, usage.ru_maxrss / 1024.0


class FtpServer:
    def __init__(self, work):
        self.home = os.path.join(work, "ftp")
        self.images = os.path.join(self.home, "www", "pixtrove")
        port_file = os.path.join(work, "ftp.port")
        os.makedirs(self.images, exist_ok=True)
        if os.path.exists(port_file):  # left by an earlier run in the same --work folder
            os.remove(port_file)
        self.process = subprocess.Popen(
            [SERVER_PYTHON, FTP_SERVER, "--account", "%s:%s:%s" % (USER, PASSWORD, self.home),
             "--port-file", port_file], stdin=subprocess.DEVNULL)
        for _ in range(200):
            if os.path.exists(port_file):
                break
            if self.process.poll() is not None:
                raise RuntimeError("le serveur FTP n'a pas démarré")
            time.sleep(0.05)
        with open(port_file, encoding="ascii") as f:
            self.port = int(f.read().strip())

    def clear(self):
        for entry in os.listdir(self.home):
            path = os.path.join(self.home, entry)
            if os.path.isfile(path):
                os.remove(path)
        shutil.rmtree(self.images)
        os.makedirs(self.images)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=30)


def write_ini(folder, photos, port, check_images):
    sections = ["[Options]", "PathImages=%s" % photos, "URLImages=http://127.0.0.1/pixtrove", "",
                "[Pixtrove]", "ServeurFTP=127.0.0.1:%d" % port, "User=%s" % USER,
                "PassWord=%s" % PASSWORD, "PathFTP=www/pixtrove", ""]
    for portal in PORTALS:
        sections += ["[%s]" % portal.upper(), "ServeurFTP=127.0.0.1:%d" % port,
                     "User=%s" % USER, "PassWord=%s" % PASSWORD, "PathFTP=",
                     "TestFTPPixtrove=%d" % (1 if check_images else 0), "FlgInfoEquip=1", ""]
    with open(os.path.join(folder, "Kalvex.ini"), "w", encoding="utf-8") as f:
        f.write("\n".join(sections))


class Setup:
    """A Windir, a photo folder and a Kalvex.ini beside a copy of the tool."""

    def __init__(self, work, kalvex, window_shot, server, check_images=False):
        self.windir = os.path.join(work, "windows")
        self.working = os.path.join(self.windir, "TEMP", "Kalvex")
        self.photos = os.path.join(work, "photos")
        self.bin = os.path.join(work, "bin")
        for folder in (self.working, self.photos, self.bin):
            os.makedirs(folder, exist_ok=True)
        self.kalvex = os.path.join(self.bin, "kalvex")
        shutil.copy2(kalvex, self.kalvex)
        self.window_shot = window_shot
        self.server = server
        write_ini(self.bin, self.photos, server.port, check_images)
        self.env = dict(os.environ, Windir=self.windir, QT_QPA_PLATFORM="offscreen")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def clean_outputs(self, keep):
        for entry in os.listdir(self.working):
            path = os.path.join(self.working, entry)
            if entry != keep:
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        self.server.clear()

    def console(self, portal):
        return run([self.kalvex, "--console", portal], env=self.env)

    def window(self, portal, shot):
        return run([self.window_shot, shot, "--ini-folder", self.bin, portal], env=self.env)


def make_stock(portal, vehicles, path, photos_per_vehicle=PHOTO_LINKS_PER_VEHICLE):
    subprocess.run([sys.executable, MAKE_STOCK, portal, str(vehicles), path,
                    "--photos-per-vehicle", str(photos_per_vehicle)], check=True)


def exporters(setup):
    """The portals the tool has an exporter for."""
    listed = subprocess.run([setup.kalvex, "--console", "--list-portals"], env=setup.env,
                            stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
    names = {p.upper(): p for p in PORTALS}
    if listed.returncode == 0 and listed.stdout.strip():
        return [names[line.strip().upper()] for line in listed.stdout.splitlines()
                if line.strip().upper() in names]
    # An older tool: a portal without exporter leaves nothing but its input.
    found = []
    for portal in PORTALS:
        document = "ExpDatas%s.xml" % portal
        setup.clean_outputs(None)
        make_stock(portal, 3, os.path.join(setup.working, document))
        try:
            setup.console(portal)
        except RuntimeError:
            pass
        if [e for e in os.listdir(setup.working) if e != document]:
            found.append(portal)
    setup.clean_outputs(None)
    return found


def best_run(repeat, before, measure):
    """The shortest time of the repeats (the least disturbed by other work on the
    machine) and the median peak RSS."""
    times, rss = [], []
    for _ in range(repeat):
        before()
        t, r = measure()
        times.append(t)
        rss.append(r)
    return min(times), statistics.median(rss)


def floor(setup, document, repeat, scratch):
    out = os.path.join(scratch, "floor.xml")

    def noblanks():
        with open(out, "wb") as f:
            return run(["xmllint", "--noblanks", document], stdout=f)

    def upload():
        return run(["curl", "-s", "--ftp-port", "127.0.0.1", "--user", "%s:%s" % (USER, PASSWORD),
                    "-T", out, "ftp://127.0.0.1:%d/" % setup.server.port])

    t_parse, _ = best_run(repeat, lambda: None, noblanks)
    t_send, _ = best_run(repeat, lambda: None, upload)
    _, tree = best_run(repeat, lambda: None, lambda: run(["xmllint", "--noout", document]))
    os.remove(out)
    return t_parse + t_send, tree, t_send


# Versions of the file saved last that the exporter makes by parsing a rewritten text,
# counted from 1; None when it parses nothing but the input. ParuVendu saves the
# parse of its renamed text; the others save the edited document, then the document
# without its link record sets (the parse of its own text gives the same tree), and
# parse each rewritten text from the third version on.
PARSED_VERSIONS_FROM = {"ParuVendu": 1, "AutoScout24": None, "SitAutoPro": 3,
                        "TopAnnonces": 3, "LeBonCoin": 3, "InfoPress": 3}
IN_MOVED_TO = 0x80


class SaveCapture:
    """Keeps a copy of every version of every XML file put in place in a folder by
    renaming, in the order they come. The file is opened as soon as its rename is
    seen, so a later version renamed over it cannot change what is copied."""

    def __init__(self, folder, into):
        self.folder, self.into, self.versions = folder, into, []
        os.makedirs(into, exist_ok=True)
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, folder.encode(), IN_MOVED_TO) < 0:
            raise OSError(ctypes.get_errno(), "inotify : %s" % folder)
        self.stopping, self.failure = False, None
        self.thread = threading.Thread(target=self._watch)
        self.thread.start()

    def _watch(self):
        try:
            self._copy_versions()
        except OSError as e:  # raised again by stop()
            self.failure = e

    def _copy_versions(self):
        while True:
            ready, _, _ = select.select([self.fd], [], [], 0.05)
            if not ready:
                if self.stopping:
                    return
                continue
            data = os.read(self.fd, 65536)
            at = 0
            while at < len(data):
                _, mask, _, length = INOTIFY_EVENT.unpack_from(data, at)
                name = data[at + INOTIFY_EVENT.size:at + INOTIFY_EVENT.size + length]
                at += INOTIFY_EVENT.size + length
                name = name.rstrip(b"\0").decode()
                if mask & IN_MOVED_TO and name.lower().endswith(".xml"):
                    with open(os.path.join(self.folder, name), "rb") as source:
                        copy = os.path.join(self.into, "%03d-%s" % (len(self.versions), name))
                        with open(copy, "wb") as target:
                            shutil.copyfileobj(source, target, 1 << 20)
                    self.versions.append((name, copy))

    def stop(self):
        self.stopping = True
        self.thread.join()
        os.close(self.fd)
        if self.failure:
            raise RuntimeError("copie des fichiers enregistrés : %s" % self.failure)


def work_floor(setup, portal, document, vehicles, repeat, work, t_send, work_floor_tool):
    """The work floor of an exporter: time and tree (see the module's comment)."""
    captured = os.path.join(work, "captured")
    shutil.rmtree(captured, ignore_errors=True)
    setup.clean_outputs(document)
    capture = SaveCapture(setup.working, captured)
    memo = os.path.join(work, "memo.txt")
    try:
        with open(memo, "wb") as out:
            run([setup.kalvex, "--console", portal], env=setup.env, stdout=out)
    finally:
        capture.stop()
    # Counted by grep: the "Result : " line holds the whole result, and this process's
    # own peak memory would be handed on to the processes it starts and measures.
    counted = subprocess.run(["grep", "-c", "-a", "^-> .", memo], capture_output=True, text=True)
    log_lines = int(counted.stdout.strip() or 0)
    os.remove(memo)
    names = [name for name, _ in capture.versions]
    if not names:
        raise RuntimeError("%s n'a enregistré aucun fichier XML" % portal)
    last = max(names, key=names.count)
    versions = [copy for name, copy in capture.versions if name == last]
    if not filecmp.cmp(os.path.join(setup.working, last), versions[-1], shallow=False):
        raise RuntimeError("la copie de %s ne rend pas le fichier final" % last)
    start = PARSED_VERSIONS_FROM[portal]
    parsed = versions[start - 1:] if start else []
    argv = [work_floor_tool, "--scratch", work, "--parse", os.path.join(setup.working, document)]
    for version in versions:
        argv += ["--save", version]
    for version in parsed:
        argv += ["--parse", version]
    photos_and_thumbnails = 2 * vehicles * PHOTO_LINKS_PER_VEHICLE
    argv += ["--log-lines", str(log_lines), "--missing", str(photos_and_thumbnails)]
    timed = []
    for _ in range(repeat):
        out = subprocess.run(argv, check=True, capture_output=True, text=True,
                             stdin=subprocess.DEVNULL)
        timed.append(float(out.stdout.strip()))
    tree = max(run(["xmllint", "--noout", path])[1]
               for path in [os.path.join(setup.working, document)] + versions)
    shutil.rmtree(captured, ignore_errors=True)
    return min(timed) + t_send, tree


def photo_sync(work, kalvex, server, vehicles, repeat):
    """kalvex sending every photo and thumbnail of a stock vs curl over one session."""
    setup = Setup(os.path.join(work, "photos-run"), kalvex, None, server, check_images=True)
    document = "ExpDatasParuVendu.xml"
    make_stock("ParuVendu", vehicles, os.path.join(setup.working, document))
    files = []
    filler = bytes(range(256)) * 100
    for v in range(vehicles):
        for p in range(1, 11):
            for suffix, size in ((".jpg", 24000), ("m.jpg", 3000)):
                path = os.path.join(setup.photos, "vo%d_%d%s" % (100001 + v, p, suffix))
                with open(path, "wb") as f:
                    f.write(b"%d/%d" % (v, p) + filler[:size])
                files.append(path)
    config = os.path.join(work, "curl.conf")
    with open(config, "w", encoding="utf-8") as f:
        f.write('user = "%s:%s"\nftp-port = "127.0.0.1"\nsilent\n' % (USER, PASSWORD))
        for path in files:
            f.write('upload-file = "%s"\nurl = "ftp://127.0.0.1:%d/www/pixtrove/"\n'
                    % (path, server.port))
    t_kalvex, _ = best_run(repeat, lambda: setup.clean_outputs(document),
                             lambda: setup.console("ParuVendu"))
    sent = len(os.listdir(server.images))
    if sent != len(files):
        raise RuntimeError("kalvex a envoyé %d fichiers sur %d" % (sent, len(files)))
    t_curl, _ = best_run(repeat, server.clear, lambda: run(["curl", "--config", config]))
    return len(files), t_kalvex, t_curl


def full_photo_folder(work, kalvex, server, vehicles, repeat):
    """AutoScout24 with every photo and thumbnail of its stock in the photo folder, as at a
    dealer's: it removes the staging folder of the run before, then copies each photo
    into it for the archive. Against the floor and the same with rm and cp: removing the
    copies of the time before, then cp of the same photos into one folder. Both are
    timed after a first run left its files: creating files just after removing as many
    is slower on some file systems (ext4 passes over inodes freed less than a minute
    before), and a dealer's run always does it."""
    setup = Setup(os.path.join(work, "full-photos"), kalvex, None, server)
    document = "ExpDatasAutoScout24.xml"
    path = os.path.join(setup.working, document)
    make_stock("AutoScout24", vehicles, path)
    for v in range(vehicles):
        for p in range(1, 11):
            for suffix in (".jpg", "m.jpg"):
                name = "vo%d_%d%s" % (100001 + v, p, suffix)
                with open(os.path.join(setup.photos, name), "wb") as f:
                    f.write(b"JPEG " + name.encode() + bytes(range(256)) * 8)
    floor_time, _, _ = floor(setup, path, repeat, work)
    copies = os.path.join(work, "copies")
    copy = ["sh", "-c", 'rm -rf "$1" && mkdir "$1" && find "$2" -name "*.jpg" ! -name "*m.jpg" '
            '-exec cp -t "$1" {} +', "copy", copies, setup.photos]
    run(copy)  # leaves copies for the first timed run to remove
    t_cp, _ = best_run(repeat, lambda: None, lambda: run(copy))
    shutil.rmtree(copies, ignore_errors=True)
    setup.console("AutoScout24")  # leaves a staging folder for the first timed run to remove
    t, rss = best_run(repeat, lambda: setup.clean_outputs(document),
                      lambda: setup.console("AutoScout24"))
    staged = os.path.join(setup.windir, "TEMP", "AS24")
    count = len([e for e in os.listdir(staged) if e.endswith(".jpg")]) if os.path.isdir(
        staged) else 0
    if count != vehicles * 10:
        raise RuntimeError("kalvex a copié %d photos sur %d" % (count, vehicles * 10))
    shutil.rmtree(os.path.join(work, "full-photos"), ignore_errors=True)
    return count, t, floor_time, t_cp, rss


def machine():
    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2 ** 30
    system = platform.platform()
    try:
        with open("/etc/os-release", encoding="utf-8") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    system = line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    return "%s, %d cores, %.0f GiB, %s" % (cpu, os.cpu_count(), memory, system)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kalvex", required=True)
    parser.add_argument("--window-shot")
    parser.add_argument("--work-floor", help="kalvex_work_floor; without it, no work floor")
    parser.add_argument("--sizes", default="2000,20000")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--portals", default=",".join(PORTALS))
    parser.add_argument("--photo-sync-vehicles", type=int, default=200)
    parser.add_argument("--full-photo-vehicles", type=int, default=0)
    parser.add_argument("--work")
    options = parser.parse_args(argv)
    sizes = [int(s) for s in options.sizes.split(",")]
    wanted = [p for p in options.portals.split(",") if p]

    work = options.work or tempfile.mkdtemp(prefix="kalvex-bench-")
    os.makedirs(work, exist_ok=True)
    server = FtpServer(work)
    try:
        setup = Setup(os.path.join(work, "run"), options.kalvex, options.window_shot, server)
        portals = [p for p in exporters(setup) if p in wanted]
        print("Machine : %s" % machine())
        print("Exporters : %s" % (", ".join(portals) or "aucun"))
        print()
        print("| Exporter | Front end | Vehicles | Time (s) | Floor (s) | × floor "
              "| Work floor (s) | × work floor | 20k/2k | Peak RSS (MB) | Tree floor (MB) "
              "| × tree | Work tree (MB) | × work tree | × console (time, RSS) |")
        print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|")
        sys.stdout.flush()
        for portal in portals:
            document = "ExpDatas%s.xml" % portal
            console_times = {}
            for vehicles in sizes:
                setup.clean_outputs(None)
                path = os.path.join(setup.working, document)
                make_stock(portal, vehicles, path)
                floor_time, tree, t_send = floor(setup, path, options.repeat, work)
                work_time, work_tree = float("nan"), float("nan")
                if options.work_floor:
                    work_time, work_tree = work_floor(setup, portal, document, vehicles,
                                                      options.repeat, work, t_send,
                                                      options.work_floor)
                t, rss = best_run(options.repeat, lambda: setup.clean_outputs(document),
                                    lambda: setup.console(portal))
                console_times[vehicles] = t
                scaling = ""
                if vehicles == sizes[-1] and len(sizes) > 1:
                    scaling = "%.1f" % (t / console_times[sizes[0]])
                print("| %s | console | %d | %.2f | %.2f | %.1f | %.2f | %.1f | %s | %.0f | %.0f "
                      "| %.2f | %.0f | %.2f | |" % (
                          portal, vehicles, t, floor_time, t / floor_time, work_time,
                          t / work_time, scaling, rss, tree, rss / tree, work_tree,
                          rss / work_tree))
                sys.stdout.flush()
                if options.window_shot:
                    shot = os.path.join(work, "window.png")
                    tw, rw = best_run(options.repeat, lambda: setup.clean_outputs(document),
                                        lambda: setup.window(portal, shot))
                    print("| %s | window | %d | %.2f | %.2f | %.1f | %.2f | %.1f | | %.0f | %.0f "
                          "| %.2f | %.0f | %.2f | %.2f, %.2f |" % (
                              portal, vehicles, tw, floor_time, tw / floor_time, work_time,
                              tw / work_time, rw, tree, rw / tree, work_tree, rw / work_tree,
                              tw / t, rw / rss))
                    sys.stdout.flush()
                os.remove(path)
        if options.photo_sync_vehicles > 0:
            files, t_kalvex, t_curl = photo_sync(work, options.kalvex, server,
                                                 options.photo_sync_vehicles, options.repeat)
            print()
            print("| Photo synchronisation | Files | kalvex (s) | curl, one session (s) | × curl |")
            print("|---|---:|---:|---:|---:|")
            print("| %d vehicles, TestFTPPixtrove=1, empty image server | %d | %.2f | %.2f "
                  "| %.2f |" % (options.photo_sync_vehicles, files, t_kalvex, t_curl,
                                t_kalvex / t_curl))
        if options.full_photo_vehicles > 0:
            count, t, floor_time, t_cp, rss = full_photo_folder(
                work, options.kalvex, server, options.full_photo_vehicles, options.repeat)
            print()
            print("| AutoScout24, full photo folder | Vehicles | Photos copied | Time (s) "
                  "| Floor (s) | rm and cp of the photos (s) | × (floor + rm, cp) "
                  "| Peak RSS (MB) |")
            print("|---|---:|---:|---:|---:|---:|---:|---:|")
            print("| console | %d | %d | %.2f | %.2f | %.2f | %.1f | %.0f |" % (
                options.full_photo_vehicles, count, t, floor_time, t_cp,
                t / (floor_time + t_cp), rss))
    finally:
        server.stop()
        if not options.work:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
