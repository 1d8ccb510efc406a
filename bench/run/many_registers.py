#!/usr/bin/env python3
"""Several registers at once against one reference central server.

Starts `kivtab-central serve` on a world of the given scale and runs a first run of `count`
registers (each its own program directory and local database; the world's registers taken in
turn) all at once. Prints the wall time beside the CPU time of every register and of the
server, that total shared over the machine's cores, and their ratio: near 1 when nothing waits on
a lock it need not hold. Other work on the machine stretches the wall time too, so the script
also reads the machine's busy time (/proc/stat): the core time nobody used during the run, over
the registers' and the server's CPU, added to 1, is the same ratio with the other work taken
out. It stays near 1 when no core sat idle while a register waited; on a machine that others
keep saturated it says nothing either way.

    bench/run/many_registers.py --build build [--scale 20] [--count 8] [--cleanup-pause 0|1]
                                [--keep DIR]

A first run pauses one second after each of its two table cleanups; all registers started at
once pause together, leaving both cores idle. --cleanup-pause 0 (KIVTAB_CLEANUP_PAUSE) takes
those pauses out so that what is left is waiting on the server.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from whole_run import REGISTRY_KEY, World, bench_arguments, central_server, cpu_seconds, tool

# The world's registers that import tables by themselves.
REGISTERS = ["0001_001", "0001_002", "0002_001"]


def machine_busy_seconds():
    """CPU time every process on the machine has used so far (the first line of /proc/stat)."""
    fields = [int(f) for f in Path("/proc/stat").read_text().splitlines()[0].split()[1:9]]
    user, nice, system, _idle, _iowait, irq, softirq, steal = fields
    return (user + nice + system + irq + softirq + steal) / os.sysconf("SC_CLK_TCK")


def start_register(kivtab, home, port, register, pause):
    home.mkdir()
    local_db = home / "local.db"
    (home / "registry.ini").write_text(
        f"[{REGISTRY_KEY}]\nIPServer=127.0.0.1\nWebPort=dword:{port}\n"
        f"StringConex=Provider=SQLite;User ID=dbo;Data Source={local_db}\n")
    env = dict(os.environ, KIVTAB_HOME=str(home), KIVTAB_REGISTRY=str(home / "registry.ini"),
               KIVTAB_CLOSE_DELAY="0", KIVTAB_CLEANUP_PAUSE=str(pause))
    return subprocess.Popen(["/usr/bin/time", "-f", "%U %S", kivtab, f"TABELAS_{register}_"],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)


def main():
    parser = bench_arguments(__doc__.splitlines()[0],
                             "leave the program directories below this folder")
    parser.add_argument("--scale", type=int, default=20)
    parser.add_argument("--count", type=int, default=8)
    parser.add_argument("--cleanup-pause", type=int, default=1,
                        help="seconds each register pauses after a first-run table cleanup "
                             "(the program's 1, or 0 to leave only waits on the server)")
    args = parser.parse_args()
    Path(args.cache).mkdir(parents=True, exist_ok=True)
    build = Path(args.build)
    kivtab, central = (tool(build, n) for n in ("kivtab", "kivtab-central"))
    world = World(central, args.cache, args.scale)
    top = Path(tempfile.mkdtemp(prefix=f"kivtab-registers-{args.scale}-", dir=args.keep))
    central_db = world.copy_to(top)
    with central_server(central, central_db) as (server, port):
        server_cpu, load = cpu_seconds(server.pid), os.getloadavg()[0]
        busy, started = machine_busy_seconds(), time.monotonic()
        runs = [start_register(kivtab, top / f"register-{i}", port,
                               REGISTERS[i % len(REGISTERS)], args.cleanup_pause)
                for i in range(args.count)]
        register_cpu = 0.0
        for run in runs:
            _, stderr = run.communicate()
            if run.returncode != 0:
                sys.exit(f"many_registers: a register failed ({run.returncode}); see {top}")
            user, system = stderr.strip().splitlines()[-1].split()
            register_cpu += float(user) + float(system)
        wall = time.monotonic() - started
        busy = machine_busy_seconds() - busy
        server_cpu = cpu_seconds(server.pid) - server_cpu
    cores = os.cpu_count()
    shared = (register_cpu + server_cpu) / cores
    print(f"{args.count} registers at scale {args.scale} on {cores} cores "
          f"(load average {load:.1f} before, {os.getloadavg()[0]:.1f} after; "
          f"cleanup pause {args.cleanup_pause} s)")
    print(f"wall {wall:.2f} s; CPU registers {register_cpu:.2f} s + server {server_cpu:.2f} s, "
          f"shared over the cores {shared:.2f} s; wall over that {wall / shared:.2f}")
    ours = register_cpu + server_cpu
    idle = max(0.0, cores * wall - busy)
    print(f"other work {max(0.0, busy - ours):.2f} s, cores idle {idle:.2f} s of "
          f"{cores * wall:.2f} s; without the other work: {(ours + idle) / ours:.2f}")
    if not args.keep:
        shutil.rmtree(top)


if __name__ == "__main__":
    main()
