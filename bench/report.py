"""Turns the measurements of bench/run.sh into the results section of
BENCHMARKS.md.

    python3 bench/report.py RESULTS_DIR                       # print the section
    python3 bench/report.py RESULTS_DIR --write BENCHMARKS.md  # replace it in the file

The section lies between the BEGIN and END marker lines; the rest of the file
is left as it is.
"""
import json
import statistics
import sys
from pathlib import Path

BEGIN = "<!-- results: begin (written by bench/run.sh, do not edit by hand) -->"
END = "<!-- results: end -->"
TOOL_ROWS = [("groups-1", "`groups`, 1 group"), ("groups-50", "`groups`, 50 groups"),
             ("groups-50-graph", "`groups`, 50 groups, `--graph`"), ("release", "`release`")]
MEMORY_LIMIT_KB = 64 * 1024
SPEEDUP_TARGET = 50
LISTING_LIMIT_S = 2.0
GENERATOR_LIMIT_S = 0.050
READING_FLOOR_LIMIT = 1.5


def hyperfine(results, pattern):
    """name -> (median, min, max) in seconds over every run in the hyperfine
    exports whose file names match `pattern` (one per round)."""
    times = {}
    for path in sorted(results.glob(pattern)):
        for result in json.loads(path.read_text())["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    return {name: (statistics.median(t), min(t), max(t)) for name, t in times.items()}


def cpu_times(results, pattern):
    """name -> median over the rounds of the mean user + system time, which
    other work on the machine changes much less than the elapsed time."""
    cpu = {}
    for path in sorted(results.glob(pattern)):
        for result in json.loads(path.read_text())["results"]:
            cpu.setdefault(result["command"], []).append(result["user"] + result["system"])
    return {name: statistics.median(values) for name, values in cpu.items()}


def peaks(path):
    """name -> largest peak resident set in KB; lines 'name KB' or 'name:KB'."""
    out = {}
    if path.exists():
        for line in path.read_text().split("\n"):
            parts = line.replace(":", " ").split()
            if len(parts) == 2 and parts[1].isdigit():
                out[parts[0]] = max(out.get(parts[0], 0), int(parts[1]))
    return out


def seconds(value):
    if value is None:
        return "n/a"
    if value >= 10:
        return f"{value:.1f} s"
    if value >= 0.1:
        return f"{value:.2f} s"
    if value >= 0.001:
        return f"{value * 1000:.1f} ms"
    return f"{value * 1e6:.0f} µs"


def plural(count, noun):
    return f"{count} {noun}" + ("" if str(count) == "1" else "s")


def mib(kb):
    return "n/a" if kb is None else f"{kb / 1024:.0f} MiB"


def yes(ok):
    return "yes" if ok else "**no**"


class Environment:
    def __init__(self, results, size):
        self.size = size
        self.times = {**hyperfine(results, f"{size}-tool-*.json"), **hyperfine(results, f"{size}-peer-*.json")}
        self.rss = {**peaks(results / f"{size}-rss.txt"), **peaks(results / f"{size}-peer-rss.txt")}
        self.cpu = {**cpu_times(results, f"{size}-tool-*.json"), **cpu_times(results, f"{size}-peer-*.json")}

    def median(self, name):
        return self.times[name][0] if name in self.times else None

    def floor(self):
        query, cat = self.median("query"), self.median("cat")
        return None if query is None or cat is None else query + cat

    def reading_floor(self, times=None):
        """The interpreter query plus the least reader (bench/metadata_floor.c):
        what any tool reading this environment pays. `times` is median or CPU."""
        times = times or self.median
        query, reader = times("query"), times("reader")
        return None if query is None or reader is None else query + reader


def machine(results):
    info = {}
    for line in (results / "machine.txt").read_text().split("\n"):
        if "=" in line:
            key, value = line.split("=", 1)
            info[key] = value
    return info


def target_rows(envs, diamonds, micro):
    large = envs[-1]
    floor = large.floor()
    json_peer = large.median("pipdeptree-json")
    rows = []
    for name, label in (("groups-50", "`groups`, 50 groups"), ("release", "`release`")):
        t = large.median(name)
        if t is None:
            continue
        rows.append((f"{label} at most the floor ({seconds(floor)})",
                     f"{seconds(t)} = {t / floor:.2f} x floor" if floor else seconds(t),
                     yes(floor is not None and t <= floor)))
        if json_peer:
            cpu, cpu_peer = large.cpu.get(name), large.cpu.get("pipdeptree-json")
            in_cpu = f" (CPU time: {cpu_peer / cpu:.0f}x)" if cpu and cpu_peer else ""
            rows.append((f"{label} at least {SPEEDUP_TARGET}x faster than pipdeptree `--json` ({seconds(json_peer)})",
                         f"{json_peer / t:.0f}x{in_cpu}", yes(json_peer / t >= SPEEDUP_TARGET)))
        kb = large.rss.get(name)
        rows.append((f"{label}: peak memory under 64 MiB", mib(kb), yes(kb is not None and kb < MEMORY_LIMIT_KB)))
    reading = large.reading_floor()
    t = large.median("groups-50")
    if reading and t:
        cpu, cpu_floor = large.cpu.get("groups-50"), large.reading_floor(large.cpu.get)
        in_cpu = f"; CPU time {cpu / cpu_floor:.2f} x" if cpu and cpu_floor else ""
        rows.append((f"`groups`, 50 groups at most {READING_FLOOR_LIMIT}x the reading floor (query + "
                     f"least reader, {seconds(reading)})", f"{seconds(t)} = {t / reading:.2f} x{in_cpu}",
                     yes(t <= READING_FLOOR_LIMIT * reading)))
    small = next((e for e in envs if e.size == 2000), None)
    if small is not None and large.size > small.size:
        growth = large.size / small.size
        for name, label in (("groups-50", "`groups`, 50 groups"), ("release", "`release`")):
            a, b = small.median(name), large.median(name)
            if a and b:
                rows.append((f"{label}: time grows linearly from {small.size:,} to {large.size:,} distributions",
                             f"x{b / a:.1f} for x{growth:.0f} distributions", yes(b / a <= growth * 1.1)))
    listing = diamonds.get("listing")
    if listing:
        rows.append((f"diamond chain: the layered listing written in under {LISTING_LIMIT_S:.0f} s",
                     seconds(listing[0]), yes(listing[0] < LISTING_LIMIT_S)))
    if micro is not None:
        rows.append(("diamond chain: the group generator under 50 ms (`GroupGenerator::generate_group`)",
                     seconds(micro), yes(micro < GENERATOR_LIMIT_S)))
    return rows


def micro_median(results):
    path = results / "diamonds-micro.json"
    if not path.exists():
        return None
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    medians = [b["real_time"] * scale[b["time_unit"]] for b in json.loads(path.read_text())["benchmarks"]
               if b.get("aggregate_name") == "median"]
    return medians[0] if medians else None


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return lines


def measurement_rows(envs):
    large = envs[-1]
    floor, json_peer = large.floor(), large.median("pipdeptree-json")
    rows = []
    for name, label in TOOL_ROWS + [("query", "floor: the interpreter query"),
                                    ("reader", "floor: the least reader (`bench/metadata_floor.c`)"),
                                    ("cat", "floor: `cat` of every METADATA"), (None, "**floor** (query + `cat`)"),
                                    ("pipdeptree-json", "peer: pipdeptree `--json`"),
                                    ("pipdeptree-text", "peer: pipdeptree (text)")]:
        cells = [label]
        for env in envs:
            cells.append(seconds(env.floor() if name is None else env.median(name)))
        t = floor if name is None else large.median(name)
        cells.append(seconds(large.cpu.get(name)) if name else "")
        cells.append(mib(large.rss.get(name)) if name else "")
        cells.append(f"{t / floor:.2f}" if t and floor else "")
        cells.append(f"{json_peer / t:.0f}x" if t and json_peer and not (name or "").startswith("pipdeptree") else "")
        rows.append(cells)
    return rows


def per_distribution_rows(envs):
    rows = []
    for name, label in TOOL_ROWS:
        cells = [label]
        for env in envs:
            t, query = env.median(name), env.median("query")
            cells.append(f"{(t - query) / env.size * 1e6:.0f} µs" if t and query else "n/a")
        rows.append(cells)
    return rows


def section(results):
    info = machine(results)
    sizes = [int(s) for s in info.get("sizes", "").split()]
    envs = [Environment(results, size) for size in sizes]
    diamonds = hyperfine(results, "diamonds-time-*.json")
    diamond_rss = peaks(results / "diamonds-rss.txt")
    micro = micro_median(results)
    large = envs[-1]
    out = [BEGIN, "", "## Results", ""]
    out.append(f"Measured by `bench/run.sh` at commit {info.get('commit')} on {info.get('cpu')}, "
               f"{info.get('cores')} cores, {info.get('memory')} of memory, Linux {info.get('kernel')}; "
               f"{info.get('python')} (the venvs' interpreter), pipdeptree {info.get('pipdeptree')} from Debian, "
               f"{info.get('hyperfine')}. Times are medians of {info.get('runs')} runs, taken in "
               f"{plural(info.get('rounds'), 'round')} that each time every command (after one warm-up run) "
               f"and then run pipdeptree once, so pipdeptree's medians are of {plural(info.get('rounds'), 'run')}; the "
               f"page cache is warm. Peak memory is the maximum resident set (`/usr/bin/time -v`).")
    out += ["", f"### Targets ({large.size:,} distributions; chain of 20 diamonds)", ""]
    out += table(["Target", "Measured", "Met"], target_rows(envs, diamonds, micro))
    out += ["", "### Every command on every environment", ""]
    header = ["Command"] + [f"{env.size:,}" for env in envs] + [
        f"CPU time, user + system ({large.size:,})", f"peak memory ({large.size:,})", f"x floor ({large.size:,})", f"pipdeptree `--json` / this ({large.size:,})"]
    out += table(header, measurement_rows(envs))
    out += ["", "Time per distribution beyond the interpreter query (linear growth shows as a flat row):", ""]
    out += table(["Command"] + [f"{env.size:,}" for env in envs], per_distribution_rows(envs))
    lines_file = results / "diamonds-listing-lines.txt"
    listed = int(lines_file.read_text().split()[0]) if lines_file.exists() else None
    out += ["", "### Chain of 20 diamonds", ""]
    rows = [("`groups -g chain:top`: the layered listing "
             f"({listed - 3:,} package lines)" if listed else "`groups -g chain:top`",
             seconds(diamonds.get("listing", (None,))[0]), mib(diamond_rss.get("listing"))),
            ("`groups -g chain:top --graph`: the tree", seconds(diamonds.get("graph", (None,))[0]),
             mib(diamond_rss.get("graph"))),
            ("`release` as a whole process (its groups reach the chain; interpreter query included)",
             seconds(diamonds.get("release", (None,))[0]), mib(diamond_rss.get("release"))),
            ("the interpreter query alone", seconds(diamonds.get("query", (None,))[0]), ""),
            ("`GroupGenerator::generate_group` on the chain's map (in process)", seconds(micro), "")]
    out += table(["What", "Time", "Peak memory"], rows)
    out += ["", "Output written into a pipe that hyperfine drains.", ""]
    state = (results / "machine-state.txt")
    if state.exists():
        out += ["What else ran on the machine (load averages and the busiest processes, sampled before "
                "each block):", "", "```"] + state.read_text().rstrip().split("\n") + ["```", ""]
    out.append(END)
    return "\n".join(out) + "\n"


def main():
    results = Path(sys.argv[1])
    text = section(results)
    if len(sys.argv) == 4 and sys.argv[2] == "--write":
        target = Path(sys.argv[3])
        document = target.read_text()
        if BEGIN not in document or END not in document:
            sys.exit(f"{target}: the results markers are missing")
        head, rest = document.split(BEGIN, 1)
        tail = rest.split(END, 1)[1]
        target.write_text(head + text.rstrip("\n") + tail)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
