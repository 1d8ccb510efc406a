#!/usr/bin/env python3
"""Whole-run benchmark: kivtab against the reference central server at one world scale.

Runs a first run into an empty local database, an incremental run after a central change batch
and a rerun with nothing changed, and beside them the raw baseline: the rows the first run left
written again into the same empty schema through the SQLite C API (bench_raw_load). Prints each
run's time, its ratio to the baseline, its peak memory and where its time went, from the run's
trace (KIVTAB_TRACE: every log line with its milliseconds). While a run goes, the script follows
its trace and charges the register's and the server's CPU time to the step the trace is in.

The incremental run's cost beyond the rerun's, per step, is what the central changes cost: with
a change batch of a fixed number of rows per table it should not grow with the world. It is
printed per scale with the trace intervals that differ most, and, for several scales, side by
side.

    bench/run/whole_run.py --build build --scale 20 [--scale 263 ...] [--keep DIR] [--intervals N]
"""
import argparse
import contextlib
import hashlib
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REGISTRY_KEY = r"HKEY_LOCAL_MACHINE\Software\MORLEND\Sistemas Integrados Morlend\WebCli"

# Where each stretch of a run's time goes: a line starting with a marker opens its step, which
# lasts until the next marker. Statement files return to the step they interrupted.
STEP_MARKERS = [
    ("*************** INÍCIO DA BAIXA DAS TABELAS", "preparation"),
    ("Buscando dados atualizados. Método getTabelas.", "request and hand-over"),
    ("before InsereMSDE", "load"),
    ("INICIO DELETE CACHE", "delete cache and cleanups"),
    ("FIM DELETE CACHE", "load"),
    ("after InsereMSDE", "delete cache and cleanups"),
]
FILE_START = "Gerando o arquivo .zip no servidor..."
# The server has written the file once setGeraArquivo answers; the rest is the register's.
FILE_REGISTER_SIDE = "setGeraArquivo"
FILE_LINES = ("getNRORG", "getAcessoArquivo", "Reconecta", "Recebendo o arquivo",
              "Apagando o arquivo", "Descompactando", "-----", "Início da inserção da tabela",
              "Registros da tabela", "Erro no insert", "Exceção -> ", "Arquivo recusado",
              "Exception componente")
STEPS = ["structure", "preparation", "request and hand-over", "load",
         "statement files (server)", "statement files (register)", "delete cache and cleanups"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@contextlib.contextmanager
def central_server(central, central_db):
    """The central server on a free port, serving `central_db` until the block ends."""
    port = free_port()
    server = subprocess.Popen([central, "serve", "--db", central_db, "--listen",
                               f"127.0.0.1:{port}"], stdout=subprocess.PIPE, text=True)
    try:
        server.stdout.readline()  # "listening on"
        yield server, port
    finally:
        server.terminate()
        server.wait()


def tool(build, name):
    found = [p for p in Path(build).rglob(name) if p.is_file() and os.access(p, os.X_OK)]
    if not found:
        sys.exit(f"whole_run: no {name} below {build}; build it first")
    return found[0]


class StepTracker:
    """The step a run is in, following its trace one message at a time."""

    def __init__(self):
        self.step, self.interrupted, self.answer_next = "structure", None, False

    def feed(self, message):
        if message.startswith(FILE_START):
            self.interrupted = self.interrupted or self.step
            self.step = "statement files (server)"
        elif self.interrupted and message.startswith(FILE_REGISTER_SIDE):
            self.step = "statement files (register)"
        elif self.interrupted and (self.answer_next or message.startswith(FILE_LINES)):
            pass
        else:
            if self.interrupted:
                self.step, self.interrupted = self.interrupted, None
            for marker, name in STEP_MARKERS:
                if message.startswith(marker):
                    self.step = name
        # The server's answer to the delete of its file is logged as it comes.
        self.answer_next = message.startswith("Apagando o arquivo")
        return self.step


def trace_lines(trace):
    """(seconds, message) of every line of a trace file."""
    for raw in Path(trace).read_text(encoding="utf-8", errors="replace").splitlines():
        ms, _, message = raw.partition("\t")
        yield int(ms) / 1000.0, message


def step_shares(trace):
    """Seconds per step from a trace file, and the run's length."""
    shares = dict.fromkeys(STEPS, 0.0)
    tracker, last = StepTracker(), 0.0
    for at, message in trace_lines(trace):
        shares[tracker.step] += at - last
        last = at
        tracker.feed(message)
    return shares, last


def interval_seconds(trace):
    """Wall seconds of each trace interval, named by the lines around it with digits masked, so
    that the same stretch of two runs has the same name."""
    spans, before, last = {}, "(start)", 0.0
    for at, message in trace_lines(trace):
        line = re.sub(r"\d+", "#", message.strip())[:60] or "(empty)"
        name = f"{before} -> {line}"
        spans[name] = spans.get(name, 0.0) + at - last
        before, last = line, at
    return spans


class StepClock:
    """Charges the CPU time of processes to the step a running kivtab's trace is in, by reading
    both every few milliseconds. A step is charged what was used since the previous reading, so
    a step boundary is off by at most one reading."""

    INTERVAL = 0.005

    def __init__(self, trace, started):
        """started: the CPU seconds each process (by id) had used when the run began."""
        self.trace, self.offset, self.pending = Path(trace), 0, b""
        self.tracker = StepTracker()
        self.cpu = {pid: dict.fromkeys(STEPS, 0.0) for pid in started}
        self.last = dict(started)

    def read(self):
        step = self.tracker.step
        for pid in self.last:
            with contextlib.suppress(OSError):
                now = cpu_seconds(pid)
                self.cpu[pid][step] += now - self.last[pid]
                self.last[pid] = now
        with contextlib.suppress(OSError), open(self.trace, "rb") as f:
            f.seek(self.offset)
            chunk = self.pending + f.read()
            self.offset = f.tell()
            *lines, self.pending = chunk.split(b"\n")
            for raw in lines:
                self.tracker.feed(raw.decode("utf-8", "replace").partition("\t")[2])

    def settle(self, pid, total):
        """Charges what a process used after the last reading, out of its total, to the step
        the trace ended in."""
        self.cpu[pid][self.tracker.step] += total - sum(self.cpu[pid].values())


class World:
    """A central database at one scale, made once and copied for every measurement."""

    def __init__(self, central, cache, scale):
        # A world belongs to the central model and generator it was made by.
        maker = hashlib.sha1(Path(central).read_bytes()).hexdigest()[:12]
        self.path = Path(cache) / f"central-{scale}-{maker}.db"
        if not self.path.exists():
            print(f"== making the scale-{scale} world (once, kept in {cache})", flush=True)
            tmp = self.path.with_suffix(".tmp")
            for leftover in Path(cache).glob(tmp.name + "*"):
                leftover.unlink()
            subprocess.run([central, "init", "--db", tmp, "--scale", str(scale)], check=True,
                           stdout=subprocess.DEVNULL)
            subprocess.run([sys.executable, "-c",
                            "import sqlite3,sys; c=sqlite3.connect(sys.argv[1]);"
                            "c.execute('PRAGMA wal_checkpoint(TRUNCATE)'); c.close()", tmp],
                           check=True)
            tmp.rename(self.path)

    def copy_to(self, directory):
        target = Path(directory) / "central.db"
        shutil.copyfile(self.path, target)
        return target


def cpu_seconds(pid):
    """User and system time a running process has used so far."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def child_of(process):
    """The process a running process started, once it has one; None if it ends first."""
    while process.poll() is None:
        with contextlib.suppress(OSError, IndexError):
            return int(Path(f"/proc/{process.pid}/task/{process.pid}/children").read_text()
                       .split()[0])
        time.sleep(StepClock.INTERVAL)
    return None


def run_kivtab(kivtab, home, trace, server):
    env = dict(os.environ, KIVTAB_HOME=str(home), KIVTAB_REGISTRY=str(home / "registry.ini"),
               KIVTAB_CLOSE_DELAY="0", KIVTAB_TRACE=str(trace))
    started, server_cpu = time.monotonic(), cpu_seconds(server.pid)
    with tempfile.TemporaryFile("w+") as errors:
        timed = subprocess.Popen(["/usr/bin/time", "-f", "%M %U %S", kivtab, "TABELAS_0001_001_"],
                                 env=env, stdout=subprocess.DEVNULL, stderr=errors, text=True)
        register = child_of(timed)
        clock = StepClock(trace, {register: 0.0, server.pid: server_cpu})
        while timed.poll() is None:
            clock.read()
            time.sleep(StepClock.INTERVAL)
        elapsed = time.monotonic() - started
        errors.seek(0)
        peak_kb, user, system = errors.read().strip().splitlines()[-1].split()
    if timed.returncode != 0 or register is None:
        sys.exit(f"whole_run: kivtab failed ({timed.returncode}); see {home}")
    clock.read()
    clock.settle(register, float(user) + float(system))
    return {"seconds": elapsed, "peak_mb": int(peak_kb) / 1024, "cpu": float(user) + float(system),
            "server_cpu": cpu_seconds(server.pid) - server_cpu,
            "step_cpu": clock.cpu[register], "step_server_cpu": clock.cpu[server.pid]}


def measure(args, scale):
    build = Path(args.build)
    kivtab, central, raw = (tool(build, n) for n in ("kivtab", "kivtab-central", "bench_raw_load"))
    world = World(central, args.cache, scale)
    home = Path(tempfile.mkdtemp(prefix=f"kivtab-bench-{scale}-", dir=args.keep))
    central_db = world.copy_to(home)
    with central_server(central, central_db) as (server, port):
        local_db = home / "local.db"
        (home / "registry.ini").write_text(
            f"[{REGISTRY_KEY}]\nIPServer=127.0.0.1\nWebPort=dword:{port}\n"
            f"StringConex=Provider=SQLite;User ID=dbo;Data Source={local_db}\n")
        results = {}
        results["first run"] = run_kivtab(kivtab, home, home / "trace-first.txt", server)
        out = subprocess.run([raw, local_db, home / "raw.db"], check=True, capture_output=True,
                             text=True).stdout.split()
        baseline = {"seconds": float(out[3]), "peak_mb": int(out[4]) / 1024, "rows": int(out[2]),
                    "cpu": float(out[5]) if len(out) > 5 else float("nan")}
        subprocess.run([central, "change", "--db", central_db], check=True,
                       stdout=subprocess.DEVNULL)
        results["incremental run"] = run_kivtab(kivtab, home, home / "trace-incremental.txt", server)
        results["rerun, nothing changed"] = run_kivtab(kivtab, home, home / "trace-rerun.txt", server)
    report(scale, baseline, results, home)
    extra = report_changes(results, home, args.intervals)
    if not args.keep:
        shutil.rmtree(home)
    return extra


def report(scale, baseline, results, home):
    print(f"\n== scale {scale}: raw baseline {baseline['seconds']:.2f} s "
          f"(CPU {baseline['cpu']:.2f} s) for {baseline['rows']:,} rows "
          f"(peak {baseline['peak_mb']:.0f} MB)")
    print("Wall time is the machine's; on a shared machine the CPU columns say more. 'x raw' is "
          "wall over wall, 'cpu x raw' the register's and the server's CPU over the raw CPU.")
    print(f"{'run':<24}{'seconds':>9}{'x raw':>8}{'cpu s':>8}{'server':>8}{'cpu x raw':>11}"
          f"{'peak MB':>9}")
    traces = {"first run": "trace-first.txt", "incremental run": "trace-incremental.txt",
              "rerun, nothing changed": "trace-rerun.txt"}
    for name, r in results.items():
        both = r["cpu"] + r["server_cpu"]
        print(f"{name:<24}{r['seconds']:>9.2f}{r['seconds'] / baseline['seconds']:>8.1f}"
              f"{r['cpu']:>8.2f}{r['server_cpu']:>8.2f}{both / baseline['cpu']:>11.1f}"
              f"{r['peak_mb']:>9.0f}")
    print(f"\n{'step (seconds, share)':<30}" + "".join(f"{n[:22]:>24}" for n in results))
    shares = {n: step_shares(home / traces[n]) for n in results}
    for step in STEPS:
        cells = ""
        for name in results:
            seconds, total = shares[name][0][step], shares[name][1]
            cells += f"{seconds:>15.2f} {100 * seconds / max(total, 1e-9):>6.1f}%  "
        print(f"{step:<30}{cells}")
    sys.stdout.flush()


def report_changes(results, home, intervals):
    """Prints the incremental run's cost beyond the rerun's, per step, and the trace intervals
    whose wall time differs most between the two; returns the CPU difference per step (register
    plus server) and in total."""
    changed, rerun = results["incremental run"], results["rerun, nothing changed"]
    walls = [step_shares(home / "trace-incremental.txt")[0], step_shares(home / "trace-rerun.txt")[0]]
    print(f"\n{'incremental beyond rerun':<30}{'wall s':>9}{'cpu s':>9}{'server':>9}{'both':>9}")
    extra = {}
    for step in STEPS:
        register = changed["step_cpu"][step] - rerun["step_cpu"][step]
        server = changed["step_server_cpu"][step] - rerun["step_server_cpu"][step]
        extra[step] = register + server
        print(f"{step:<30}{walls[0][step] - walls[1][step]:>9.2f}{register:>9.2f}{server:>9.2f}"
              f"{extra[step]:>9.2f}")
    register = changed["cpu"] - rerun["cpu"]
    server = changed["server_cpu"] - rerun["server_cpu"]
    extra["total"] = register + server
    print(f"{'total':<30}{changed['seconds'] - rerun['seconds']:>9.2f}{register:>9.2f}"
          f"{server:>9.2f}{extra['total']:>9.2f}")
    spans = [interval_seconds(home / "trace-incremental.txt"),
             interval_seconds(home / "trace-rerun.txt")]
    differences = sorted(((spans[0].get(n, 0.0) - spans[1].get(n, 0.0), n)
                          for n in spans[0].keys() | spans[1].keys()),
                         key=lambda d: -abs(d[0]))
    if intervals:
        print("\ntrace intervals that differ most (wall ms: incremental, rerun, difference)")
    for difference, name in differences[:intervals]:
        print(f"{1000 * spans[0].get(name, 0.0):>7.0f}{1000 * spans[1].get(name, 0.0):>7.0f}"
              f"{1000 * difference:>7.0f}  {name}")
    sys.stdout.flush()
    return extra


def compare_scales(extras):
    """The incremental run's CPU beyond the rerun's at each scale, side by side."""
    print("\n== incremental run beyond the rerun, CPU seconds of register + server")
    print(f"{'step':<30}" + "".join(f"{'scale ' + str(scale):>12}" for scale in extras))
    for step in STEPS + ["total"]:
        print(f"{step:<30}" + "".join(f"{extra[step]:>12.2f}" for extra in extras.values()))


def bench_arguments(description, keep_help):
    """The options every whole-run benchmark takes: the build, the world cache, kept folders."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--build", default="build")
    parser.add_argument("--cache", default=os.environ.get("KIVTAB_BENCH_CACHE",
                                                          "/tmp/kivtab-bench-worlds"))
    parser.add_argument("--keep", help=keep_help)
    return parser


def main():
    parser = bench_arguments(__doc__.splitlines()[0],
                             "leave each program directory below this folder")
    parser.add_argument("--scale", type=int, action="append")
    parser.add_argument("--intervals", type=int, default=12,
                        help="trace intervals to list whose time differs most between the "
                             "incremental run and the rerun")
    args = parser.parse_args()
    Path(args.cache).mkdir(parents=True, exist_ok=True)
    if args.keep:
        Path(args.keep).mkdir(parents=True, exist_ok=True)
    extras = {scale: measure(args, scale) for scale in args.scale or [20]}
    if len(extras) > 1:
        compare_scales(extras)


if __name__ == "__main__":
    main()
