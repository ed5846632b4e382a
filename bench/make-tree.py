#!/usr/bin/env python3
"""Makes a test tree for bench/compare-peers.py, the same bytes for the same arguments.

    bench/make-tree.py DEST --files 50000 [--images] [--seed 12]
                       [--shape flat|home] [--files-per-folder N] [--name-length N]

What the tree holds, by design:
  - with --shape flat (the default): nested folders 1 to 5 levels deep, about 110
    files each (20 to 200);
  - with --shape home: folders shaped like a home folder's, about 11 files each by
    default (most folders hold a handful, a few hold hundreds), up to 12 levels deep,
    with folder names of about --name-length characters (paths of about 85 characters);
  - a spread of sizes: many small files, most under 64 KB, a thin tail up to 4 MB;
  - every category by extension (documents, music, videos, archives, others), and with
    --images a tenth of the files are PNG pictures (exact copies and retouched variants);
  - about 15 % of the files are exact copies, mostly pairs but sets of three to eight too,
    in other folders and under other names (a few under an extension of another category);
  - about 3 % differ from an earlier file of the same size by one byte that the sampled
    hash does not read (the KB at L/3 and 2L/3 from 6144 bytes on, the first and last KB
    from 2048 to 6143), so only a full comparison tells them apart;
  - empty files, hidden files and a hidden folder, package folders (".app") with content
    and symbolic links to files, each holding copies of visible files, which the scan
    leaves out by default; and ".dylib" files holding copies too, which it does not.

A file DEST/.tree-complete records the arguments; an existing complete tree made with the
same arguments is kept, any other content of DEST is an error.
"""

import argparse
import os
import random
import struct
import sys
import zlib

CATEGORIES = {
    "documents": ["pdf", "docx", "txt", "doc", "xlsx", "html", "xml", "csv", "epub", "odt", "rtf", "pptx"],
    "music": ["mp3", "flac", "ogg", "wav", "m4a", "aac"],
    "videos": ["mp4", "mkv", "mov", "avi", "webm", "m4v"],
    "archives": ["zip", "gz", "tar", "7z", "xz", "bz2", "deb", "iso"],
    "others": ["", "c", "h", "py", "json", "log", "bin", "o", "js", "md", "cfg", "so"],
}
# Share of the files in each category (images come on top with --images).
CATEGORY_WEIGHTS = [("documents", 30), ("music", 10), ("videos", 5), ("archives", 8), ("others", 47)]
# Size classes: (weight, low, high), drawn log-uniformly within a class.
SIZE_CLASSES = [(28, 1, 2047), (20, 2048, 6143), (45.6, 6144, 65535), (6, 65536, 524287), (0.4, 524288, 4194304)]
# Categories tend to their own sizes: media are larger than source files.
SIZE_SCALE = {"documents": 1.0, "music": 2.0, "videos": 3.0, "archives": 1.5, "others": 0.7}

COPY_SHARE = 0.15
NEAR_SHARE = 0.03
EMPTY_SHARE = 0.02


def draw_size(rng, category):
    total = sum(w for w, _, _ in SIZE_CLASSES)
    pick = rng.uniform(0, total)
    for weight, low, high in SIZE_CLASSES:
        if pick < weight:
            break
        pick -= weight
    size = int(low * (high / low) ** rng.random())
    return max(1, min(4194304, int(size * SIZE_SCALE[category])))


def unsampled_offset(size):
    """A byte the sampled hash of a file of this size never reads."""
    if size >= 6144:
        return size // 6  # before the KB at L/3, after the first KB
    if size > 2048:
        return size // 2  # between the first and the last KB
    return None  # small files are hashed whole


def png(width, height, pixel):
    """An RGB PNG of pixel(x, y) -> (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b"")


def picture(rng, variant_of=None):
    """A smooth picture from a few parameters; a variant shifts them slightly."""
    if variant_of is None:
        params = [rng.uniform(0.01, 0.2) for _ in range(3)] + [rng.randrange(256) for _ in range(3)]
        size = rng.choice([48, 64, 96, 128])
    else:
        params, size = variant_of
        params = params[:3] + [(p + rng.randrange(-6, 7)) % 256 for p in params[3:]]
    fx, fy, fz, r0, g0, b0 = params

    def pixel(x, y):
        return ((r0 + int(x * fx * 40)) % 256, (g0 + int(y * fy * 40)) % 256, (b0 + int((x + y) * fz * 30)) % 256)

    return png(size, size, pixel), (params, size)


class Tree:
    def __init__(self, dest, files, images, seed, shape="flat", per_folder=None, name_length=None):
        self.dest = dest
        self.shape = shape
        self.per_folder = per_folder or (110 if shape == "flat" else 11)
        self.name_length = name_length or 8
        self.folder_weights = None  # cumulative weights of the folders (home shape)
        self.rng = random.Random(seed)
        self.target = files
        self.images = images
        self.folders = []
        self.originals = []  # (category, ext, path) of files copies may be made of
        self.popular = []  # a few originals copied often: sets of three and more
        self.pictures = []  # (params, bytes) of pictures
        self.written = 0
        self.bytes = 0

    def make_folders(self):
        if self.shape == "home":
            return self.make_home_folders()
        # Folders of 20..200 files at 1..5 levels: about (files / 110) folders.
        count = max(4, self.target // self.per_folder)
        self.folders = [self.dest]
        parents = [self.dest]
        while len(self.folders) < count + 1:
            parent = self.rng.choice(parents)
            depth = parent[len(self.dest):].count(os.sep)
            name = "%s%d" % (self.rng.choice(["src", "docs", "media", "backup", "projects", "misc", "old", "2019"]),
                             len(self.folders))
            folder = os.path.join(parent, name)
            os.mkdir(folder)
            self.folders.append(folder)
            if depth < 4:
                parents.append(folder)

    HOME_WORDS = ["Documents", "Pictures", "Music", "projects", "src", "backup", "old", "Downloads", "notes",
                  "invoices", "holiday", "2019", "2021", "drafts", "assets", "build", "node_modules", "vendor",
                  "reports", "archive", "scans", "exports", "lib", "tests", "config", "shared"]

    def folder_name(self, index):
        """A name of about name_length characters, unique by its index."""
        rng = self.rng
        words = []
        while sum(len(w) + 1 for w in words) < self.name_length - 3:
            words.append(rng.choice(self.HOME_WORDS))
        return "%s-%d" % ("_".join(words)[: max(3, self.name_length - 3)], index)

    def make_home_folders(self):
        # A tree that branches deep and thin: a folder's parent is drawn with a bias
        # towards recent (deeper) folders, up to 12 levels. Folder sizes are skewed:
        # most hold a handful of files, about one in thirty holds ten times the mean.
        count = max(4, self.target // self.per_folder)
        rng = self.rng
        self.folders = [self.dest]
        depths = [0]
        while len(self.folders) < count + 1:
            pick = len(self.folders) - 1 - int(rng.expovariate(1 / 30.0))
            parent_index = max(0, min(len(self.folders) - 1, pick))
            if rng.random() < 0.05:
                parent_index = rng.randrange(len(self.folders))
            if depths[parent_index] >= 12:
                parent_index = 0
            folder = os.path.join(self.folders[parent_index], self.folder_name(len(self.folders)))
            os.mkdir(folder)
            self.folders.append(folder)
            depths.append(depths[parent_index] + 1)
        total = 0.0
        self.folder_weights = []
        for _ in self.folders:
            weight = rng.lognormvariate(0, 0.4) * (10 if rng.random() < 0.02 else 1)
            total += weight
            self.folder_weights.append(total)

    def choose_folder(self):
        if self.folder_weights is None:
            return self.rng.choice(self.folders)
        return self.rng.choices(self.folders, cum_weights=self.folder_weights)[0]

    def write(self, path, data):
        with open(path, "wb") as f:
            f.write(data)
        self.written += 1
        self.bytes += len(data)

    def name(self, ext):
        stem = "%s_%d" % (self.rng.choice(["report", "track", "clip", "IMG", "notes", "data", "copy", "final"]),
                          self.written)
        return stem + ("." + ext if ext else "")

    def place(self, data, ext):
        path = os.path.join(self.choose_folder(), self.name(ext))
        self.write(path, data)
        return path

    def pick_original(self, pool=None):
        category, ext, path = self.rng.choice(pool or self.originals)
        with open(path, "rb") as f:  # read back: the tree is larger than this process should be
            return category, ext, f.read()

    def new_file(self):
        category = self.rng.choices([c for c, _ in CATEGORY_WEIGHTS], [w for _, w in CATEGORY_WEIGHTS])[0]
        ext = self.rng.choice(CATEGORIES[category])
        data = self.rng.randbytes(draw_size(self.rng, category))
        entry = (category, ext, self.place(data, ext))
        self.originals.append(entry)
        if self.rng.random() < 0.02:
            self.popular.append(entry)

    def copy_file(self):
        category, ext, data = self.pick_original(self.popular if self.rng.random() < 0.3 else None)
        if self.rng.random() < 0.05:  # the same bytes under an extension of another category
            other = self.rng.choice([c for c in CATEGORIES if c != category])
            ext = self.rng.choice(CATEGORIES[other])
        self.place(data, ext)

    def near_file(self):
        category, ext, data = self.pick_original()
        offset = unsampled_offset(len(data))
        if offset is None:
            return self.new_file()
        changed = bytearray(data)
        changed[offset] ^= 0x5A
        self.place(bytes(changed), ext)

    def picture_file(self):
        roll = self.rng.random()
        if self.pictures and roll < 0.15:
            data = self.rng.choice(self.pictures)[1]  # an exact copy
        elif self.pictures and roll < 0.30:
            data, _ = picture(self.rng, self.rng.choice(self.pictures)[0])  # a retouched variant
        else:
            data, params = picture(self.rng)
            self.pictures.append((params, data))
        self.place(data, "png")

    def left_out(self):
        """Items the scan skips by default, each holding copies of visible files."""
        rng = self.rng
        extras = max(10, self.target // 500)
        hidden = os.path.join(rng.choice(self.folders), ".cache")
        os.mkdir(hidden)
        package = os.path.join(rng.choice(self.folders), "Viewer.app", "Contents", "Resources")
        os.makedirs(package)
        twin = os.path.join(rng.choice(self.folders), "Viewer copy.app", "Contents", "Resources")
        os.makedirs(twin)
        for i in range(extras):
            _, ext, data = self.pick_original()
            self.write(os.path.join(rng.choice(self.folders), ".hidden_%d.%s" % (i, ext or "bin")), data)
            self.write(os.path.join(hidden, "entry_%d.%s" % (i, ext or "bin")), data)
            self.write(os.path.join(package, "res_%d.%s" % (i, ext or "bin")), data)
            self.write(os.path.join(twin, "res_%d.%s" % (i, ext or "bin")), data)  # a duplicated package
            self.write(os.path.join(rng.choice(self.folders), "libcore_%d.dylib" % i), data)
            target = os.path.join(rng.choice(self.folders), self.name("txt"))
            self.write(target, data)
            os.symlink(target, os.path.join(rng.choice(self.folders), "link_%d.txt" % i))

    def build(self):
        self.make_folders()
        empties = int(self.target * EMPTY_SHARE)
        for _ in range(empties):
            self.place(b"", self.rng.choice(["txt", "log", "", "json"]))
        while self.written < self.target:
            roll = self.rng.random()
            if self.images and roll < 0.10:
                self.picture_file()
            elif self.originals and roll < 0.10 + COPY_SHARE:
                self.copy_file()
            elif self.originals and roll < 0.10 + COPY_SHARE + NEAR_SHARE:
                self.near_file()
            else:
                self.new_file()
        self.left_out()


def main():
    parser = argparse.ArgumentParser(description="Make a test tree for the peer comparison.")
    parser.add_argument("dest")
    parser.add_argument("--files", type=int, default=50000)
    parser.add_argument("--images", action="store_true", help="a tenth of the files are PNG pictures")
    parser.add_argument("--seed", type=int, default=12)
    parser.add_argument("--shape", choices=["flat", "home"], default="flat",
                        help="flat: about 110 files a folder, 5 levels; home: about 11, up to 12 levels")
    parser.add_argument("--files-per-folder", type=int, help="mean files per folder (flat 110, home 11)")
    parser.add_argument("--name-length", type=int, help="home shape: characters in a folder name (default 8)")
    args = parser.parse_args()
    if args.files_per_folder is not None and args.files_per_folder < 1:
        parser.error("--files-per-folder must be at least 1")
    if args.name_length is not None and not 4 <= args.name_length <= 200:
        parser.error("--name-length must be from 4 to 200")
    stamp = "files=%d images=%d seed=%d version=1\n" % (args.files, args.images, args.seed)
    if args.shape != "flat" or args.files_per_folder or args.name_length:
        # Trees of the default shape keep the stamp they were made with.
        stamp = stamp[:-1] + " shape=%s per-folder=%s name-length=%s\n" % (
            args.shape, args.files_per_folder, args.name_length)
    marker = os.path.join(args.dest, ".tree-complete")
    if os.path.exists(marker):
        with open(marker) as f:
            if f.read() == stamp:
                return 0
    if os.path.exists(args.dest) and os.listdir(args.dest):
        sys.exit("%s exists and is not a complete tree made with these arguments; remove it first" % args.dest)
    os.makedirs(args.dest, exist_ok=True)
    tree = Tree(args.dest, args.files, args.images, args.seed, args.shape, args.files_per_folder, args.name_length)
    tree.build()
    with open(marker, "w") as f:
        f.write(stamp)
    print("%s: %d files, %.0f MB" % (args.dest, tree.written, tree.bytes / 1e6), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
