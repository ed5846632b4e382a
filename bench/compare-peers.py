#!/usr/bin/env python3
"""Times twinsift-cli against jdupes, rmlint and fdupes on generated trees, and checks
that Twinsift's exact groups are jdupes' groups seen through Twinsift's rules.

    bench/compare-peers.py [--sizes 50000,100000] [--runs 5] [--shape flat|home]
                           [--scenarios warm,loaded,cold,rescan] [--tools ...] [--images]

For each size the tree is made once (bench/make-tree.py, fixed seed) under --base. Each
scenario then runs every tool once unmeasured (to warm the page cache, or in rescan to
fill Twinsift's own cache), then --runs rounds run each tool once, the order rotating from
round to round so that no tool always follows the same one. Each run is measured by GNU
time (wall, user and system time, peak resident memory); the tables show the medians and
Twinsift's ratio to each other tool (below 1: Twinsift needs less).

The scenarios:
  warm    an idle machine (as idle as it is), page cache warm;
  loaded  the same with two CPU-bound processes at normal priority running throughout;
  cold    the page cache dropped before every run of every tool (as root:
          sync; echo 3 > /proc/sys/vm/drop_caches), no unmeasured run;
  rescan  Twinsift's second scan of the unchanged tree, its own file cache filled by the
          first, beside its first scan with an empty cache, jdupes' own second run and
          the walk floor (find TREE -printf '%s %T@\n'); Twinsift's groups must be the
          same with and without its cache.
Every Twinsift run but rescan's second scan has an empty cache: XDG_CACHE_HOME is a new
empty folder for each run. The cache stays on, so such a run pays for filling it, as a
user's first scan does.

Every tool runs at its defaults, as a user would start it:
  twinsift-cli scan --json TREE   (settings from a private, empty config folder)
  jdupes -r TREE
  rmlint TREE                      (its rmlint.sh and rmlint.json go to a temporary folder)
  fdupes -r TREE

The group check (after the warm scenario): jdupes' groups, cleared of hidden items, the
contents of packages, empty files, symbolic links and images, and split by Twinsift's
category of each name's extension, must equal Twinsift's exact groups outside the Images
and Packages categories (similar-image groups and whole packages are set aside).
"""

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOLS = ["twinsift", "jdupes", "rmlint", "fdupes"]
SCENARIOS = ["warm", "loaded", "cold", "rescan"]


def fail(message):
    sys.exit("compare-peers: " + message)


# --- setup ---------------------------------------------------------------------------


def ensure_peers():
    missing = [t for t in ("jdupes", "rmlint", "fdupes") if not shutil.which(t)]
    if missing or not os.access("/usr/bin/time", os.X_OK):
        subprocess.run([os.path.join(ROOT, "scripts", "install-deps.sh"), "--bench"], check=True)


def ensure_cli(build):
    """The command-line tool of an optimised build in `build` (Release, or the project's default
    RelWithDebInfo), configured as Release and built when needed."""
    cache = os.path.join(build, "CMakeCache.txt")
    if os.path.exists(cache):
        with open(cache) as f:
            kind = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", f.read(), re.M)
        # An empty type is the project's default, RelWithDebInfo (optimised, with symbols).
        if not kind or kind.group(1) not in ("Release", "RelWithDebInfo", ""):
            fail("%s is not an optimised build; pass --build-dir for another folder" % build)
    else:
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DTWINSIFT_BUILD_APP=OFF", "-DTWINSIFT_BUILD_TESTS=OFF"], check=True,
                       stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "twinsift-cli"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build, "src", "cli", "twinsift-cli")


def make_tree(base, files, images, shape):
    kind = "images" if images else "plain"
    tree = os.path.join(base, "%s-%d" % (kind, files) if shape == "flat" else "%s-%s-%d" % (kind, shape, files))
    command = [sys.executable, os.path.join(ROOT, "bench", "make-tree.py"), tree, "--files", str(files)]
    command += ["--shape", shape] if shape != "flat" else []
    subprocess.run(command + (["--images"] if images else []), check=True)
    # rmlint syncs every candidate file: unwritten pages of a fresh tree would be charged to it.
    os.sync()
    return tree


# --- running -------------------------------------------------------------------------


def drop_caches():
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


class Load:
    """Two CPU-bound processes at the normal priority while it lives."""

    def __init__(self, count=2):
        self.count = count
        self.processes = []

    def __enter__(self):
        spin = "import os\nos.setpriority(os.PRIO_PROCESS, 0, 0)\nwhile True:\n    pass\n"
        self.processes = [subprocess.Popen([sys.executable, "-c", spin]) for _ in range(self.count)]
        return self

    def __exit__(self, *exc):
        for process in self.processes:
            process.kill()
            process.wait()


class Runner:
    def __init__(self, cli, work):
        self.cli = cli
        self.work = work
        self.config = os.path.join(work, "config")  # empty: the defaults
        self.cache = os.path.join(work, "cache")  # Twinsift's own cache in rescan
        os.makedirs(self.config, exist_ok=True)
        self.before_run = None  # called before every measured or warming run (cold)

    def command(self, tool, tree):
        """(argv, cwd, env) of one tool's run over tree. Tools: the four, "twinsift-cached" (its
        cache in work/cache kept from run to run) and "find" (the walk floor)."""
        env = dict(os.environ)
        if tool in ("twinsift", "twinsift-cached"):
            env["XDG_CONFIG_HOME"] = self.config
            argv = [self.cli, "scan", "--json"]
            if tool == "twinsift-cached":
                env["XDG_CACHE_HOME"] = self.cache
            else:
                env["XDG_CACHE_HOME"] = tempfile.mkdtemp(prefix="cache-", dir=self.work)
            return argv + [tree], self.work, env
        if tool == "jdupes":
            return ["jdupes", "-r", tree], self.work, env
        if tool == "rmlint":
            out = os.path.join(self.work, "rmlint")
            os.makedirs(out, exist_ok=True)
            return ["rmlint", tree], out, env  # rmlint writes rmlint.sh and rmlint.json here
        if tool == "fdupes":
            return ["fdupes", "-r", tree], self.work, env
        if tool == "find":
            return ["find", tree, "-printf", "%s %T@\n"], self.work, env
        raise ValueError(tool)

    def run(self, tool, tree):
        """One measured run: (wall s, user s, system s, peak KB); its output stays in work/TOOL.out."""
        argv, cwd, env = self.command(tool, tree)
        if self.before_run:
            self.before_run()
        measure = os.path.join(self.work, "time.txt")
        out = os.path.join(self.work, tool + ".out")
        with open(out, "wb") as stdout:
            done = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", measure] + argv, cwd=cwd, env=env,
                                  stdout=stdout, stderr=subprocess.DEVNULL)
        if env.get("XDG_CACHE_HOME", "").startswith(os.path.join(self.work, "cache-")):
            shutil.rmtree(env["XDG_CACHE_HOME"], ignore_errors=True)
        # rmlint answers 1 when it found lint; anything else is a failure.
        if done.returncode not in (0, 1) or (tool != "rmlint" and done.returncode != 0):
            fail("%s failed (exit status %d): %s" % (tool, done.returncode, " ".join(argv)))
        with open(measure) as f:
            fields = f.read().split()[-4:]
        wall, user, system, peak = float(fields[0]), float(fields[1]), float(fields[2]), int(fields[3])
        return wall, user, system, peak


def measure(runner, tree, runs, tools, warm=True):
    if warm:
        for tool in tools:  # warms the cache (fills Twinsift's own in rescan); not counted
            runner.run(tool, tree)
    samples = {tool: [] for tool in tools}
    load = [os.getloadavg()[0]]
    for i in range(runs):
        order = tools[i % len(tools):] + tools[:i % len(tools)]
        for tool in order:
            samples[tool].append(runner.run(tool, tree))
        load.append(os.getloadavg()[0])
    return samples, load


def run_scenario(scenario, runner, tree, runs, tools):
    """The samples and load averages of one scenario; the tools it ran, Twinsift first."""
    if scenario == "rescan":
        tools = ["twinsift-cached", "twinsift"] + (["jdupes"] if "jdupes" in tools else []) + ["find"]
        shutil.rmtree(runner.cache, ignore_errors=True)
        samples, load = measure(runner, tree, runs, tools)
        return tools, samples, load
    if scenario == "cold":
        runner.before_run = drop_caches
        try:
            samples, load = measure(runner, tree, runs, tools, warm=False)
        finally:
            runner.before_run = None
        return tools, samples, load
    if scenario == "loaded":
        with Load():
            samples, load = measure(runner, tree, runs, tools)
        return tools, samples, load
    return (tools,) + measure(runner, tree, runs, tools)


def medians(samples):
    wall, user, system, peak = zip(*samples)
    cpu = [u + s for u, s in zip(user, system)]
    return {"wall": statistics.median(wall), "user": statistics.median(user), "sys": statistics.median(system),
            "cpu": statistics.median(cpu), "peak": statistics.median(peak) / 1024.0}


# --- group check ---------------------------------------------------------------------


def category_lists():
    """Twinsift's extension lists, read from the category manager so that they never drift."""
    with open(os.path.join(ROOT, "src", "files", "TWCategoryManager.cpp")) as f:
        source = f.read()
    lists = {}
    for name, body in re.findall(r"arrayOf(\w+)FileType\(\)\s*\{.*?=\s*\{(.*?)\};", source, re.S):
        lists[name] = set(re.findall(r'"([^"]*)"', body))
    if set(lists) != {"Document", "Image", "Music", "Video", "Compress", "Package"}:
        fail("could not read the extension lists of TWCategoryManager.cpp")
    return lists


class Rules:
    """What Twinsift leaves out of its exact groups, and how it files the rest."""

    # The order of TWCategoryManager::categoryOfFileExtension decides extensions listed twice.
    ORDER = [("Image", "Images"), ("Compress", "Archives"), ("Document", "Documents"), ("Music", "Music"),
             ("Video", "Videos"), ("Package", "Packages")]

    def __init__(self, tree):
        self.tree = tree.rstrip("/")
        self.lists = category_lists()

    @staticmethod
    def extension(name):
        dot = name.rfind(".")
        return name[dot + 1:].lower() if dot > 0 else ""

    def category(self, path):
        ext = self.extension(os.path.basename(path))
        for key, name in self.ORDER:
            if ext in self.lists[key]:
                return name
        return "Others"

    def left_out(self, path):
        parts = os.path.relpath(path, self.tree).split(os.sep)
        if any(p.startswith(".") for p in parts):
            return "hidden"
        if any(self.extension(p) in self.lists["Package"] for p in parts[:-1]):
            return "package content"
        if os.path.islink(path):
            return "symbolic link"
        if os.path.getsize(path) == 0:
            return "empty"
        if self.category(path) == "Images":
            return "image"
        return None


def jdupes_groups(text, rules):
    groups, dropped = set(), {}
    for block in text.split("\n\n"):
        by_category = {}
        for path in filter(None, block.split("\n")):
            reason = rules.left_out(path)
            if reason:
                dropped[reason] = dropped.get(reason, 0) + 1
            else:
                by_category.setdefault(rules.category(path), []).append(path)
        groups.update(frozenset(g) for g in by_category.values() if len(g) > 1)
    return groups, dropped


def twinsift_groups(text):
    result = json.loads(text)
    groups, aside = set(), {"similar": 0, "Images": 0, "Packages": 0}
    for category in result["categories"]:
        for group in category["groups"]:
            if group["similar"]:
                aside["similar"] += 1
            elif category["name"] in ("Images", "Packages"):
                aside[category["name"]] += 1
            else:
                groups.add(frozenset(f["path"] for f in group["files"]))
    return groups, aside


def check_groups(work, tree):
    rules = Rules(tree)
    with open(os.path.join(work, "jdupes.out"), encoding="utf-8", errors="surrogateescape") as f:
        theirs, dropped = jdupes_groups(f.read(), rules)
    with open(os.path.join(work, "twinsift.out"), encoding="utf-8") as f:
        ours, aside = twinsift_groups(f.read())
    print("\nGroup check on %s:" % tree)
    print("  jdupes, after clearing and splitting: %d groups (cleared: %s)" %
          (len(theirs), ", ".join("%d %s" % (n, r) for r, n in sorted(dropped.items())) or "nothing"))
    print("  Twinsift exact groups: %d (set aside: %s)" % (len(ours), ", ".join("%d %s" % (n, k) for k, n in aside.items())))
    # Files in Twinsift's groups that it means to leave out explain a difference at once.
    stray = {}
    for group in ours:
        for path in group:
            reason = rules.left_out(path)
            if reason:
                stray[reason] = stray.get(reason, 0) + 1
    if stray:
        print("  Twinsift's groups hold files it leaves out by design: %s" %
              ", ".join("%d %s" % (n, r) for r, n in sorted(stray.items())))
    only_ours, only_theirs = ours - theirs, theirs - ours
    for label, extra in (("only Twinsift", only_ours), ("only jdupes", only_theirs)):
        for group in sorted(extra, key=sorted)[:5]:
            print("  %s: %s" % (label, " | ".join(sorted(group))))
    same = not only_ours and not only_theirs
    print("  groups %s" % ("MATCH" if same else "DIFFER (%d only Twinsift, %d only jdupes)" %
                           (len(only_ours), len(only_theirs))))
    return same


# --- report --------------------------------------------------------------------------


def table(files, tree_files, stats, load, runs, scenario="warm"):
    ours = stats[next(iter(stats))]  # Twinsift's first row: in rescan its scan with a filled cache
    lines = ["### %s, %d files (%d on disk), %d runs each, load average %.1f to %.1f" %
             (scenario, files, tree_files, runs, min(load), max(load)), "",
             "| tool | wall s | user s | sys s | CPU s | peak MB | wall ratio | CPU ratio | memory ratio |",
             "|---|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for tool, m in stats.items():
        ratio = ["—"] * 3 if m is ours else [
            "%.2f" % (ours[k] / m[k]) if m[k] else "—" for k in ("wall", "cpu", "peak")]
        lines.append("| %s | %.2f | %.2f | %.2f | %.2f | %.1f | %s |" %
                     (tool, m["wall"], m["user"], m["sys"], m["cpu"], m["peak"], " | ".join(ratio)))
    return "\n".join(lines)


def growth(all_stats):
    sizes = sorted(all_stats)
    if len(sizes) < 2:
        return ""
    head = "| tool | " + " | ".join("%d: wall / CPU s / peak MB" % s for s in sizes) + " | CPU growth |"
    lines = ["### Growth", "", head, "|---|" + "---:|" * (len(sizes) + 1)]
    for tool in all_stats[sizes[0]]:
        cells = ["%.2f / %.2f / %.0f" % (all_stats[s][tool]["wall"], all_stats[s][tool]["cpu"],
                                         all_stats[s][tool]["peak"]) for s in sizes]
        steps = ["%.2fx for %.1fx files" % (all_stats[b][tool]["cpu"] / all_stats[a][tool]["cpu"], b / a)
                 for a, b in zip(sizes, sizes[1:]) if all_stats[a][tool]["cpu"]]
        lines.append("| %s | %s | %s |" % (tool, " | ".join(cells), ", ".join(steps) or "—"))
    return "\n".join(lines)


def count_files(tree):
    return sum(len(files) for _, _, files in os.walk(tree))


def same_groups(work):
    """Whether Twinsift's groups with its cache filled are those without (rescan)."""
    with open(os.path.join(work, "twinsift.out"), encoding="utf-8") as f:
        first = twinsift_groups(f.read())[0]
    with open(os.path.join(work, "twinsift-cached.out"), encoding="utf-8") as f:
        second = twinsift_groups(f.read())[0]
    print("\nRescan: %d groups with the cache filled, %d without: %s" %
          (len(second), len(first), "the same" if first == second else "DIFFERENT"))
    return first == second


def main():
    parser = argparse.ArgumentParser(description="Twinsift against jdupes, rmlint and fdupes.")
    parser.add_argument("--sizes", default="50000", help="comma-separated file counts (default 50000)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--scenarios", default="all", help="a comma-separated subset of " + ",".join(SCENARIOS) +
                        " (default: all four)")
    parser.add_argument("--shape", choices=["flat", "home"], default="flat", help="the trees' shape (make-tree.py)")
    parser.add_argument("--images", action="store_true", help="trees with pictures (the second kind)")
    parser.add_argument("--base", default="/tmp/twinsift-peers", help="where the trees are kept")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build"), help="an optimised build folder")
    parser.add_argument("--tools", default=",".join(TOOLS), help="a subset of " + ",".join(TOOLS))
    args = parser.parse_args()
    tools = [t for t in args.tools.split(",") if t]
    if not tools or any(t not in TOOLS for t in tools) or tools[0] != "twinsift":
        fail("--tools must start with twinsift and name only " + ",".join(TOOLS))
    scenarios = SCENARIOS if args.scenarios == "all" else [s for s in args.scenarios.split(",") if s]
    if not scenarios or any(s not in SCENARIOS for s in scenarios):
        fail("--scenarios must name only " + ",".join(SCENARIOS) + " (or be 'all')")
    if args.runs < 5 and scenarios != ["warm"]:
        print("compare-peers: fewer than 5 runs: the medians are a quick look only", file=sys.stderr)
    if args.runs < 1:
        fail("--runs must be at least 1")
    if "cold" in scenarios and os.geteuid() != 0:
        fail("the cold scenario drops the page cache, which needs root")

    ensure_peers()
    cli = ensure_cli(os.path.abspath(args.build_dir))
    with open("/proc/meminfo") as f:
        memory = int(f.readline().split()[1]) / 1024 / 1024
    print("# Twinsift against its peers, %s, %d cores, %.0f GB memory, %s trees" %
          (time.strftime("%Y-%m-%d %H:%M %Z"), os.cpu_count(), memory, args.shape))
    all_stats, matched = {}, True
    for files in (int(s) for s in args.sizes.split(",")):
        tree = make_tree(args.base, files, args.images, args.shape)
        tree_files = count_files(tree)
        for scenario in scenarios:
            with tempfile.TemporaryDirectory(prefix="twinsift-peers-") as work:
                runner = Runner(cli, work)
                ran, samples, load = run_scenario(scenario, runner, tree, args.runs, tools)
                stats = {tool: medians(samples[tool]) for tool in ran}
                if scenario == "warm":
                    all_stats[files] = stats
                print("\n" + table(files, tree_files, stats, load, args.runs, scenario))
                if scenario == "warm" and "jdupes" in tools:
                    matched = check_groups(work, tree) and matched
                if scenario == "rescan":
                    matched = same_groups(work) and matched
            sys.stdout.flush()
    text = growth(all_stats)
    if text:
        print("\n" + text)
    return 0 if matched else 1


if __name__ == "__main__":
    sys.exit(main())
