#!/usr/bin/env python3
"""Start-up phases of the marked builds (tools/bench-startup --phases).

    phases.py DEBUG_LOG [SERVER_LOG]

DEBUG_LOG: what StartupBench --phases and the programs it started wrote to
standard error with WINEDEBUG=+pid,+debugstr: "phases-start <label>" before
each start, then that process's marks, "phase <name> @<ms since the process
was created>". SERVER_LOG: a wine server trace (WINEDEBUG=+server) of such a
run in which the marks were atom look-ups only; it gives the number of
server requests the program's main thread made since the mark before.

Prints, per program, the median time of each mark and the median number of
requests since the previous mark. The first start of each program (the
warm-up) is left out. Marks that repeat (each erase of the page, each
picture painted) are listed at their first and their last occurrence.
"""
import collections
import re
import statistics
import sys

LABELS = {
    "uninstaller": "Uninstall.exe",
    "other": "Uninstall.exe of the other commit",
    "floor": "FloorProgram.exe",
    "minimal": "MinimalDialog.exe",
}
REPEATED = {
    "U page erase",
    "U picture painted",
    "U page 101 WM_PAINT",
    "M WM_PAINT",
    "F WM_PAINT",
    "U control painting",
    "M control painting",
    "F control painting",
}


def rows_of(marks):
    """(row name, index of the mark) in order: first occurrences, and the
    last occurrence of the marks that repeat."""
    rows, seen, last = [], set(), {}
    for index, name in enumerate(marks):
        if name not in seen:
            seen.add(name)
            rows.append((name, index))
        last[name] = index
    for name in REPEATED:
        if name in last and last[name] != dict(rows)[name]:
            rows.append((name + " (last)", last[name]))
    rows.sort(key=lambda row: row[1])
    return rows


def read_timings(path):
    """label -> list of starts, each a list of (mark, ms)."""
    starts = collections.defaultdict(list)
    label, pid, current = None, None, None
    for line in open(path, errors="replace"):
        started = re.match(r"phases-start (\w+)", line.strip())
        if started:
            label, pid, current = started.group(1), None, None
            continue
        mark = re.search(r'^(?:[\d.]+:)?([0-9a-f]+):[0-9a-f]+:\w+:debugstr:\w+ "phase (.*) @([\d.]+)"', line)
        if not mark or label is None:
            continue
        if pid is None:
            pid, current = mark.group(1), []
            starts[label].append(current)
        if mark.group(1) == pid:
            current.append((mark.group(2), float(mark.group(3))))
    return starts


def read_requests(path):
    """label -> list of starts, each a list of (mark, requests since the mark before)."""
    starts = collections.defaultdict(list)
    pending_label, owner, counts = None, {}, {}
    for line in open(path, errors="replace"):
        request = re.match(r"^([0-9a-f]{4}): (\w+)\((.*)$", line)
        if not request or request.group(3).startswith(")"):
            continue
        thread, name, rest = request.groups()
        atom = re.search(r'name=L"(phases-start \w+|phase [^"]*)"', rest) if name == "find_atom" else None
        if atom and atom.group(1).startswith("phases-start "):
            # The programs started before have ended: thread ids may come again.
            pending_label, owner, counts = atom.group(1).split()[1], {}, {}
            continue
        if atom:
            # A thread's first mark after a start makes it that start's
            # main thread; its requests so far count towards that mark.
            if thread not in owner and pending_label:
                owner[thread] = pending_label
                starts[pending_label].append([])
                pending_label = None
            if thread in owner:
                starts[owner[thread]][-1].append((atom.group(1)[len("phase "):], counts.get(thread, 0)))
                counts[thread] = 0
            continue
        counts[thread] = counts.get(thread, 0) + 1
    return starts


def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    timings = read_timings(sys.argv[1])
    requests = read_requests(sys.argv[2]) if len(sys.argv) > 2 else {}
    for label in ("uninstaller", "other", "floor", "minimal"):
        runs = timings.get(label, [])[1:]
        if not runs:
            continue
        counted = requests.get(label, [])[1:]
        print(f"{LABELS[label]}: {len(runs)} starts" + (f", {len(counted)} counted" if counted else ""))
        print(f"  {'ms since the process was created (median)':58s} {'ms':>7s} {'requests':>9s}")
        for name, index in rows_of([mark for mark, _ in runs[0]]):
            base = name[: -len(" (last)")] if name.endswith(" (last)") else name
            times = []
            for run in runs:
                found = [ms for mark, ms in run if mark == base]
                if found:
                    times.append(found[-1] if name.endswith(" (last)") else found[0])
            # Requests since the mark listed before this one.
            request_counts = []
            for run in counted:
                marks = [mark for mark, _ in run]
                rows = rows_of(marks)
                position = [i for n, i in rows if n == name]
                previous = [i for n, i in rows if i < (position[0] if position else -1)]
                if position:
                    start = previous[-1] + 1 if previous else 0
                    request_counts.append(sum(count for _, count in run[start : position[0] + 1]))
            shown = f"{median(request_counts):9.0f}" if request_counts else f"{'':9s}"
            print(f"  {name[2:]:58s} {median(times):7.1f} {shown}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
