"""Units across the network (bench.py --only net): `-program` and `-upgrade`
through ser2net (RFC 2217) against the same simulated unit at 9600 baud on
its local pseudo-terminal, and the processor time of a line of sixteen units
on network ports."""

import os
import socket
import statistics
import subprocess
import sys

from bench import BAUD, REPEATS, USER_DIR, cleanup, fmt_s, read, stop, wait_until, write_settings
from bench_line import UPGRADE_IMAGE, Line, child_cpu

NET_UNITS = 16


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    want = f"0100007F:{port:04X}"
    with open("/proc/net/tcp") as f:
        return any(l.split()[1] == want and l.split()[3] == "0A" for l in f.readlines()[1:])


class Ser2net:
    """ser2net on 127.0.0.1 in front of the devices, one RFC 2217 port each."""

    def __init__(self, d, devices):
        self.ports = [free_port() for _ in devices]
        conf = os.path.join(d, "ser2net.yaml")
        with open(conf, "w") as f:
            f.write("%YAML 1.1\n---\n")
            for k, (dev, port) in enumerate(zip(devices, self.ports)):
                f.write(f"connection: &unit{k}\n  accepter: telnet(rfc2217),tcp,127.0.0.1,{port}\n"
                        f"  connector: serialdev,{dev},9600n81,local\n  options:\n    mdns: false\n    chardelay: false\n")
        self.p = subprocess.Popen(["ser2net", "-n", "-c", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: all(listening(p) for p in self.ports), 10):
            stop(self.p)
            sys.exit("bench: ser2net did not start")

    def names(self):
        return [f"rfc2217://127.0.0.1:{p}" for p in self.ports]

    def stop(self):
        stop(self.p)


class Net(Line):
    def both(self, job, check):
        """The job on a unit through its local terminal, then on a fresh one
        through ser2net: (local seconds, network seconds)."""
        d = self.b.workdir()
        args = job(d)
        times = []
        for network in (False, True):
            for f in ("image0.bin", "unit0.adn"):
                if os.path.exists(os.path.join(d, f)):
                    os.remove(os.path.join(d, f))
            sims = self.units(d, 1, "--persist")
            link = os.path.join(d, "k0")
            server = Ser2net(d, [link]) if network else None
            port = server.names()[0] if network else link
            p, wall = self.b.run(d, [self.b.exe("korprog"), *args, "-port", port], 900)
            if server:
                server.stop()
            for s in sims:
                stop(s)
            if p.returncode != 0 or not check(d):
                sys.exit(f"bench: {port} failed ({p.returncode}):\n{p.stdout[-2000:]}{p.stderr[-2000:]}")
            times.append(wall)
        cleanup(d)
        return times

    def program_job(self, d):
        write_settings(os.path.join(d, "new.adn"), "Nieuw")
        return ["-program", "new.adn"]

    def upgrade_job(self, d):
        return ["-upgrade", "-revpack", self.make_pack(d) + ".rpa", "-binfile", "app.bin"]

    def make_pack(self, d):
        image = bytes((i * 7 + i // 128) & 0xFF for i in range(UPGRADE_IMAGE))
        image = image[:100] + b"VERSION: KV-4.20" + image[116:]
        with open(os.path.join(d, "app.bin"), "wb") as f:
            f.write(image)
        packs = os.path.join(d, USER_DIR, "RevPacks")
        return subprocess.run([self.b.exe("korbench_pack"), packs, "KV-net", os.path.join(d, "app.bin")],
                              check=True, capture_output=True, text=True).stdout.strip()

    def line_on_network(self, n):
        d = self.b.workdir()
        write_settings(os.path.join(d, "new.adn"), "Nieuw")
        sims = self.units(d, n, "--persist")
        server = Ser2net(d, [os.path.join(d, f"k{k}") for k in range(n)])
        ports = [a for name in server.names() for a in ("-port", name)]
        cpu0 = child_cpu()
        p, wall = self.b.run(d, [self.b.exe("korprog"), "-program", "new.adn", *ports], 900)
        cpu = child_cpu() - cpu0
        server.stop()
        for s in sims:
            stop(s)
        if p.returncode != 0:
            sys.exit(f"bench: the network line of {n} failed ({p.returncode}):\n{p.stdout[-3000:]}{p.stderr[-2000:]}")
        for k in range(n):
            if "Nieuw 1|" not in read(os.path.join(d, f"unit{k}.adn")):
                sys.exit(f"bench: unit {k} was not programmed")
        cleanup(d)
        return wall, cpu

    def run(self, upgrade_runs):
        programmed = lambda d: "Nieuw 1|" in read(os.path.join(d, "unit0.adn"))
        pairs = [self.both(self.program_job, programmed) for _ in range(REPEATS)]
        local, net = statistics.median(p[0] for p in pairs), statistics.median(p[1] for p in pairs)
        self.b.row(f"`-program` of 200 entries at {BAUD} baud through ser2net (RFC 2217) vs a local terminal",
                   fmt_s(net), f"local {fmt_s(local)}", net / local, "<= 1.02")

        upgraded = lambda d: os.path.exists(os.path.join(d, "image0.bin")) and \
            os.path.getsize(os.path.join(d, "image0.bin")) >= 32 * 1024
        pairs = [self.both(self.upgrade_job, upgraded) for _ in range(upgrade_runs)]
        local, net = statistics.median(p[0] for p in pairs), statistics.median(p[1] for p in pairs)
        self.b.row(f"`-upgrade` of 32 KB at {BAUD} baud through ser2net (RFC 2217) vs a local terminal",
                   fmt_s(net), f"local {fmt_s(local)}", net / local, "<= 1.02")

        wall, cpu = self.line_on_network(NET_UNITS)
        self.b.row(f"CPU of the program for {NET_UNITS} units on network ports at once, `-program` at {BAUD} baud "
                   f"({fmt_s(wall)})", f"{cpu / wall * 100:.1f} % of a core", "one core", cpu / wall, "< 1")
