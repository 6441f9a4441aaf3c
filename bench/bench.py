#!/usr/bin/env python3
"""KorProg benchmarks: the built programs as processes, korvansim as the unit
on a pseudo-terminal. Prints a table of ratios and writes it as Markdown.

    bench/bench.py [--build DIR] [--out FILE] [--quick] [--only NAME,...]

Benchmarks (names for --only): transfer, readback, packs, upgrade, paced, idle, window, line
(the production line, bench_line.py), net (units through ser2net, bench_net.py).
--quick skips the paced upgrade (about two minutes per run, --paced-runs).
"""

import argparse
import datetime
import os
import re
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

IMAGE_SIZE = 100 * 1024
BAUD = 9600
LINE_BYTES_PER_S = BAUD / 10  # 8N1: start bit, 8 data bits, stop bit
PACKET = 132  # SOH, number, its complement, 128 data bytes, checksum
IDLE_S = 30
REPEATS = 3
USER_DIR = "Ombrix/Korvan Tools/Programmer"
# Outside tools per benchmark, with the Debian package that has each.
LRZSZ = [("sx", "lrzsz"), ("rx", "lrzsz")]
TOOLS = {"upgrade": LRZSZ, "paced": LRZSZ,
         "window": [("Xvfb", "xvfb"), ("xev", "x11-utils"), ("stdbuf", "coreutils")],
         "net": [("ser2net", "ser2net")]}


class Bench:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.rows = []
        self.loads = []  # (benchmark, 1-minute load average at its start)
        self.cpu0 = cpu_times()

    def exe(self, name):
        path = os.path.join(self.build, name)
        if not os.access(path, os.X_OK):
            sys.exit(f"bench: {path} is missing; build first (cmake --build {self.build})")
        return path

    # ---- processes ----

    def workdir(self):
        d = tempfile.mkdtemp(prefix="korbench-")
        os.makedirs(os.path.join(d, USER_DIR, "RevPacks"))
        return d

    def env(self, d, display=None):
        e = dict(os.environ)
        e.update(KORPROG_DATA_DIR=d, XDG_RUNTIME_DIR=d)
        e.pop("KORPROG_TRACE_STDERR", None)
        if display:
            e["DISPLAY"] = display
            e.pop("KORPROG_HEADLESS", None)
        else:
            e.pop("DISPLAY", None)
            e["KORPROG_HEADLESS"] = "1"
        return e

    def start_sim(self, d, *args):
        write_settings(os.path.join(d, "unit.adn"), "oud")
        log = open(os.path.join(d, "sim.log"), "w")
        sim = subprocess.Popen(
            [self.exe("korvansim"), "--adn", os.path.join(d, "unit.adn"), "--image",
             os.path.join(d, "image.bin"), *args],
            stdout=subprocess.PIPE, stderr=log, text=True)
        device = sim.stdout.readline().strip()
        if not device:
            sys.exit("bench: korvansim did not start")
        # The program reads its preferences in the user's directory.
        with open(os.path.join(d, USER_DIR, "config.ini"), "w") as f:
            f.write(f"comport={device}\n")
        return sim

    def run(self, d, argv, timeout, display=None):
        t0 = time.monotonic()
        p = subprocess.run(argv, cwd=d, env=self.env(d, display), capture_output=True, text=True,
                           timeout=timeout)
        return p, time.monotonic() - t0

    def scripted_user(self, last, timeout, *sim_args):
        """korbench_transfer against the simulator: the seconds of each step
        it reports, up to `last`."""
        d = self.workdir()
        sim = self.start_sim(d, *sim_args)
        p, _ = self.run(d, [self.exe("korbench_transfer")], timeout)
        stop(sim)
        m = {k: float(v) / 1000 for k, v in re.findall(r"^(\w+)_ms=([\d.]+)$", p.stdout, re.M)}
        if p.returncode != 0 or last not in m:
            sys.exit(f"bench: korbench_transfer failed ({p.returncode}):\n{p.stdout}{p.stderr}")
        cleanup(d)
        return m

    # ---- benchmarks ----

    def transfer(self):
        """Ophalen then Programmeren of 200 entries, unpaced, through the
        program with a scripted user; and korprog -program alone."""
        down, up, program = [], [], []
        for _ in range(REPEATS):
            m = self.scripted_user("upload", 60)
            down.append(m["download"])
            up.append(m["upload"])

            d = self.workdir()
            sim = self.start_sim(d)
            write_settings(os.path.join(d, "new.adn"), "Nieuw")
            p, wall = self.run(d, [self.exe("korprog"), "-program", "new.adn"], 60)
            finish(sim, d)
            if p.returncode != 0:
                sys.exit(f"bench: korprog -program failed ({p.returncode}):\n{p.stderr}")
            log = sim_log(d)
            program.append(at(log, "upload ended after 200 entries") - at(log, "<- upload request"))
            cleanup(d)
        # The run with the median sum, so that its parts add up.
        a, b = sorted(zip(down, up), key=sum)[len(down) // 2]
        self.row("Download + upload, 200 entries, unpaced", f"{fmt_s(a)} + {fmt_s(b)} = {fmt_s(a + b)}",
                 "target 0.5 s", (a + b) / 0.5, "< 1")
        self.row("Upload alone (`korprog -program`), unpaced", fmt_s(statistics.median(program)),
                 "target 0.5 s", statistics.median(program) / 0.5, "")

    def readback(self):
        """At 9600 baud: the read-back after "Programmeren" of 200 entries
        against a plain "Ophalen" of them, in the same run."""
        down, back = [], []
        for _ in range(REPEATS):
            m = self.scripted_user("readback", 120, "--baud", str(BAUD))
            down.append(m["download"])
            back.append(m["readback"])
        a, b = statistics.median(back), statistics.median(down)
        self.row(f"Read-back of 200 entries at {BAUD} baud vs \"Ophalen\"", fmt_s(a), f"Ophalen {fmt_s(b)}",
                 a / b, "<= 1")

    def packs(self):
        """Opening a pack with a 100 KB image and loading the image; refusing
        a pack with a 5 MB value and one with 20,000 restriction rows."""
        d = self.workdir()
        p, _ = self.run(d, [self.exe("korbench_packopen")], 120)
        cleanup(d)
        m = dict(re.findall(r"^(\w+)_ms=([\d.]+)$", p.stdout, re.M))
        if p.returncode != 0 or "many_rows" not in m:
            sys.exit(f"bench: korbench_packopen failed ({p.returncode}):\n{p.stdout}{p.stderr}")
        ms = lambda k: float(m[k]) / 1000
        self.row("Open a pack with a 100 KB image and load the image", fmt_s(ms("open_100k")), "target 0.050 s",
                 ms("open_100k") / 0.05, "< 1")
        self.row("Refuse a pack with a 5 MB value", fmt_s(ms("long_value")), "target 0.050 s",
                 ms("long_value") / 0.05, "< 1")
        self.row("Refuse a pack with 20,000 restriction rows", fmt_s(ms("many_rows")), "target 0.050 s",
                 ms("many_rows") / 0.05, "< 1")

    def upgrade(self, baud, runs):
        """A 100 KB image, first packet to EOT, korprog against korvansim and
        sx against rx over a relay with the same pacing; medians of runs."""
        results = [self.upgrade_once(baud) for _ in range(runs)]
        med = lambda f: statistics.median(f(r) for r in results)
        korprog, sx = med(lambda r: r[0]), med(lambda r: r[2])
        what = f"at {baud} baud" if baud else "unpaced"
        self.row(f"Upgrade 100 KB {what}, first packet to EOT: korprog vs `sx`", fmt_s(korprog), f"sx {fmt_s(sx)}",
                 med(lambda r: r[0] / r[2]), "<= 1" if baud else "")
        if baud:
            # What must cross the line after the first packet: the other
            # packets and the EOT.
            limit = lambda packets: ((packets - 1) * PACKET + 1) / LINE_BYTES_PER_S
            self.row(f"Upgrade 100 KB at {baud} baud: korprog vs line limit", fmt_s(korprog),
                     f"limit {fmt_s(med(lambda r: limit(r[1])))}", med(lambda r: r[0] / limit(r[1])), "<= 1.02")
            self.row(f"Upgrade 100 KB at {baud} baud: `sx` vs line limit", fmt_s(sx),
                     f"limit {fmt_s(med(lambda r: limit(r[3])))}", med(lambda r: r[2] / limit(r[3])), "")

    def upgrade_once(self, baud):
        """(korprog seconds, its packets, sx seconds, its packets)"""
        image = bytes((i * 7 + i // 128) & 0xFF for i in range(IMAGE_SIZE))
        image = image[:100] + b"VERSION: KV-4.20" + image[116:]
        d = self.workdir()
        with open(os.path.join(d, "app.bin"), "wb") as f:
            f.write(image)
        packs = os.path.join(d, USER_DIR, "RevPacks")
        name = subprocess.run([self.exe("korbench_pack"), packs, "KV-bench", os.path.join(d, "app.bin")],
                              check=True, capture_output=True, text=True).stdout.strip()
        sim = self.start_sim(d, *(["--baud", str(baud)] if baud else []))
        out = open(os.path.join(d, "out.txt"), "w+")
        p = subprocess.Popen([self.exe("korprog"), "-upgrade", "-revpack", name + ".rpa", "-binfile", "app.bin"],
                             cwd=d, env=self.env(d), stdout=out, stderr=subprocess.STDOUT)
        # Paced, the two transfers mostly sleep: run side by side, they see
        # the same machine. Unpaced, each has the processors to itself.
        if baud:
            sx, sx_packets = self.sx(image, baud)
        rc = p.wait(timeout=600)
        finish(sim, d)
        log = sim_log(d)
        got = read_bytes(os.path.join(d, "image.bin"))
        if rc != 0 or got[:IMAGE_SIZE] != image:
            sys.exit(f"bench: korprog -upgrade failed ({rc}):\n{read(out.name)[-2000:]}")
        korprog = at(log, "<- EOT") - at(log, "<- packet 1:")
        packets = len(re.findall(r"<- packet \d+:", log))
        cleanup(d)
        if not baud:
            sx, sx_packets = self.sx(image, baud)
        return korprog, packets, sx, sx_packets

    def sx(self, image, baud):
        d = tempfile.mkdtemp(prefix="korbench-sx-")
        src = os.path.join(d, "app.bin")
        with open(src, "wb") as f:
            f.write(image)
        a, b = os.path.join(d, "a"), os.path.join(d, "b")
        # Unbuffered, so select() sees every line that is not read yet.
        relay = subprocess.Popen([self.exe("korbench_relay"), str(baud), a, b], stdout=subprocess.PIPE, bufsize=0)
        if relay.stdout.readline().strip() != b"ready":
            sys.exit("bench: korbench_relay did not start")
        quiet = dict(stderr=subprocess.DEVNULL, cwd=d)
        rx = subprocess.Popen(f"exec rx -X -q -y out.bin <'{b}' >'{b}'", shell=True, **quiet)
        sx = subprocess.Popen(f"exec sx -X -q app.bin <'{a}' >'{a}'", shell=True, **quiet)
        marks = {}
        deadline = time.monotonic() + 600
        while "packets" not in marks and time.monotonic() < deadline:
            r, _, _ = select.select([relay.stdout], [], [], 1)
            if r:
                line = relay.stdout.readline().split()
                if len(line) == 2:
                    marks[line[0].decode()] = int(line[1])
        for proc in (sx, rx):
            try:
                proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                proc.kill()
        stop(relay)
        with open(os.path.join(d, "out.bin"), "rb") as f:
            got = f.read()
        cleanup(d)
        if "packets" not in marks or got[:IMAGE_SIZE] != image:
            sys.exit(f"bench: sx to rx failed: {marks}")
        return (marks["eot"] - marks["packet1"]) / 1e6, marks["packets"]

    def idle(self):
        """CPU of korprog connected and idle, without a display."""
        d = self.workdir()
        sim = self.start_sim(d)
        out = open(os.path.join(d, "out.txt"), "w+")
        p = subprocess.Popen([self.exe("korprog")], cwd=d, env=self.env(d), stdout=out,
                             stderr=subprocess.DEVNULL)
        if not wait_until(lambda: "Verbonden" in read(os.path.join(d, "out.txt")), 10):
            sys.exit("bench: korprog did not connect")
        cpu = cpu_share(p.pid, IDLE_S)
        stop(p)
        stop(sim)
        cleanup(d)
        self.row(f"Idle CPU, connected, no display, {IDLE_S} s", f"{cpu * 100:.2f} % of a core",
                 "target 1 %", cpu / 0.01, "< 1")

    def window(self):
        """Start to the window shown and "Verbonden", under Xvfb; then the
        window's idle CPU."""
        xvfb, display = start_xvfb()
        try:
            times = []
            cpu = None
            for i in range(REPEATS):
                d = self.workdir()
                sim = self.start_sim(d)
                # Line-buffered and read unbuffered: each event as it comes.
                xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-display", display, "-root", "-event",
                                        "substructure"], stdout=subprocess.PIPE, bufsize=0)
                time.sleep(0.3)  # xev listening
                env = self.env(d, display)
                env["KORPROG_TRACE_STDERR"] = "1"
                with open(os.path.join(d, "dbgTraceCommands.txt"), "w") as f:
                    f.write("Kvctrl lvl hi\n")  # status lines to the trace
                err = open(os.path.join(d, "err.txt"), "w")
                t0 = time.monotonic()
                p = subprocess.Popen([self.exe("korprog")], cwd=d, env=env, stdout=subprocess.DEVNULL, stderr=err)
                shown = connected = None
                deadline = t0 + 20
                while (shown is None or connected is None) and time.monotonic() < deadline:
                    r, _, _ = select.select([xev.stdout], [], [], 0.002)
                    if r and shown is None and xev.stdout.readline().startswith(b"MapNotify"):
                        shown = time.monotonic()
                    if connected is None and "Status Info: Verbonden" in read(os.path.join(d, "err.txt")):
                        connected = time.monotonic()
                stop(xev)
                if shown is None or connected is None:
                    stop(p)
                    stop(sim)
                    sys.exit(f"bench: window shown={shown} connected={connected}")
                times.append(max(shown, connected) - t0)
                if i == REPEATS - 1:
                    time.sleep(2)
                    cpu = cpu_share(p.pid, IDLE_S)
                stop(p)
                stop(sim)
                cleanup(d)
        finally:
            stop(xvfb)
        t = statistics.median(times)
        self.row("Start to window shown and connected (Xvfb)", fmt_s(t), "target 1 s", t / 1.0, "< 1")
        self.row(f"Idle CPU, connected, window on Xvfb, {IDLE_S} s", f"{cpu * 100:.2f} % of a core",
                 "target 1 %", cpu / 0.01, "< 1")

    # ---- the table ----

    def row(self, what, measured, reference, ratio, target):
        self.rows.append((what, measured, reference, f"{ratio:.3f}", target))
        print(f"  {what}: {measured} ({reference}; ratio {ratio:.3f})", flush=True)

    def table(self):
        load = open("/proc/loadavg").read().split()[:3]
        busy = [b - a for a, b in zip(self.cpu0, cpu_times())]
        idle = 100.0 * (busy[3] + busy[4]) / max(1, sum(busy))
        cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
        commit = subprocess.run(["git", "rev-parse", "--short", "HEAD"], capture_output=True, text=True,
                                cwd=os.path.dirname(os.path.abspath(__file__))).stdout.strip()
        lines = [
            "# Benchmark results",
            "",
            f"`bench/run.sh` on {datetime.date.today()}, commit {commit or '?'}, "
            f"{os.cpu_count()} × {cpu}, load {' '.join(load)} at the end.",
            "",
            "Load (1-minute average) at the start of each benchmark: "
            + ", ".join(f"{n} {l}" for n, l in self.loads)
            + f"; the processors were idle {idle:.0f} % of the run. Other work on the machine delays the "
            "programs' wake-ups and shows in the times.",
            "",
            "| Benchmark | Measured | Reference | Ratio | Target ratio |",
            "|---|---|---|---|---|",
        ]
        lines += [f"| {' | '.join(r)} |" for r in self.rows]
        lines += ["", f"Times and ratios are medians of {REPEATS} runs, of {self.paced_runs} for the paced upgrade, "
                  "where korprog's and lrzsz's transfers run side by side.",
                  "The line limit counts the bytes that must cross a 9600 8N1 line (960 bytes per second) "
                  "between the end of the first packet and EOT: the remaining 132-byte packets and the EOT. "
                  "Each packet also waits for its ACK, one byte back over the line (1.04 ms, 0.76 % of a "
                  "packet's time), which the limit leaves out.",
                  "Unpaced, `rx` empties its input after every ACK: a packet that arrives before that is lost "
                  "and sent again after rx's time-out, so `sx`'s unpaced time varies from run to run."]
        return "\n".join(lines) + "\n"


# ---- helpers ----

def write_settings(path, word):
    with open(path, "w") as f:
        for k in range(1, 201):
            text = "KV8888GM-ED" if k == 10 else "     " if k == 20 else f"{word} {k}"
            number = "" if k in (80, 115, 116) else str(5550000 + k)
            f.write(f"{text}|{number}\n")


def read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def sim_log(d):
    return read(os.path.join(d, "sim.log"))


def at(log, text):
    """Seconds of the simulator's first log line containing text."""
    for line in log.splitlines():
        if text in line:
            return float(line.split()[0])
    sys.exit(f"bench: '{text}' not in the simulator's log")


def stop(p):
    if p.poll() is None:
        p.send_signal(signal.SIGTERM)
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def finish(sim, d):
    """Stops the simulator once it has seen the program close the port: the
    program's last frames may still be on their way to it."""
    wait_until(lambda: "the program closed the port" in sim_log(d), 5)
    stop(sim)


def cleanup(d):
    shutil.rmtree(d, ignore_errors=True)


def wait_until(cond, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if cond():
            return True
        time.sleep(0.01)
    return False


def cpu_ticks(pid):
    fields = read(f"/proc/{pid}/stat").rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def cpu_times():
    """The machine's processor times so far: user, nice, system, idle, iowait, ..."""
    return [int(x) for x in open("/proc/stat").readline().split()[1:]]


def cpu_share(pid, seconds):
    """Share of one core the process used over the coming seconds."""
    t0, c0 = time.monotonic(), cpu_ticks(pid)
    time.sleep(seconds)
    t1, c1 = time.monotonic(), cpu_ticks(pid)
    return (c1 - c0) / os.sysconf("SC_CLK_TCK") / (t1 - t0)


def start_xvfb():
    r, w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(w,), stderr=subprocess.DEVNULL)
    os.close(w)
    with os.fdopen(r) as f:
        number = f.readline().strip()
    if not number:
        sys.exit("bench: Xvfb did not start")
    return xvfb, ":" + number


def fmt_s(seconds):
    return f"{seconds:.3f} s" if seconds < 10 else f"{seconds:.2f} s"


def line_bench(b, upgrade_runs):
    import bench_line
    bench_line.Line(b).run(upgrade_runs)


def net_bench(b, upgrade_runs):
    import bench_net
    bench_net.Net(b).run(upgrade_runs)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--out", default=os.path.join(here, "RESULTS.md"))
    ap.add_argument("--quick", action="store_true", help="skip the paced upgrades, the production line and the network")
    ap.add_argument("--only", default="", help="comma-separated benchmark names")
    ap.add_argument("--paced-runs", type=int, default=1, help="runs of each paced upgrade (about 2 minutes each)")
    args = ap.parse_args()
    only = set(filter(None, args.only.split(",")))
    want = lambda n: (not only or n in only) and not (args.quick and n in ("paced", "line", "net"))
    missing = sorted({f"{tool} ({package})" for name, tools in TOOLS.items() if want(name)
                      for tool, package in tools if not shutil.which(tool)})
    if missing:
        sys.exit("bench: missing " + ", ".join(missing) + "; install the Debian packages named")
    b = Bench(args.build)
    b.paced_runs = args.paced_runs
    for name, fn in (("transfer", b.transfer), ("readback", b.readback), ("packs", b.packs), ("upgrade", lambda: b.upgrade(0, REPEATS)),
                     ("paced", lambda: b.upgrade(BAUD, args.paced_runs)), ("idle", b.idle), ("window", b.window),
                     ("line", lambda: line_bench(b, args.paced_runs)), ("net", lambda: net_bench(b, args.paced_runs))):
        if want(name):
            b.loads.append((name, open("/proc/loadavg").read().split()[0]))
            print(f"{name} ...", flush=True)
            fn()
    text = b.table()
    print()
    print(text)
    with open(args.out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
