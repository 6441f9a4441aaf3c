"""The production line's benchmarks (bench.py --only line): several units at
once at 9600 baud, each a korvansim on a link of its own, against one unit
alone; and the processor time the program's runs take for sixteen units."""

import os
import resource
import statistics
import subprocess
import sys
import time

from bench import (BAUD, REPEATS, USER_DIR, cleanup, fmt_s, read, read_bytes, stop, write_settings)

UPGRADE_IMAGE = 32 * 1024


def child_cpu():
    """Processor seconds of the children waited for so far (the line and
    every run it waited for)."""
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


class Line:
    def __init__(self, bench):
        self.b = bench

    def units(self, d, n, *sim_args):
        """n simulated units at 9600 baud on links d/kK; their processes."""
        sims = []
        for k in range(n):
            adn = os.path.join(d, f"unit{k}.adn")
            write_settings(adn, "oud")
            log = open(os.path.join(d, f"sim{k}.log"), "w")
            sims.append(subprocess.Popen(
                [self.b.exe("korvansim"), "--baud", str(BAUD), "--link", os.path.join(d, f"k{k}"), "--adn", adn,
                 "--image", os.path.join(d, f"image{k}.bin"), "--imei", f"3500000000{k:05d}", *sim_args],
                stdout=subprocess.PIPE, stderr=log, text=True))
        for s in sims:
            if not s.stdout.readline().strip():
                sys.exit("bench: korvansim did not start")
        return sims

    def line(self, d, n, job, *sim_args):
        """One line of n units doing job: (wall seconds, processor seconds of
        the program's processes)."""
        sims = self.units(d, n, *sim_args)
        ports = [a for k in range(n) for a in ("-port", os.path.join(d, f"k{k}"))]
        cpu0 = child_cpu()
        p, wall = self.b.run(d, [self.b.exe("korprog"), *job, *ports], 900)
        cpu = child_cpu() - cpu0
        for s in sims:
            stop(s)
        if p.returncode != 0:
            sys.exit(f"bench: the line of {n} failed ({p.returncode}):\n{p.stdout[-3000:]}{p.stderr[-2000:]}")
        return wall, cpu

    def program(self, n):
        d = self.b.workdir()
        write_settings(os.path.join(d, "new.adn"), "Nieuw")
        result = self.line(d, n, ["-program", "new.adn"])
        for k in range(n):
            if "Nieuw 1|" not in read(os.path.join(d, f"unit{k}.adn")):
                sys.exit(f"bench: unit {k} was not programmed")
        cleanup(d)
        return result

    def upgrade(self, n):
        image = bytes((i * 7 + i // 128) & 0xFF for i in range(UPGRADE_IMAGE))
        image = image[:100] + b"VERSION: KV-4.20" + image[116:]
        d = self.b.workdir()
        with open(os.path.join(d, "app.bin"), "wb") as f:
            f.write(image)
        packs = os.path.join(d, USER_DIR, "RevPacks")
        name = subprocess.run([self.b.exe("korbench_pack"), packs, "KV-line", os.path.join(d, "app.bin")],
                              check=True, capture_output=True, text=True).stdout.strip()
        result = self.line(d, n, ["-upgrade", "-revpack", name + ".rpa", "-binfile", "app.bin"])
        for k in range(n):
            if read_bytes(os.path.join(d, f"image{k}.bin"))[:UPGRADE_IMAGE] != image:
                sys.exit(f"bench: unit {k} did not get the image")
        cleanup(d)
        return result

    def run(self, upgrade_runs):
        one = [self.program(1)[0] for _ in range(REPEATS)]
        eight = [self.program(8)[0] for _ in range(REPEATS)]
        a, b = statistics.median(eight), statistics.median(one)
        self.b.row(f"`-program` of 200 entries at {BAUD} baud, 8 units at once vs one", fmt_s(a), f"one {fmt_s(b)}",
                   a / b, "<= 1.15")

        up1 = [self.upgrade(1)[0] for _ in range(upgrade_runs)]
        up4 = [self.upgrade(4)[0] for _ in range(upgrade_runs)]
        a, b = statistics.median(up4), statistics.median(up1)
        self.b.row(f"`-upgrade` of 32 KB at {BAUD} baud (backup, image, version), 4 units at once vs one", fmt_s(a),
                   f"one {fmt_s(b)}", a / b, "<= 1.10")

        walls, shares = [], []
        for _ in range(REPEATS):
            wall, cpu = self.program(16)
            walls.append(wall)
            shares.append(cpu / wall)
        share = statistics.median(shares)
        self.b.row(f"CPU of the program for 16 units at once, `-program` at {BAUD} baud "
                   f"({fmt_s(statistics.median(walls))})", f"{share * 100:.1f} % of a core", "one core",
                   share, "< 1")
