#!/usr/bin/env python3
"""Peak resident memory of one twinsift-cli scan, per file scanned.

    bench/peak-memory.py [--sizes 50000,100000,200000] [--runs 3] [--shape home|flat]
                         [--base /tmp] [--cli build/src/cli/twinsift-cli]

For each size the tree is made once (bench/make-tree.py, fixed seed) under --base as
twinsift-mem-<shape>-<size>, or reused when it is there. Each run is
    /usr/bin/time -v twinsift-cli scan --quiet TREE
with an empty cache and empty settings (XDG_CACHE_HOME and XDG_CONFIG_HOME are new
empty folders), that is: the full-content check on and the cache filled as a user's first
scan fills it. The table shows the median peak (GNU time's maximum resident set size),
the files the scan reported, the bytes per file, and the bytes per file added since the
previous size. The page cache is warmed by one unmeasured run of each size first.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def make_tree(base, shape, files):
    tree = os.path.join(base, f"twinsift-mem-{shape}-{files}")
    if not os.path.isdir(tree):
        subprocess.run([sys.executable, os.path.join(HERE, "make-tree.py"), "--shape", shape, "--files",
                        str(files), tree], check=True)
    return tree


def scan_once(cli, tree):
    """Peak resident bytes and the files scanned, by one scan with empty cache and settings."""
    with tempfile.TemporaryDirectory(prefix="twinsift-mem-") as home:
        env = dict(os.environ)
        for name in ("XDG_CACHE_HOME", "XDG_CONFIG_HOME"):
            env[name] = os.path.join(home, name.lower())
            os.mkdir(env[name])
        run = subprocess.run(["/usr/bin/time", "-v", cli, "scan", "--quiet", tree], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        sys.exit(f"twinsift-cli failed ({run.returncode}):\n{run.stderr[-2000:]}")
    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)
    scanned = re.search(r"^(\d+) files scanned", run.stdout, re.MULTILINE)
    if not peak or not scanned:
        sys.exit("no peak or file count in the output of the scan")
    return int(peak.group(1)) * 1024, int(scanned.group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", default="50000,100000,200000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--shape", choices=("home", "flat"), default="home")
    parser.add_argument("--base", default=tempfile.gettempdir())
    parser.add_argument("--cli", default=os.path.join(HERE, "..", "build", "src", "cli", "twinsift-cli"))
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("--runs must be at least 1")

    print("| files scanned | peak (median of %d) | per file | per added file |" % args.runs)
    print("|---:|---:|---:|---:|")
    previous = None
    for size in (int(s) for s in args.sizes.split(",")):
        tree = make_tree(args.base, args.shape, size)
        scan_once(args.cli, tree)  # warms the page cache
        runs = [scan_once(args.cli, tree) for _ in range(args.runs)]
        peak = statistics.median(p for p, _ in runs)
        files = runs[0][1]
        added = "—"
        if previous and files > previous[1]:
            added = "%.0f B" % ((peak - previous[0]) / (files - previous[1]))
        print("| %d | %.1f MB | %.0f B | %s |" % (files, peak / 1e6, peak / files, added), flush=True)
        previous = (peak, files)


if __name__ == "__main__":
    main()
