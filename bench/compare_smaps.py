#!/usr/bin/env python3
"""Where two processes' memory differs, mapping by mapping.

Usage: bench/compare_smaps.py BASE.smaps OTHER.smaps [ROWS]

Reads two copies of /proc/PID/smaps (bench/measure_app.sh keeps them with TANDRILL_SMAPS_DIR) and
prints, per file or kind of anonymous memory, the resident size (Rss) and the private dirty part of
both and their difference, largest difference first, in KiB. Anonymous mappings are told apart by
their size: glibc's per-thread malloc arenas reserve 64 MiB (a used part followed by an
inaccessible rest), thread stacks 8 MiB.
"""

import collections
import re
import sys

HEADER = re.compile(r"^([0-9a-f]+)-([0-9a-f]+) (\S+) \S+ \S+ \d+\s*(.*)$")
MIB = 1024 * 1024


def read(path):
    mappings = []  # [start, end, perms, name, Counter]
    with open(path, encoding="utf-8", errors="replace") as smaps:
        for line in smaps:
            header = HEADER.match(line)
            if header:
                mappings.append([int(header.group(1), 16), int(header.group(2), 16), header.group(3),
                                 header.group(4).strip(), collections.Counter()])
                continue
            field, _, value = line.partition(":")
            if mappings and field in ("Rss", "Private_Dirty", "Pss"):
                mappings[-1][4][field] += int(value.split()[0])
    totals = collections.defaultdict(collections.Counter)
    for index, (start, end, perms, name, counts) in enumerate(mappings):
        if not name:
            following = mappings[index + 1] if index + 1 < len(mappings) else None
            arena = (perms.startswith("rw") and following and not following[3] and following[2] == "---p"
                     and following[0] == end and following[1] - start == 64 * MIB)
            if arena:
                name = "[anon: malloc arena]"
            elif 8 * MIB <= end - start <= 8 * MIB + 64 * 1024:
                name = "[anon: thread stack]"
            elif perms == "---p":
                name = "[anon: reserved, not in memory]"
            else:
                name = "[anon]"
        totals[name].update(counts)
    return totals


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    base, other = read(sys.argv[1]), read(sys.argv[2])
    rows = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    names = set(base) | set(other)
    diff = sorted(names, key=lambda n: other[n]["Rss"] - base[n]["Rss"], reverse=True)
    print(f"{'mapping':60} {'Rss':>7} {'Rss':>7} {'+Rss':>7} {'PrivD':>7} {'PrivD':>7} {'+PrivD':>7}")
    for name in diff[:rows]:
        b, o = base[name], other[name]
        print(f"{name[-60:]:60} {b['Rss']:7} {o['Rss']:7} {o['Rss'] - b['Rss']:7} "
              f"{b['Private_Dirty']:7} {o['Private_Dirty']:7} {o['Private_Dirty'] - b['Private_Dirty']:7}")
    total = {f: (sum(t[f] for t in base.values()), sum(t[f] for t in other.values())) for f in ("Rss", "Private_Dirty")}
    print(f"{'total':60} {total['Rss'][0]:7} {total['Rss'][1]:7} {total['Rss'][1] - total['Rss'][0]:7} "
          f"{total['Private_Dirty'][0]:7} {total['Private_Dirty'][1]:7} "
          f"{total['Private_Dirty'][1] - total['Private_Dirty'][0]:7}")


if __name__ == "__main__":
    main()
