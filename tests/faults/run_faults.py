#!/usr/bin/env python3
"""The removal's fault suite: every way a removal could lose or wrongly touch a file,
played against the built twinsift-cli on real files.

    tests/faults/run_faults.py path/to/twinsift-cli [CASE...]

Runs as root in a private mount namespace (it re-executes itself under `unshare -m`),
with tmpfs mounts for the cross-device cases and an overlay mount for the layer case.
Each case prints one PASS or FAIL line; the exit status is 1 when any case failed or
could not be set up (a case never skips). Races strike through TWINSIFT_TEST_BEFORE_ACT:
the CLI runs this file with --hook between its check of a file and its act on it.

Around every run the contents (sha256) of the case's folders are taken: each content
that existed before must still exist in the tree, the destination or the Trash; for runs
with --include-similar or --allow-different-content, every file the run did not check
must still be there with its content.
"""

import hashlib
import json
import os
import pty
import select
import signal
import stat
import subprocess
import sys
import tempfile
import time
import traceback
import zlib
import struct

HERE = os.path.abspath(__file__)
BOUND = 60  # seconds: a generous bound on waiting for a condition, never a measurement


class CaseFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CaseFailed(message)


# ---------------------------------------------------------------------------- files


def write(path, data, mtime=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)
    if mtime is not None:
        os.utime(path, (mtime, mtime))
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


def sha(data):
    return hashlib.sha256(data).hexdigest()


def file_hashes(*roots):
    """path -> sha256 of every regular file under the roots (links not followed)."""
    out = {}
    for root in roots:
        for folder, dirs, files in os.walk(root):
            for name in files:
                path = os.path.join(folder, name)
                st = os.lstat(path)
                if stat.S_ISREG(st.st_mode):
                    h = hashlib.sha256()
                    with open(path, "rb") as f:
                        for block in iter(lambda: f.read(1 << 20), b""):
                            h.update(block)
                    out[path] = h.hexdigest()
    return out


def png(level, variant=0):
    """A 48x32 picture; another zlib level gives other bytes of the same picture."""
    def pixel(x, y):
        if x < 24 and y < 16:
            return (200, 40 + variant, 70)
        if x >= 24 and y >= 16:
            return (30, 90, 220 - variant)
        return ((x * 5 + variant) % 256, y * 7 % 256, 128)

    raw = b"".join(b"\0" + bytes(c for x in range(48) for c in pixel(x, y)) for y in range(32))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 48, 32, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, level)) + chunk(b"IEND", b""))


def mount_tmpfs(path, size="64m"):
    os.makedirs(path, exist_ok=True)
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", path], capture_output=True, text=True)
    check(r.returncode == 0, "cannot mount a tmpfs on %s: %s" % (path, r.stderr.strip()))
    return path


def device_of(path):
    return os.stat(path).st_dev


# ---------------------------------------------------------------------------- a case


class Case:
    """One case's private world: its own HOME, XDG folders, tree and hook."""

    def __init__(self, cli, base, name):
        self.cli = cli
        self.name = name
        self.root = tempfile.mkdtemp(prefix=name + "-", dir=base)
        os.chmod(self.root, 0o755)
        self.tree = os.path.join(self.root, "tree")
        self.config = os.path.join(self.root, "config")
        self.data = os.path.join(self.root, "data")  # the Trash lives here
        self.runtime = os.path.join(self.root, "runtime")
        for d in (self.tree, self.config, self.data, self.runtime):
            os.makedirs(d, mode=0o700)
        self.keep_roots = [self.tree, self.data]  # where contents may be after a run

    def env(self, hook=None, extra=None):
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_") and not k.startswith("TWINSIFT_")}
        env.update(HOME=self.root, XDG_CONFIG_HOME=self.config, XDG_DATA_HOME=self.data,
                   XDG_CACHE_HOME=os.path.join(self.root, "cache"), XDG_RUNTIME_DIR=self.runtime,
                   XDG_STATE_HOME=os.path.join(self.root, "state"), LC_ALL="C.UTF-8")
        if hook:
            env["TWINSIFT_TEST_BEFORE_ACT"] = self.hook_program()
            env["FAULT_HOOK"] = hook
            env["FAULT_CASE"] = self.root
            env["FAULT_CLI"] = self.cli
        if extra:
            env.update(extra)
        return env

    def hook_program(self):
        path = os.path.join(self.root, "hook.sh")
        if not os.path.exists(path):
            write(path, '#!/bin/sh\nexec %s %s --hook "$@"\n' % (sys.executable, HERE))
            os.chmod(path, 0o755)
        return path

    def run(self, args, hook=None, extra_env=None, stdout=None, timeout=BOUND * 3):
        r = subprocess.run([self.cli] + args, env=self.env(hook, extra_env), stdin=subprocess.DEVNULL,
                           stdout=stdout if stdout is not None else subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=timeout)
        r.out = r.stdout.decode(errors="replace") if isinstance(r.stdout, bytes) else ""
        r.err = r.stderr.decode(errors="replace")
        failed = os.path.join(self.root, "hook-failed")
        check(not os.path.exists(failed), "the hook could not do its part:\n%s" % (
            read(failed).decode() if os.path.exists(failed) else ""))
        return r

    def remove(self, args, folders=None, hook=None, **kw):
        return self.run(["remove", "--yes", "--quiet"] + args + (folders or [self.tree]), hook=hook, **kw)

    def contents(self):
        return file_hashes(*self.keep_roots)

    def guarded(self, run, *, only_checked=False, hook_changes=()):
        """Runs `run` (returning a CLI result with --json output or None) and checks
        that no content was lost; with only_checked, that only the checked files (and
        the files the hook itself changes, `hook_changes`) went or changed."""
        before = self.contents()
        result = run()
        after = self.contents()
        lost = set(before.values()) - set(after.values())
        if only_checked:
            checked = checked_paths(result.out)
            check(checked, "the run's JSON names no checked file:\n" + result.out + result.err)
            went = [p for p, h in before.items() if after.get(p) != h and p not in checked and p not in hook_changes]
            check(not went, "files that were not checked changed or went: %s" % went)
        else:
            check(not lost, "contents were lost: %d of %d (files before: %s; stderr: %s)" %
                  (len(lost), len(set(before.values())), sorted(p for p, h in before.items() if h in lost),
                   result.err if result else ""))
        return result


def checked_paths(out):
    try:
        doc = json.loads(out)
    except ValueError:
        return set()
    return {f["path"] for c in doc["categories"] for g in c["groups"] for f in g["files"] if f["checked"]}


def json_groups(out):
    doc = json.loads(out)
    return [g for c in doc["categories"] for g in c["groups"]]


def expect(r, status, text=None, where="err"):
    check(r.returncode == status, "exit status %d, expected %d\nstdout: %s\nstderr: %s" %
          (r.returncode, status, r.out[-2000:], r.err[-2000:]))
    if text is not None:
        check(text in getattr(r, where), "%r not in std%s:\n%s" % (text, where, getattr(r, where)))


def wait_for(condition, what, bound=BOUND):
    deadline = time.monotonic() + bound
    while not condition():
        check(time.monotonic() < deadline, "gave up waiting for " + what)
        time.sleep(0.01)


# ---------------------------------------------------------------------------- hooks
# Run by the CLI (through hook.sh) with the path of the file about to be acted on.
# FAULT_CASE is the case's folder; calls.txt there counts the calls.


def hook_main(path):
    case = os.environ["FAULT_CASE"]
    calls_file = os.path.join(case, "calls.txt")
    calls = int(read(calls_file)) + 1 if os.path.exists(calls_file) else 1
    write(calls_file, str(calls))
    action = os.environ["FAULT_HOOK"]
    plan = json.loads(read(os.path.join(case, "hook.json")) or b"{}") if os.path.exists(
        os.path.join(case, "hook.json")) else {}
    cli_pid = os.getppid()

    if action == "remove-twin" or action == "overwrite-twin":
        for twin in plan["twins"] if path in plan["twins"] else []:
            if twin != path and os.path.exists(twin):
                if action == "remove-twin":
                    os.unlink(twin)
                else:
                    write(twin, read(plan["with"]))
    elif action == "replace-checked":
        write(path + ".new", read(path))
        os.rename(path + ".new", path)
    elif action == "replace-file":
        target = plan["file"]
        write(target + ".new", read(target))
        os.rename(target + ".new", target)
    elif action == "edit-kept":
        if calls == plan["at"]:
            with open(plan["kept"], "r+b") as f:  # in place: the same inode
                data = f.read()
                f.seek(0)
                f.write(bytes([data[0] ^ 0xFF]) + data[1:])
    elif action == "edit-tree":
        write(os.path.join(path, plan["file"]), "changed at the last moment")
    elif action == "second-removal":
        if calls == 1:
            env = dict(os.environ)
            del env["TWINSIFT_TEST_BEFORE_ACT"]
            args = [os.environ["FAULT_CLI"], "remove", "--yes", "--quiet"] + plan["args"]
            if plan.get("background"):
                log = open(os.path.join(case, "second.err"), "wb")
                # The second run reports its status in second.rc when it ends.
                subprocess.Popen(["sh", "-c", '"$@"; echo $? > "%s/second.rc"' % case, "sh"] + args, env=env,
                                 stdout=subprocess.DEVNULL, stderr=log, stdin=subprocess.DEVNULL, start_new_session=True)
                err = os.path.join(case, "second.err")
                wait_for(lambda: b"waiting" in read(err), "the second removal to wait for the first")
            else:
                r = subprocess.run(args, env=env, capture_output=True)
                write(os.path.join(case, "second.rc"), str(r.returncode))
                write(os.path.join(case, "second.err"), r.stderr)
    elif action == "signal-mid-copy":
        if calls == 1:
            # A watcher that strikes while the hidden copy is being written.
            subprocess.Popen([sys.executable, HERE, "--watch", str(cli_pid)], env=os.environ,
                             start_new_session=True)
            wait_for(lambda: os.path.exists(os.path.join(case, "watching")), "the watcher")
    else:
        sys.exit("unknown hook " + action)


def signal_pending(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            fields = dict(line.split(":\t", 1) for line in f.read().splitlines() if ":\t" in line)
    except (FileNotFoundError, ProcessLookupError):
        return False
    return int(fields.get("SigPnd", "0"), 16) != 0 or int(fields.get("ShdPnd", "0"), 16) != 0


def all_stopped(pid):
    """True when every thread of `pid` is stopped (or the process is gone)."""
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except FileNotFoundError:
        return True
    for task in tasks:
        try:
            with open("/proc/%d/task/%s/stat" % (pid, task)) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except (FileNotFoundError, ProcessLookupError, IndexError):
            continue
        if state not in ("T", "t", "Z", "X"):
            return False
    return True


def send(pid, number):
    try:
        os.kill(pid, number)
    except ProcessLookupError:  # it has ended already; what it left is checked after
        pass


def spin_until(condition, what, bound=5):
    """wait_for without its sleep: for the short windows of a copy in progress."""
    deadline = time.monotonic() + bound
    while not condition():
        check(time.monotonic() < deadline, "gave up waiting for " + what)


def watch_main(cli_pid):
    """Sends the case's signals to the CLI while a hidden copy is being written in the
    destination. The CLI is held with SIGSTOP while the watcher looks, so a copy that is
    fast on this machine cannot finish between the look and the signal."""
    case = os.environ["FAULT_CASE"]
    plan = json.loads(read(os.path.join(case, "hook.json")))
    dest = plan["dest"]
    write(os.path.join(case, "watching"), "")
    deadline = time.monotonic() + BOUND
    while time.monotonic() < deadline:
        try:
            names = os.listdir(dest)
        except FileNotFoundError:
            names = []
        hidden = [n for n in names if n.startswith(".")]
        if not hidden:
            continue
        struck = True
        for i, name in enumerate(plan["signals"]):
            send(cli_pid, signal.SIGSTOP)
            spin_until(lambda: all_stopped(cli_pid), "the CLI to stop")
            # Struck only while the same hidden copy is still unnamed.
            if not os.path.exists(os.path.join(dest, hidden[0])):
                struck = False
                send(cli_pid, signal.SIGCONT)
                break
            send(cli_pid, getattr(signal, name))
            send(cli_pid, signal.SIGCONT)
            # One at a time: a signal still pending would swallow the next.
            if i + 1 < len(plan["signals"]):
                spin_until(lambda: not signal_pending(cli_pid), "the signal to be taken")
        write(os.path.join(case, "struck" if struck else "missed"), hidden[0])
        return
    write(os.path.join(case, "missed"), "")


# ---------------------------------------------------------------------------- cases
# Each case function takes a Case and raises CaseFailed; the name says what must hold.


def case_exact_picture_copy_never_rests_on_a_look_alike(c):
    picture, alike = png(1), png(9)
    one = write(c.tree + "/one.png", picture)
    two = write(c.tree + "/sub/two.png", picture)
    other = write(c.tree + "/alike.png", alike)
    # The hook overwrites a twin with the look-alike's bytes, kept outside the tree.
    write(c.root + "/hook.json", json.dumps({"twins": [one, two], "with": write(c.root + "/alike.png", alike)}))
    for hook in ("remove-twin", "overwrite-twin"):
        for flags in ([], ["--include-similar"]):
            if os.path.exists(c.root + "/calls.txt"):
                os.unlink(c.root + "/calls.txt")
            # With --include-similar a look-alike may go: then only what was checked.
            r = c.guarded(lambda: c.remove(["--to", "delete", "--json"] + flags, hook=hook),
                          only_checked=bool(flags), hook_changes=(one, two))
            expect(r, 1, "no kept file of its group has its content now")
            check(picture in (read(p) for p in (one, two) if os.path.exists(p)), "the picture is gone")
            write(one, picture)
            write(two, picture)
            write(other, alike)
    # Without --include-similar the look-alike is left alone.
    r = c.guarded(lambda: c.remove(["--to", "trash", "--json"]))
    expect(r, 0)
    check(os.path.exists(other), "a merely similar picture went without --include-similar")
    check(os.path.exists(one) != os.path.exists(two), "exactly one of the two copies should have gone")


def case_include_similar_removes_only_the_checked_files(c):
    write(c.tree + "/a.png", png(1))
    write(c.tree + "/b.png", png(9))
    write(c.tree + "/c.png", png(1, variant=3))
    write(c.tree + "/notes.txt", "not a picture")
    r = c.guarded(lambda: c.remove(["--to", "delete", "--include-similar", "--json"]), only_checked=True)
    expect(r, 0, "are only similar to the images kept")
    check(len(checked_paths(r.out)) >= 1, "nothing was checked")


def case_similar_picture_stays_when_its_kept_look_alike_was_replaced(c):
    a = write(c.tree + "/a.png", png(1))
    b = write(c.tree + "/b.png", png(9))
    dry = c.remove(["--include-similar", "--dry-run", "--json"])
    expect(dry, 0)
    kept = [f["path"] for g in json_groups(dry.out) for f in g["files"] if not f["checked"]]
    check(len(kept) == 1, "expected one kept picture: " + dry.out)
    write(c.root + "/hook.json", json.dumps({"file": kept[0]}))
    r = c.guarded(lambda: c.remove(["--to", "delete", "--include-similar"], hook="replace-file"))
    expect(r, 1)
    check(os.path.exists(a) and os.path.exists(b), "a picture went although its kept look-alike was replaced")


def case_checked_file_replaced_after_the_scan_stays(c):
    a = write(c.tree + "/a/notes.txt", "the same words")
    b = write(c.tree + "/b/notes.txt", "the same words")
    for mode in ("name", "content"):
        r = c.guarded(lambda: c.remove(["--mode", mode, "--to", "delete"], hook="replace-checked"))
        expect(r, 1, "it was replaced after the scan")
        check(os.path.exists(a) and os.path.exists(b), "a replaced file was removed (%s mode)" % mode)


def case_kept_copy_edited_during_the_run_stops_the_run(c):
    paths = [write(c.tree + "/copy%d.bin" % i, b"original content " * 1000, mtime=1_600_000_000 + i) for i in range(5)]
    dry = c.remove(["--dry-run", "--json", "--rule", "3"])
    groups = json_groups(dry.out)
    check(len(groups) == 1, "expected one group: " + dry.out)
    kept = [f["path"] for f in groups[0]["files"] if not f["checked"]]
    check(len(kept) == 1, "expected one kept copy: " + dry.out)
    write(c.root + "/hook.json", json.dumps({"kept": kept[0], "at": 2}))
    r = c.guarded(lambda: c.remove(["--to", "delete", "--rule", "3"], hook="edit-kept"))
    expect(r, 1)
    survivors = [p for p in paths if os.path.exists(p) and p != kept[0]]
    check(len(survivors) == 3, "after the kept copy changed, %d copies were still removed" % (3 - len(survivors)))


def case_second_removal_with_no_wait_exits_2(c):
    write(c.tree + "/a/f.txt", "shared words")
    write(c.tree + "/b/f.txt", "shared words")
    write(c.root + "/hook.json", json.dumps({"args": ["--no-wait", "--to", "delete", c.tree]}))
    r = c.guarded(lambda: c.remove(["--to", "delete"], hook="second-removal"))
    expect(r, 0)
    check(read(c.root + "/second.rc").strip() == b"2", "the second removal exited %s: %s" %
          (read(c.root + "/second.rc"), read(c.root + "/second.err")))
    check(b"another removal is running" in read(c.root + "/second.err"), "no message from the second removal")


def case_two_removals_with_opposite_rules_keep_one_copy(c):
    a = write(c.tree + "/a/f.txt", "shared words", mtime=1_600_000_000)
    b = write(c.tree + "/b/f.txt", "shared words", mtime=1_700_000_000)
    write(c.root + "/hook.json", json.dumps({"args": ["--to", "delete", "--rule", "3", c.tree], "background": True}))

    def both():
        r = c.remove(["--to", "delete", "--rule", "2"], hook="second-removal")
        wait_for(lambda: os.path.exists(c.root + "/second.rc") and read(c.root + "/second.rc").strip(),
                 "the second removal to end")
        return r

    r = c.guarded(both)
    expect(r, 0)
    check(os.path.exists(a) or os.path.exists(b), "both copies went")


def case_links_outside_the_chosen_folders_are_never_removed(c):
    outside = os.path.join(c.root, "outside")
    c.keep_roots.append(outside)
    write(outside + "/photos/f.txt", "outside content")
    write(outside + "/photos/g.txt", "other outside content")
    write(c.tree + "/f.txt", "outside content")
    write(c.tree + "/g.txt", "other outside content")
    write(c.tree + "/g2.txt", "other outside content")
    os.symlink(outside + "/photos/f.txt", c.tree + "/f-link.txt")
    os.symlink(outside + "/photos/g.txt", c.tree + "/g-link.txt")
    before = file_hashes(outside)
    for rule in ("0", "1", "2", "3"):
        r = c.guarded(lambda: c.remove(["--to", "delete", "--rule", rule, "--json"]))
        check(r.returncode in (0, 1), "exit status %d: %s" % (r.returncode, r.err))
        check(file_hashes(outside) == before, "a file outside the chosen folders changed (rule %s)" % rule)
        marked = [f for g in json_groups(r.out) for f in g["files"] if f.get("outsideChosenFolders")]
        check(marked and all(not f["checked"] and f["linkPath"].startswith(c.tree) for f in marked),
              "the files outside are not shown unchecked with their link path: " + r.out)
        write(c.tree + "/f.txt", "outside content")
        write(c.tree + "/g.txt", "other outside content")
        write(c.tree + "/g2.txt", "other outside content")
    # A chosen folder that is itself a link still covers its own files.
    write(c.tree + "/h1.txt", "inside twice")
    write(c.tree + "/h2.txt", "inside twice")
    os.symlink(c.tree, c.root + "/tree-link")
    r = c.guarded(lambda: c.remove(["--to", "delete"], folders=[c.root + "/tree-link"]))
    expect(r, 0)
    check(os.path.exists(c.tree + "/h1.txt") != os.path.exists(c.tree + "/h2.txt"),
          "a copy inside a chosen folder given by a link was not removed")


def case_packages_are_copies_only_with_equal_trees(c):
    plist = ('<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>org.x</string>'
             '</dict></plist>')
    for root in ("a", "b", "c"):
        write(c.tree + "/%s/X.app/Info.plist" % root, plist)
    write(c.tree + "/a/X.app/MacOS/x", "build A")
    write(c.tree + "/b/X.app/MacOS/x", "build B")
    write(c.tree + "/c/X.app/MacOS/x", "build A")
    write(c.root + "/hook.json", json.dumps({"file": "MacOS/x"}))
    r = c.guarded(lambda: c.remove(["--to", "delete"], hook="edit-tree"))
    expect(r, 1, "its contents changed after the scan")
    check(os.path.exists(c.tree + "/b/X.app/MacOS/x"), "a package with other contents was removed")
    write(c.tree + "/a/X.app/MacOS/x", "build A")
    write(c.tree + "/c/X.app/MacOS/x", "build A")
    r = c.guarded(lambda: c.remove(["--to", "trash"]))
    expect(r, 0)
    check(os.path.exists(c.tree + "/b/X.app/MacOS/x"), "a package with other contents was removed")
    check(os.path.exists(c.tree + "/a/X.app") != os.path.exists(c.tree + "/c/X.app"), "no copy went")


def mount_overlay(c, relative):
    """An overlay over tree/lower at tree/merged; with `relative`, mounted from inside
    the tree with relative layer paths, so that the mount table cannot place them."""
    if relative:
        options, cwd = "lowerdir=lower,upperdir=upper,workdir=work", c.tree
    else:
        options, cwd = "lowerdir={0}/lower,upperdir={0}/upper,workdir={0}/work".format(c.tree), None
    for d in ("upper", "work"):
        subprocess.run(["rm", "-rf", os.path.join(c.tree, d)], check=True)
        os.makedirs(os.path.join(c.tree, d))
    r = subprocess.run(["mount", "-t", "overlay", "overlay", "-o", options, os.path.join(c.tree, "merged")],
                       capture_output=True, text=True, cwd=cwd)
    check(r.returncode == 0, "cannot mount an overlay: " + r.stderr)


def case_files_in_an_overlay_layer_are_never_removed(c):
    lower, merged, dest = os.path.join(c.tree, "lower"), os.path.join(c.tree, "merged"), os.path.join(c.root, "dest")
    os.makedirs(merged)
    write(lower + "/photo.jpg.txt", "only in the lower layer")
    write(lower + "/deep/notes.txt", "also only there")
    lower_before = file_hashes(lower)
    c.keep_roots = [lower, merged, c.data, dest]
    for relative in (False, True):
        for rule in ("0", "1", "2", "3"):
            for to in (["--to", "delete"], ["--to", "move", "--dest", dest]):
                subprocess.run(["rm", "-rf", dest], check=True)  # each run shows its own moves
                mount_overlay(c, relative)
                try:
                    r = c.guarded(lambda: c.remove(to + ["--rule", rule], folders=[lower, merged]))
                finally:
                    subprocess.run(["umount", merged], check=True)
                what = "(%s layer paths, rule %s, %s)" % ("relative" if relative else "absolute", rule, to[1])
                check(r.returncode in (0, 1), "exit status %d %s: %s" % (r.returncode, what, r.err))
                check(file_hashes(lower) == lower_before, "a file in the layer folder changed " + what)
                if not relative:
                    check(r.err.count("is a layer folder of the overlay mounted at") == 1,
                          "not said once that the layer folder was scanned with the overlay %s: %s" % (what, r.err))


def case_settings_and_lock_links_are_never_followed(c):
    victims = os.path.join(c.root, "victims")
    victim = write(victims + "/precious.txt", "not settings at all")
    os.makedirs(c.config + "/twinsift")
    os.symlink(victim, c.config + "/twinsift/defaults.json")
    listing = sorted(os.listdir(victims))
    r = c.run(["scan", c.tree])
    check(r.returncode in (0, 1), "scan exit status %d: %s" % (r.returncode, r.err))
    check(read(victim) == b"not settings at all", "the link's target changed")
    check(sorted(os.listdir(victims)) == listing, "something was created or renamed beside the link's target")
    aside = [n for n in os.listdir(c.config + "/twinsift") if os.path.islink(c.config + "/twinsift/" + n)]
    check(len(aside) == 1 and os.readlink(c.config + "/twinsift/" + aside[0]) == victim,
          "the link itself was not moved aside: %s" % os.listdir(c.config + "/twinsift"))
    # The lock file as a link: never followed, never created through it.
    os.symlink(victims + "/made-by-lock", c.runtime + "/twinsift-removal.lock")
    write(c.tree + "/a.txt", "twice")
    write(c.tree + "/b.txt", "twice")
    r = c.guarded(lambda: c.remove(["--to", "delete"]))
    check(sorted(os.listdir(victims)) == listing, "the lock created a file through its link")
    expect(r, 1, "the lock file is a symbolic link; it is not followed")
    check(os.path.exists(c.tree + "/a.txt") and os.path.exists(c.tree + "/b.txt"), "removed without the lock")


def setup_cross_device(c, dest_size="64m", src_size="512m"):
    mount_tmpfs(c.tree, src_size)
    dest_fs = mount_tmpfs(os.path.join(c.root, "destfs"), dest_size)
    dest = os.path.join(dest_fs, "dest")
    c.keep_roots.append(dest_fs)
    check(device_of(c.tree) != device_of(dest_fs), "the destination is on the tree's device")
    return dest


def no_partial_under_real_name(dest, sources):
    contents = set(sources.values())
    if not os.path.isdir(dest):
        return
    for folder, _, files in os.walk(dest):
        for name in files:
            p = os.path.join(folder, name)
            if not name.startswith("."):
                check(sha(read(p)) in contents, "a partial copy under a real name: %s (%d bytes)" %
                      (p, os.path.getsize(p)))


def case_cross_device_move_verifies_before_the_real_name(c):
    dest = setup_cross_device(c, dest_size="8m")
    try:
        big = os.urandom(1 << 20) * 6  # 6 MiB: does not fit twice, fits once
        write(c.tree + "/a/big.bin", big)
        write(c.tree + "/b/big.bin", big)
        write(c.tree + "/a/small.txt", "small")
        write(c.tree + "/b/small.txt", "small")
        write(c.root + "/destfs/filler", b"\0" * (3 << 20))  # room left: 5 MiB
        before = file_hashes(c.tree)
        r = c.guarded(lambda: c.remove(["--to", "move", "--dest", dest]))
        expect(r, 1)
        no_partial_under_real_name(dest, before)
        check(not [n for n in os.listdir(dest) if n.startswith(".")], "a hidden copy was left behind")
        check(os.path.exists(c.tree + "/a/big.bin") and os.path.exists(c.tree + "/b/big.bin"),
              "a copy that did not fit was removed")
        os.unlink(c.root + "/destfs/filler")
        check(visible(dest) == ["small.txt"], "in the destination: %s" % os.listdir(dest))
        write(dest + "/big.bin", "was there before")  # never replaced
        r = c.guarded(lambda: c.remove(["--to", "move", "--dest", dest]))
        expect(r, 0, "moved out of the scanned folders", "out")
        check(len(visible(dest)) == 3 and not hidden(dest), "in the destination: %s" % os.listdir(dest))
        check(read(dest + "/big.bin") == b"was there before", "a file in the destination was replaced")
    finally:
        subprocess.run(["umount", c.tree])
        subprocess.run(["umount", c.root + "/destfs"])


def interrupted_copy(c, signals, outcome):
    """A cross-device move of three large copies, struck by `signals` while the first
    hidden copy is written; `outcome(run, dest)` checks what is left."""
    dest = setup_cross_device(c, dest_size="1g", src_size="1g")
    try:
        size = 48 << 20
        for attempt in range(4):  # three copies of both sizes fit the 1 GiB source
            for f in ("calls.txt", "watching", "struck", "missed"):
                if os.path.exists(os.path.join(c.root, f)):
                    os.unlink(os.path.join(c.root, f))
            for name in ("big.bin", "big2.bin", "big3.bin"):
                data = os.urandom(1 << 20) * (size >> 20)
                write(c.tree + "/a/" + name, data)
                write(c.tree + "/b/" + name, data)
            before = file_hashes(c.tree)
            write(c.root + "/hook.json", json.dumps({"dest": dest, "signals": signals}))
            r = c.guarded(lambda: c.remove(["--to", "move", "--dest", dest], hook="signal-mid-copy"))
            wait_for(lambda: os.path.exists(c.root + "/struck") or os.path.exists(c.root + "/missed"),
                     "the watcher")
            no_partial_under_real_name(dest, before)
            if os.path.exists(c.root + "/struck"):
                outcome(r, dest)
                return
            subprocess.run(["rm", "-rf", dest, c.tree + "/a", c.tree + "/b"], check=True)
            size = 96 << 20
        raise CaseFailed("could not strike while the copy was being written (the copy was too fast)")
    finally:
        subprocess.run(["umount", c.tree])
        subprocess.run(["umount", c.root + "/destfs"])


def visible(dest):
    return sorted(n for n in os.listdir(dest) if not n.startswith(".")) if os.path.isdir(dest) else []


def hidden(dest):
    return sorted(n for n in os.listdir(dest) if n.startswith(".")) if os.path.isdir(dest) else []


def case_killed_cross_device_move_leaves_no_partial_copy_under_the_real_name(c):
    def outcome(r, dest):
        check(r.returncode == -signal.SIGKILL, "exit status %d" % r.returncode)
        check(visible(dest) == [], "a file got its real name in the destination: %s" % visible(dest))

    interrupted_copy(c, ["SIGKILL"], outcome)


def case_second_sigterm_during_a_copy_leaves_nothing_in_the_destination(c):
    def outcome(r, dest):
        check(r.returncode == 130, "exit status %d: %s" % (r.returncode, r.err))
        check(visible(dest) == [] and hidden(dest) == [], "left in the destination: %s" % os.listdir(dest))

    interrupted_copy(c, ["SIGTERM", "SIGTERM"], outcome)


def case_sighup_during_a_copy_ends_the_walk_at_the_next_file(c):
    # The step under way when the signal comes is finished, and the next step, which
    # sees the stop, still handles its own file; the walk ends there.
    def outcome(r, dest):
        check(r.returncode == 130, "exit status %d: %s" % (r.returncode, r.err))
        check(len(visible(dest)) <= 2 and hidden(dest) == [], "in the destination: %s" % os.listdir(dest))
        check("Cancelled" in r.out, "the summary does not say the run was cancelled: " + r.out)

    interrupted_copy(c, ["SIGHUP"], outcome)


def case_a_move_never_replaces_a_file_in_the_destination(c):
    dest = os.path.join(c.root, "dest")  # the same file system as the tree
    c.keep_roots.append(dest)
    write(c.tree + "/a/notes.txt", "the same words")
    write(c.tree + "/b/notes.txt", "the same words")
    write(dest + "/notes.txt", "was there before")
    r = c.guarded(lambda: c.remove(["--to", "move", "--dest", dest]))
    expect(r, 0)
    check(read(dest + "/notes.txt") == b"was there before", "a file in the destination was replaced")
    check(len(os.listdir(dest)) == 2, "in the destination: %s" % os.listdir(dest))


def case_json_output_is_one_document_with_every_failure(c):
    write(c.tree + "/a/notes.txt", "the same words")
    write(c.tree + "/b/notes.txt", "the same words")
    r = c.guarded(lambda: c.remove(["--to", "delete", "--json"], hook="replace-checked"))
    expect(r, 1)
    try:
        doc = json.loads(r.out)
    except ValueError as e:
        raise CaseFailed("standard output is not one JSON document (%s): %s" % (e, r.out))
    removal = doc.get("removal", {})
    check(removal.get("failed") == 1 and len(removal.get("failures", [])) == 1 and
          removal["failures"][0].get("reason"), "the failure is not in the JSON: " + r.out)


def case_unwritable_output_removes_nothing(c):
    write(c.tree + "/a/notes.txt", "the same words")
    write(c.tree + "/b/notes.txt", "the same words")
    before = file_hashes(c.tree)
    with open("/dev/full", "wb") as full:
        r = c.guarded(lambda: c.remove(["--to", "delete"], stdout=full))
    expect(r, 1, "nothing was removed")
    check(file_hashes(c.tree) == before, "files went although the list could not be written")


def prompt_run(c, answer):
    """remove without --yes on a pty; `answer` is typed at the prompt (\x03: Ctrl-C)."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(c.cli, [c.cli, "remove", "--to", "delete", "--quiet", c.tree], c.env())
    out = b""
    deadline = time.monotonic() + BOUND
    answered = False
    while True:
        check(time.monotonic() < deadline, "the prompt run did not end: " + out.decode(errors="replace"))
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                break
            out += chunk
        if not answered and b"[y/N]" in out:
            os.write(fd, answer)
            answered = True
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    return os.waitstatus_to_exitcode(status), out.decode(errors="replace"), answered


def case_prompt_ctrl_c_exits_130_and_no_removes_nothing(c):
    write(c.tree + "/a/notes.txt", "the same words")
    write(c.tree + "/b/notes.txt", "the same words")
    before = file_hashes(c.tree)
    for answer, status in ((b"\x03", 130), (b"n\n", 0), (b"\n", 0)):
        code, out, answered = prompt_run(c, answer)
        check(answered, "no [y/N] prompt: " + out)
        check(code == status, "answer %r: exit status %d, expected %d: %s" % (answer, code, status, out))
        check(file_hashes(c.tree) == before, "answer %r removed files" % answer)
    ran = []
    c.guarded(lambda: ran.append(prompt_run(c, b"y\n")))
    code, out, _ = ran[0]
    check(code == 0 and len(file_hashes(c.tree)) == 1, "yes did not remove the copy: %s" % out)


def case_destination_inside_a_scanned_folder_is_refused(c):
    write(c.tree + "/a/notes.txt", "the same words")
    write(c.tree + "/b/notes.txt", "the same words")
    before = file_hashes(c.tree)
    r = c.remove(["--to", "move", "--dest", c.tree + "/dest"])
    expect(r, 2, "is inside the scanned folder")
    check(file_hashes(c.tree) == before and not os.path.exists(c.tree + "/dest"), "something was moved")


def make_long_path(root):
    """A file whose path is longer than PATH_MAX, made one folder at a time."""
    fd = os.open(root, os.O_RDONLY)
    length = len(root)
    name = "d" * 200
    while length < 4200:
        os.mkdir(name, dir_fd=fd)
        nfd = os.open(name, os.O_RDONLY, dir_fd=fd)
        os.close(fd)
        fd = nfd
        length += len(name) + 1
    for n in ("deep1.txt", "deep2.txt"):
        f = os.open(n, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
        os.write(f, b"deep down")
        os.close(f)
    os.close(fd)


def case_unreadable_paths_are_counted_and_named(c):
    write(c.tree + "/ok.txt", "fine")
    make_long_path(c.tree)
    r = c.run(["scan", "--json", c.tree])
    expect(r, 1, "skipped:")
    check(json.loads(r.out)["skipped"]["count"] >= 1, "the JSON counts no skipped path: " + r.out[:2000])
    # An unreadable folder, scanned by an unprivileged user (root reads everything).
    empty_folder(c.tree)
    os.makedirs(c.tree + "/closed")
    write(c.tree + "/closed/secret.txt", "hidden away")
    write(c.tree + "/open.txt", "fine")
    os.chmod(c.tree + "/closed", 0)
    for d in (c.root, c.tree, c.config, c.data, c.runtime):
        os.chown(d, 65534, 65534)
    r = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--", c.cli, "scan",
                        c.tree], env=c.env(), capture_output=True, text=True, timeout=BOUND)
    check(r.returncode == 1 and "closed" in r.stderr,
          "unreadable folder: exit status %d, stderr: %s" % (r.returncode, r.stderr))
    os.chmod(c.tree + "/closed", 0o755)
    # A chosen folder that the ignore settings reject: a notice, exit 0.
    r = c.run(["scan", "--ignore", c.tree + "/closed", c.tree + "/closed"])
    expect(r, 0, "note:")


def empty_folder(path):
    subprocess.run(["rm", "-rf", path], check=True)
    os.makedirs(path)


def case_stop_during_a_digest_of_a_huge_file(c):
    mount_tmpfs(c.tree, "16m")
    try:
        for name in ("a.bin", "b.bin"):
            with open(os.path.join(c.tree, name), "wb") as f:
                f.truncate(1 << 40)  # 1 TiB of holes: a whole read takes minutes
        p = subprocess.Popen([c.cli, "remove", "--yes", "--progress", "--to", "delete", c.tree], env=c.env(),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)

        def reading():
            with open("/proc/%d/io" % p.pid) as f:
                io = dict(line.split(": ") for line in f.read().splitlines())
            return int(io["rchar"]) > (4 << 30)

        wait_for(reading, "the digest to read 4 GiB")
        p.send_signal(signal.SIGINT)
        try:
            out, err = p.communicate(timeout=BOUND)
        except subprocess.TimeoutExpired:
            p.kill()
            p.communicate()
            raise CaseFailed("Ctrl-C did not stop the digest of a large file")
        check(p.returncode == 130, "exit status %d after Ctrl-C: %s" % (p.returncode, err[-500:]))
        check(b"GB" in err or b"GiB" in err, "the progress never showed the bytes being read: %r" % err[-500:])
        check(len(os.listdir(c.tree)) == 2, "a file went after Ctrl-C")
    finally:
        subprocess.run(["umount", c.tree])


def case_concurrent_size_settings_never_cross(c):
    for i in range(12):
        r = c.run(["prefs", "minsizeignored", "0"])
        r = c.run(["prefs", "maxsizeignored", "1000"])
        expect(r, 0)
        env = c.env()
        a = subprocess.Popen([c.cli, "prefs", "minsizeignored", "100"], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        b = subprocess.Popen([c.cli, "prefs", "maxsizeignored", "50"], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        ra, rb = a.wait(timeout=BOUND), b.wait(timeout=BOUND)
        lo = int(c.run(["prefs", "minsizeignored"]).out)
        hi = int(c.run(["prefs", "maxsizeignored"]).out)
        check(lo < hi, "round %d: minimum %d, maximum %d" % (i, lo, hi))
        check((ra == 0) != (rb == 0), "round %d: both or neither write succeeded (%d, %d)" % (i, ra, rb))


def case_name_mode_compares_contents_first(c):
    def reset():
        empty_folder(c.tree)
        write(c.tree + "/a/notes.txt", "the same words")
        write(c.tree + "/b/notes.txt", "the same words")
        write(c.tree + "/a/report.txt", "version one")
        write(c.tree + "/b/report.txt", "version two")

    def count(name):
        return sum(os.path.exists(c.tree + "/%s/%s" % (d, name)) for d in "ab")

    reset()
    r = c.guarded(lambda: c.remove(["--mode", "name", "--to", "delete"]))
    expect(r, 0, "1 checked files differ in content from the file kept in their group")
    check(count("notes.txt") == 1 and count("report.txt") == 2, "a deletion took a file with other content")
    reset()
    r = c.guarded(lambda: c.remove(["--mode", "name", "--to", "trash"]))
    expect(r, 0, "1 checked files differ in content")
    check(count("report.txt") == 1, "the trash did not take the file with other content")
    reset()
    r = c.guarded(lambda: c.remove(["--mode", "name", "--to", "delete", "--allow-different-content", "--json"]),
                  only_checked=True)
    expect(r, 0)
    check(count("notes.txt") == 1 and count("report.txt") == 1, "--allow-different-content did not delete")


CASES = [(name[5:], fn) for name, fn in list(globals().items()) if name.startswith("case_")]

# ---------------------------------------------------------------------------- main


def main(argv):
    if len(argv) >= 2 and argv[1] == "--hook":
        try:
            hook_main(argv[2])
        except BaseException:
            # The CLI does not look at the hook's status: the case does, through this file.
            write(os.path.join(os.environ["FAULT_CASE"], "hook-failed"), traceback.format_exc())
            raise
        return 0
    if len(argv) >= 2 and argv[1] == "--watch":
        watch_main(int(argv[2]))
        return 0
    if len(argv) < 2:
        print("usage: run_faults.py TWINSIFT-CLI [CASE...]", file=sys.stderr)
        return 2
    cli = os.path.abspath(argv[1])
    if not os.access(cli, os.X_OK):
        print("FAIL: no twinsift-cli at " + cli, file=sys.stderr)
        return 1
    if os.environ.get("TWINSIFT_FAULTS_PRIVATE") != "1":
        # Mounts made here stay private to this run and vanish with it.
        try:
            probe = subprocess.run(["unshare", "-m", "--propagation", "private", "true"], capture_output=True,
                                   text=True)
        except OSError as e:
            probe = subprocess.CompletedProcess([], 1, "", str(e))
        if probe.returncode != 0:
            print("FAIL: cannot enter a private mount namespace (root is needed): %s" % probe.stderr.strip())
            return 1
        env = dict(os.environ, TWINSIFT_FAULTS_PRIVATE="1")
        return subprocess.call(["unshare", "-m", "--propagation", "private", sys.executable, HERE] + argv[1:], env=env)
    if os.geteuid() != 0:
        print("FAIL: the fault suite mounts file systems and must run as root")
        return 1
    wanted = argv[2:]
    base = tempfile.mkdtemp(prefix="twinsift-faults-")
    failed = 0
    try:
        mount_tmpfs(base, "2g")  # everything of the suite lives in memory, mounted privately
    except CaseFailed as e:
        print("FAIL: setup: %s" % e)
        return 1
    try:
        for name, fn in CASES:
            if wanted and name not in wanted:
                continue
            started = time.monotonic()
            try:
                fn(Case(cli, base, name[:40]))
                print("PASS %s (%.1f s)" % (name, time.monotonic() - started), flush=True)
            except CaseFailed as e:
                failed += 1
                print("FAIL %s: %s" % (name, e), flush=True)
            except Exception:
                failed += 1
                print("FAIL %s: the case broke:\n%s" % (name, traceback.format_exc()), flush=True)
    finally:
        subprocess.run(["umount", "-R", base])
        os.rmdir(base)
    print("%d of %d cases failed" % (failed, len([n for n, _ in CASES if not wanted or n in wanted])))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
