"""Checks that a 32-bit Windows program moves its stack pointer down by less
than a page at a time, or else probes each page:   check_stack_probes.py EXE

Windows commits a thread's stack as it grows, one page at a time: the page
below the committed part is a guard page, and touching it commits it and
moves the guard down. Code that moves the stack pointer a page or more
below the last page it touched can skip the guard page and fault. The
shipped program is built without MinGW's __chkstk_ms and with GCC's
-fstack-clash-protection instead, which reserves a large frame as
"sub $0x1000,%esp" followed by "orl $0x0,(%esp)" per page. This check reads
the disassembly and accepts a downward move of the stack pointer only when
it is smaller than a page, or is exactly one page and the next instruction
touches the new top of the stack; a move by a register's value (a dynamic
allocation) is refused outright. Moves back up (add, and the epilogues' lea
and mov from the frame) are not checked.

Exits 0 when every move passes, 1 with the offending instructions otherwise.
"""
import re
import subprocess
import sys

PAGE = 0x1000
PROBE = re.compile(r"^orl?\s+\$0x0,\(%esp\)$")


def instructions(exe: str):
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", exe],
                             check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        found = re.match(r"^\s*([0-9a-f]+):\s+(.*?)\s*$", line)
        if found:
            yield found.group(1), re.sub(r"\s+", " ", found.group(2))


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[1], file=sys.stderr)
        return 2
    listing = list(instructions(sys.argv[1]))
    problems = []
    for index, (address, text) in enumerate(listing):
        following = listing[index + 1][1] if index + 1 < len(listing) else ""
        sub = re.match(r"^sub \$0x([0-9a-f]+),%esp$", text)
        add = re.match(r"^add \$0x([0-9a-f]+),%esp$", text)
        lea = re.match(r"^lea -0x([0-9a-f]+)\(%\w+\),%esp$", text)
        if sub and int(sub.group(1), 16) >= PAGE:
            if int(sub.group(1), 16) != PAGE or not PROBE.match(following):
                problems.append((address, text))
        elif add and int(add.group(1), 16) >= 0x80000000 and 0x100000000 - int(add.group(1), 16) >= PAGE:
            problems.append((address, text))
        elif lea and int(lea.group(1), 16) >= PAGE:
            problems.append((address, text))
        elif re.match(r"^sub %\w+,%esp$", text):
            problems.append((address, text))
    for address, text in problems:
        print("check_stack_probes: unprobed stack move at %s: %s" % (address, text))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
