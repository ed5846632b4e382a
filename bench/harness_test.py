#!/usr/bin/env python3
"""Checks of the peer-comparison harness: python3 bench/harness_test.py"""

import hashlib
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


def load(name, file):
    found = importlib.util.spec_from_file_location(name, os.path.join(HERE, file))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


tree = load("make_tree", "make-tree.py")
peers = load("compare_peers", "compare-peers.py")


def sampled_ranges(size):
    """The byte ranges Twinsift's sampled hash reads."""
    if size >= 6144:
        return [(size // 3, size // 3 + 1024), (2 * size // 3, 2 * size // 3 + 1024)]
    if size >= 2048:
        return [(0, 1024), (size - 1024, size)]
    return [(0, size)]


class GeneratorTest(unittest.TestCase):
    def test_near_copies_change_a_byte_the_sampled_hash_never_reads(self):
        for size in list(range(2040, 2100)) + list(range(6100, 6200)) + [9999, 65536, 4194304]:
            offset = tree.unsampled_offset(size)
            if size <= 2048:
                self.assertIsNone(offset, size)  # no unsampled byte: hashed whole, or every byte sampled
                continue
            self.assertTrue(0 <= offset < size, size)
            for low, high in sampled_ranges(size):
                self.assertFalse(low <= offset < high, "size %d offset %d in [%d, %d)" % (size, offset, low, high))

    def test_same_arguments_make_the_same_tree(self):
        def digest(dest):
            subprocess.run([sys.executable, os.path.join(HERE, "make-tree.py"), dest, "--files", "300", "--images"],
                           check=True, stderr=subprocess.DEVNULL)
            h = hashlib.md5()
            for folder, dirs, files in sorted(os.walk(dest)):
                dirs.sort()
                for name in sorted(files):
                    path = os.path.join(folder, name)
                    h.update(os.path.relpath(path, dest).encode())
                    if os.path.islink(path):
                        h.update(os.readlink(path).replace(dest, "").encode())
                    else:
                        with open(path, "rb") as f:
                            h.update(f.read())
            return h.hexdigest()

        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            self.assertEqual(digest(a + "/t"), digest(b + "/t"))


class GroupCheckTest(unittest.TestCase):
    def test_jdupes_groups_are_cleared_and_split_by_category(self):
        with tempfile.TemporaryDirectory() as root:
            names = ["a.txt", "b.TXT", "c.jar", "d.zip", "e.png", ".f.txt", "g.dylib", "P.app/h.txt", "x/.y/i.txt",
                     "empty1.txt", "empty2.txt", "j", "k.unknown"]
            for name in names:
                path = os.path.join(root, name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(b"" if name.startswith("empty") else b"same")
            os.symlink(os.path.join(root, "a.txt"), os.path.join(root, "l.txt"))
            listing = "\n".join(os.path.join(root, n) for n in names[:9] + ["l.txt", "j", "k.unknown"])
            listing += "\n\n" + "\n".join(os.path.join(root, n) for n in ("empty1.txt", "empty2.txt")) + "\n"
            groups, dropped = peers.jdupes_groups(listing, peers.Rules(root))
            j = lambda *n: frozenset(os.path.join(root, x) for x in n)
            # "jar" is both a document and an archive extension: the archive list decides.
            # A ".dylib" file is a file like any other to the walk.
            self.assertEqual(groups, {j("a.txt", "b.TXT"), j("c.jar", "d.zip"), j("g.dylib", "j", "k.unknown")})
            self.assertEqual(dropped, {"image": 1, "hidden": 2, "package content": 1,
                                       "symbolic link": 1, "empty": 2})

    def test_twinsift_similar_image_and_package_groups_are_set_aside(self):
        text = """{"categories": [
          {"name": "Documents", "groups": [{"similar": false, "files": [{"path": "/t/a"}, {"path": "/t/b"}]}]},
          {"name": "Images", "groups": [{"similar": true, "files": [{"path": "/t/c"}, {"path": "/t/d"}]},
                                        {"similar": false, "files": [{"path": "/t/e"}, {"path": "/t/f"}]}]},
          {"name": "Packages", "groups": [{"similar": false, "files": [{"path": "/t/g"}, {"path": "/t/h"}]}]}]}"""
        groups, aside = peers.twinsift_groups(text)
        self.assertEqual(groups, {frozenset({"/t/a", "/t/b"})})
        self.assertEqual(aside, {"similar": 1, "Images": 1, "Packages": 1})



class RunnerTest(unittest.TestCase):
    def runner(self, work, help_text):
        cli = os.path.join(work, "cli")
        with open(cli, "w") as f:
            f.write("#!/bin/sh\ncat <<'END'\n%s\nEND\n" % help_text)
        os.chmod(cli, 0o755)
        return peers.Runner(cli, work)

    def test_empty_cache_runs_get_a_new_cache_folder_and_keep_the_cache_on(self):
        with tempfile.TemporaryDirectory() as work:
            runner = self.runner(work, "Options:\n  --json\n  --no-cache  Neither read nor write the cache")
            first, _, env1 = runner.command("twinsift", "/tree")
            second, _, env2 = runner.command("twinsift", "/tree")
            # The first scan pays for filling its cache, as a user's does.
            self.assertNotIn("--no-cache", first)
            self.assertNotEqual(env1["XDG_CACHE_HOME"], env2["XDG_CACHE_HOME"])
            self.assertEqual(os.listdir(env1["XDG_CACHE_HOME"]), [])
            # The second scan of rescan keeps its cache from run to run, and uses it.
            cached, _, env3 = runner.command("twinsift-cached", "/tree")
            _, _, env4 = runner.command("twinsift-cached", "/tree")
            self.assertNotIn("--no-cache", cached)
            self.assertEqual(env3["XDG_CACHE_HOME"], env4["XDG_CACHE_HOME"])

    def test_the_walk_floor_prints_size_and_time_of_every_entry(self):
        with tempfile.TemporaryDirectory() as work:
            argv, _, _ = self.runner(work, "").command("find", "/tree")
            self.assertEqual(argv, ["find", "/tree", "-printf", "%s %T@\n"])

if __name__ == "__main__":
    unittest.main()
