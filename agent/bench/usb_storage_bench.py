#!/usr/bin/env python3
"""Measures usb_storage_agent: write throughput against dd, idle CPU use and
the size of the static MIPS binary. Not a test: it prints figures and ratios
measured in one run on one file system.

usage: agent/bench/usb_storage_bench.py HOST_AGENT [--mips MIPS_AGENT] [--dir DIR]
                                        [--rounds N] [--idle-seconds S]

  HOST_AGENT   the host build, e.g. build/agent/usb_storage_agent
  --mips       the static MIPS build, e.g. build-mipsel/agent/usb_storage_agent
  --dir        a folder on the file system to write to (default: the temp folder)

Write throughput: 64 MiB as successive 527-sector write commands (appends to
one movie, as the driver sends a recording) against dd bs=256k writing 64 MiB
to the same folder. Two agent figures: a resident run that gets the write
commands back to back (the 150 ms pacing pause set to 0, so only the agent's
own work is timed), and single-shot runs, one process per chunk. Nothing is
flushed (the agent does not flush appended movie chunks; "sync" is a stub).
"""
import argparse
import os
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20
CHUNK_SECTORS = 527
CHUNK = CHUNK_SECTORS * 512
CHUNKS = (64 * MIB + CHUNK - 1) // CHUNK  # 249 chunks: just over 64 MiB


class Root:
    """A folder that stands for the recorder: proc/dvr, mnt/Movie, stub tools."""

    def __init__(self, parent):
        self.path = tempfile.mkdtemp(prefix="usb-agent-bench-", dir=parent)
        # The proc files live in memory, as the driver's do: on a disk file
        # system, rewriting a truncated file starts its write-out at once
        # (ext4's auto_da_alloc), which would time the stand-in, not the agent.
        self.memory = tempfile.mkdtemp(prefix="usb-agent-bench-proc-",
                                       dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
        os.symlink(self.memory, os.path.join(self.path, "proc"))
        self.proc = os.path.join(self.memory, "dvr")
        self.movie = os.path.join(self.path, "mnt", "Movie")
        self.bin = os.path.join(self.path, "bin")
        for d in (self.proc, self.movie, self.bin):
            os.makedirs(d)
        for tool in ("sync", "umount", "mount", "mkdosfs", "df"):
            stub = os.path.join(self.bin, tool)
            with open(stub, "w") as f:
                f.write("#!/bin/sh\nexit 0\n")
            os.chmod(stub, 0o755)

    def env(self, pause_us):
        env = dict(os.environ)
        env["USB_AGENT_ROOT"] = self.path
        env["PATH"] = self.bin + ":" + env.get("PATH", "/usr/bin:/bin")
        if pause_us is None:
            env.pop("USB_AGENT_PAUSE_US", None)
        else:
            env["USB_AGENT_PAUSE_US"] = str(pause_us)
        return env

    def put(self, name, data):
        with open(os.path.join(self.proc, name), "wb") as f:
            f.write(data)

    def script(self, codes):
        """The command file as a FIFO that hands out one code per read."""
        fifo = os.path.join(self.proc, "usb_storage_com")
        if os.path.lexists(fifo):
            os.unlink(fifo)
        os.mkfifo(fifo)
        fd = os.open(fifo, os.O_RDWR)
        os.write(fd, b"".join(struct.pack("<i", c) for c in codes))
        return fd

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)
        shutil.rmtree(self.memory, ignore_errors=True)


def write_request(name, sectors):
    return struct.pack("<5i64s", 0, sectors, 0, 0, 0, name.encode())


def run(argv, env):
    """Runs a program; returns (wall seconds, CPU seconds of the child)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, env=env, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def time_dd(root, source):
    target = os.path.join(root.movie, "dd.bin")
    wall, _ = run(["dd", "if=" + source, "of=" + target, "bs=256k", "count=256",
                   "status=none"], root.env(0))
    size = os.path.getsize(target)
    os.unlink(target)
    return size / wall


def time_agent_resident(root, agent):
    target = os.path.join(root.movie, "bench.mov")
    root.put("usb_storage_inf", write_request("Movie/bench.mov", CHUNK_SECTORS))
    root.put("usb_storage_data", bytes(range(256)) * (CHUNK // 256))
    fd = root.script([11] + [5] * CHUNKS + [12])
    try:
        wall, _ = run([agent], root.env(0))
    finally:
        os.close(fd)
    size = os.path.getsize(target)
    assert size == CHUNKS * CHUNK, size
    os.unlink(target)
    return size / wall


def time_agent_single_shot(root, agent):
    target = os.path.join(root.movie, "bench.mov")
    root.put("usb_storage_inf", write_request("Movie/bench.mov", CHUNK_SECTORS))
    root.put("usb_storage_data", bytes(range(256)) * (CHUNK // 256))
    com = os.path.join(root.proc, "usb_storage_com")
    if os.path.lexists(com):
        os.unlink(com)
    root.put("usb_storage_com", struct.pack("<i", 5))
    env = root.env(0)
    start = time.perf_counter()
    for _ in range(CHUNKS):
        subprocess.run([agent], env=env, check=True)
    wall = time.perf_counter() - start
    size = os.path.getsize(target)
    assert size == CHUNKS * CHUNK, size
    os.unlink(target)
    return size / wall


def idle_cpu(root, argv, seconds):
    """A resident run that sees only idle passes (150 ms each, as on the recorder)."""
    passes = max(1, int(seconds / 0.15))
    fd = root.script([11] + [0] * passes + [12])
    try:
        wall, cpu = run(argv, root.env(None))
    finally:
        os.close(fd)
    return wall, cpu, passes


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("agent")
    parser.add_argument("--mips")
    parser.add_argument("--dir", default=tempfile.gettempdir())
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--idle-seconds", type=float, default=10.0)
    args = parser.parse_args()
    agent = os.path.abspath(args.agent)

    root = Root(args.dir)
    try:
        # dd's second source holds the data in memory like the driver's data
        # file, so dd copies every byte twice, as the agent does.
        source = os.path.join(root.memory, "source.bin")
        with open(source, "wb") as f:
            f.write(bytes(range(256)) * (64 * MIB // 256))
        dd_zero, dd_file, resident, single = [], [], [], []
        for _ in range(args.rounds):  # interleaved, so drifts hit all alike
            dd_zero.append(time_dd(root, "/dev/zero"))
            dd_file.append(time_dd(root, source))
            resident.append(time_agent_resident(root, agent))
            single.append(time_agent_single_shot(root, agent))
        zero_m, file_m = median(dd_zero), median(dd_file)
        res_m, single_m = median(resident), median(single)
        print(f"write 64 MiB to {args.dir} (median of {args.rounds} rounds; MiB/s, ratio to"
              " dd from /dev/zero, ratio to dd from a file in memory)")
        for label, value in (("dd bs=256k if=/dev/zero", zero_m),
                             ("dd bs=256k if=<file in memory>", file_m),
                             (f"agent resident, {CHUNKS} x 527 sectors", res_m),
                             ("agent single-shot, 1 run per chunk", single_m)):
            print(f"  {label:38s} {value / MIB:8.1f}   {value / zero_m:5.2f}   {value / file_m:5.2f}")

        runs = [("host build", [agent])]
        if args.mips and shutil.which("qemu-mipsel"):
            runs.append(("MIPS build under qemu-mipsel (emulation included)",
                         ["qemu-mipsel", os.path.abspath(args.mips)]))
        for label, argv in runs:
            wall, cpu, passes = idle_cpu(root, argv, args.idle_seconds)
            print(f"idle resident run, {label}: {passes} idle passes in {wall:.2f} s,"
                  f" CPU {cpu * 1000:.1f} ms = {100 * cpu / wall:.3f} % of one core,"
                  f" {cpu / passes * 1e6:.0f} us per pass")
    finally:
        root.remove()

    if args.mips:
        size = os.path.getsize(args.mips)
        print(f"static MIPS binary: {size} bytes as built ({args.mips})")
        strip = shutil.which("mipsel-linux-gnu-strip")
        if strip:
            with tempfile.NamedTemporaryFile() as copy:
                subprocess.run([strip, "-o", copy.name, args.mips], check=True)
                print(f"  stripped: {os.path.getsize(copy.name)} bytes")
        sizer = shutil.which("mipsel-linux-gnu-size")
        if sizer:
            print("  " + subprocess.run([sizer, args.mips], check=True, capture_output=True,
                                        text=True).stdout.strip().replace("\n", "\n  "))


if __name__ == "__main__":
    sys.exit(main())
