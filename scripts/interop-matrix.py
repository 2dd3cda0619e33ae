#!/usr/bin/env python3
"""Round trips between xev and Debian's cpmtools on every disk format both describe.

Every cpmtools diskdef whose geometry an xev.ini section expresses exactly is
converted into one; the sections go into a temporary xev.ini beside a copy of
the xev under test. Then, for each format, seeded random files in several
user areas make two round trips:

  xev -> cpmtools   xev -a creates and fills the image; cpmls lists it,
                    cpmcp copies every file back out, fsck.cpm -n finds it clean.
  cpmtools -> xev   mkfs.cpm and cpmcp fill an image; xev -x copies every file
                    back out.

A file comes back byte for byte, followed by the rest of its last 128-byte
record (xev fills that with 0xE5). A reader that knows only the diskdef and
the CP/M directory rules checks each image as well, and so tells which side
is wrong when the tools disagree. Formats on which cpmtools fails by itself
(it crashes, refuses, or misreads an image laid out as its diskdef says) are
skipped and listed, as are diskdefs that xev.ini cannot express.

Usage: interop-matrix.py [--xev PATH] [--sample N] [--seed S] [--files K]
                         [--format NAME ...] [--diskdefs PATH]
"""

import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

RECORD = 128
EXTENT = 16384
MAX_IMAGE = 0x40000000
KNOWN_OS = {"2.2", "3", "p2dos", "zsys"}
# Keys that only matter to cpmtools' floppy drivers, not to a raw image file.
DRIVER_KEYS = {"libdsk:format", "datarate", "fm"}
NAME_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$#-_@!&"
TIMEOUT = 300


class Skip(Exception):
    """A format this matrix does not run, with the reason."""


# ---- diskdefs -----------------------------------------------------------------

def read_diskdefs(path):
    """The diskdefs in file order, each a dict of its keys (lower case) and
    values; a name given twice keeps its first definition, as cpmtools does."""
    defs, current = {}, None
    with open(path, encoding="latin-1") as text:
        for line in text:
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            key = words[0].lower()
            if key == "diskdef" and len(words) > 1:
                current = {"name": words[1]}
                defs.setdefault(words[1], current)
            elif key == "end":
                current = None
            elif current is not None:
                current[key] = " ".join(words[1:])
    return list(defs.values())


def number(diskdef, key, default=None):
    if key not in diskdef:
        if default is None:
            raise Skip(f"no {key}")
        return default
    try:
        return int(diskdef[key])
    except ValueError:
        raise Skip(f"{key} `{diskdef[key]}` is not a number") from None


def sector_table(diskdef, sectrk):
    """Physical sector (0-based) of each logical sector of a track."""
    if "skewtab" in diskdef:
        try:
            table = [int(v) for v in diskdef["skewtab"].split(",")]
        except ValueError:
            raise Skip("skewtab is not a list of numbers") from None
        if sorted(table) != list(range(sectrk)):
            raise Skip("skewtab is not a permutation of the sectors")
        return table
    skew = number(diskdef, "skew", 0)
    # Each logical sector lies `skew` physical sectors after the one before;
    # a sector already taken moves it on to the next free one.
    table, taken, position = [], set(), 0
    for _ in range(sectrk):
        while position in taken:
            position = (position + 1) % sectrk
        table.append(position)
        taken.add(position)
        position = (position + skew) % sectrk
    return table


def convert(diskdef):
    """The xev.ini section for a diskdef, as a dict of key -> value and the
    derived sizes; raises Skip when xev.ini cannot express the geometry."""
    for key in ("offset", "sides"):
        if key in diskdef:
            raise Skip(f"{key} {diskdef[key]}")
    unknown = set(diskdef) - {"name", "seclen", "tracks", "sectrk", "blocksize",
                              "maxdir", "skew", "skewtab", "boottrk", "os",
                              "dirblks", "logicalextents"} - DRIVER_KEYS
    if unknown:
        raise Skip("keys " + ", ".join(sorted(unknown)))
    os_name = diskdef.get("os", "2.2")
    if os_name not in KNOWN_OS:
        raise Skip(f"os {os_name}")

    seclen, tracks, sectrk = (number(diskdef, k) for k in ("seclen", "tracks", "sectrk"))
    blocksize, maxdir = number(diskdef, "blocksize"), number(diskdef, "maxdir")
    boottrk = number(diskdef, "boottrk", 0)
    if seclen <= 0 or seclen % RECORD:
        raise Skip(f"seclen {seclen} is not whole records")
    if blocksize not in (1024, 2048, 4096, 8192, 16384):
        raise Skip(f"blocksize {blocksize}")
    if maxdir < 1 or maxdir * 32 % blocksize:
        raise Skip(f"maxdir {maxdir} does not fill whole blocks")
    if "dirblks" in diskdef and number(diskdef, "dirblks") * blocksize != maxdir * 32:
        raise Skip(f"dirblks {diskdef['dirblks']} is not the directory's size")
    if not 0 <= boottrk < tracks or sectrk < 1:
        raise Skip("no data tracks")

    # xev counts 128-byte records: every sector becomes a run of records.
    per_sector = seclen // RECORD
    spt = sectrk * per_sector
    table = sector_table(diskdef, sectrk)
    xlt = [table[r // per_sector] * per_sector + r % per_sector + 1 for r in range(spt)]
    track = spt * RECORD
    data = (tracks - boottrk) * track
    dsm = data // blocksize - 1
    if not 1 <= dsm <= 65535:
        raise Skip(f"DSM {dsm}")
    if maxdir > 65536 or maxdir * 32 > (dsm + 1) * blocksize:
        raise Skip(f"maxdir {maxdir}")
    # Blocks numbered above 255 take 16-bit pointers, eight to an entry.
    pointers = 16 if dsm < 256 else 8
    extents = pointers * blocksize // EXTENT
    if "logicalextents" in diskdef:
        wanted = number(diskdef, "logicalextents")
        if not 1 <= wanted <= extents:
            raise Skip(f"logicalextents {wanted}")
        extents = wanted
    if extents not in (1, 2, 4, 8, 16):
        raise Skip(f"{extents} logical extents per entry (blocksize {blocksize}, DSM {dsm})")

    size = boottrk * track + math.ceil((dsm + 1) * blocksize / track) * track
    if size != tracks * track:
        raise Skip("the image size differs (the last block leaves a whole track)")
    if size > MAX_IMAGE:
        raise Skip("image over 1 GiB")
    identity = xlt == list(range(1, spt + 1))
    return {
        "SPT": spt, "XLT": "0" if identity else ",".join(map(str, xlt)),
        "BLS": blocksize // 1024, "EXM": extents - 1, "DSM": dsm,
        "DRM": maxdir - 1, "OFF": boottrk,
        # derived, for the file plan and the cpmtools side
        "size": size, "blocksize": blocksize, "entries": maxdir,
        "entry_bytes": extents * EXTENT, "dir_start": boottrk * track,
        "xlt": xlt, "pointers": pointers, "os": os_name,
    }


def ini_section(geometry):
    keys = ("SPT", "XLT", "BLS", "EXM", "DSM", "DRM", "OFF")
    return f"[{geometry['extension']}]\n" + "".join(f"{k}={geometry[k]}\n" for k in keys) + "\n"


# ---- files --------------------------------------------------------------------

def plan_files(rng, geometry, count):
    """(user, NAME.EXT, bytes) for up to `count` files that fit on the disk:
    empty files, partial and whole records, block and entry boundaries, and
    files of several directory entries, in two or three user areas."""
    blocksize, entry_bytes = geometry["blocksize"], geometry["entry_bytes"]
    dir_blocks = geometry["entries"] * 32 // blocksize
    free_blocks = geometry["DSM"] + 1 - dir_blocks
    free_entries = geometry["entries"]
    users = [0] + rng.sample(range(1, 16), rng.randint(1, 2))
    names = set()
    files = []
    for _ in range(count * 4):
        if len(files) == count:
            break
        cap = min(300 * 1024, free_blocks * blocksize // 2)
        kind = rng.randrange(6)
        if kind == 0:
            size = 0
        elif kind == 1:
            size = rng.randint(1, RECORD * 3)
        elif kind == 2:
            size = blocksize * rng.randint(1, 4) + rng.choice((-1, 0, 1))
        elif kind == 3:
            size = entry_bytes * rng.randint(1, 3) + rng.choice((-RECORD, 0, 1))
        else:
            size = rng.randint(0, cap)
        size = max(0, size)
        blocks = -(-size // blocksize)
        entries = max(1, -(-size // entry_bytes))
        if size > cap or blocks > free_blocks or entries > free_entries:
            continue
        user = rng.choice(users)
        base = "".join(rng.choice(NAME_CHARS) for _ in range(rng.randint(1, 8)))
        ext = "".join(rng.choice(NAME_CHARS) for _ in range(rng.randint(0, 3)))
        name = f"{base}.{ext}" if ext else base
        if (user, name) in names:
            continue
        names.add((user, name))
        free_blocks -= blocks
        free_entries -= entries
        files.append((user, name, rng.randbytes(size)))
    return files


def padded(data, fill):
    return data + fill * (-len(data) % RECORD)


# ---- the diskdef's own view -----------------------------------------------------
# When a tool reads a file other than it was written, this reader, which
# knows nothing but the diskdef and the CP/M directory rules, tells which
# side is wrong.

class Disk:
    def __init__(self, path, geometry):
        with open(path, "rb") as image:
            self.image = image.read()
        self.g = geometry
        directory = b"".join(self.record(n) for n in range(geometry["entries"] // 4))
        self.entries = [directory[i:i + 32] for i in range(0, len(directory), 32)]

    def record(self, n):
        """Logical record n of the data area."""
        g = self.g
        track, sector = divmod(n, g["SPT"])
        offset = g["dir_start"] + (track * g["SPT"] + g["xlt"][sector] - 1) * RECORD
        return self.image[offset:offset + RECORD]

    def files(self):
        return {(e[0], name_of(e)) for e in self.entries if e[0] < 16}

    def read(self, user, name):
        """The file's records, its entries taken in extent order."""
        mine = sorted((e for e in self.entries if e[0] == user and name_of(e) == name),
                      key=lambda e: (e[14] & 0x3F) * 32 + e[12])
        if not mine:
            return None
        last = mine[-1]
        records = ((last[14] & 0x3F) * 32 + last[12]) * 128 + last[15]
        per_block, wide = self.g["blocksize"] // RECORD, self.g["pointers"] == 8
        data = b""
        for entry in mine:
            blocks = ([entry[16 + 2 * i] | entry[17 + 2 * i] << 8 for i in range(8)]
                      if wide else list(entry[16:32]))
            for block in filter(None, blocks):
                data += b"".join(self.record(block * per_block + r) for r in range(per_block))
        return data[:records * RECORD]


def name_of(entry):
    name = bytes(c & 0x7F for c in entry[1:9]).decode("latin-1").rstrip()
    ext = bytes(c & 0x7F for c in entry[9:12]).decode("latin-1").rstrip()
    return f"{name}.{ext}" if ext else name


# ---- runs ---------------------------------------------------------------------

def run(args, cwd):
    try:
        done = subprocess.run(args, cwd=cwd, capture_output=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return -999, "", "timed out"
    return (done.returncode, done.stdout.decode("latin-1"),
            done.stderr.decode("latin-1"))


class Failure(Exception):
    pass


def check(ok, message):
    if not ok:
        raise Failure(message)


def cpm(args, cwd, what):
    """A cpmtools run that must work; its failure is a failure of cpmtools."""
    code, out, err = run(args, cwd)
    if code != 0:
        raise Skip(f"cpmtools fails: {what}: {(err or out).strip()[:80] or code}")
    return out


def xev_to_cpmtools(work, xev, extension, diskdef, geometry, files):
    """xev adds the files where the diskdef puts them; cpmls lists them,
    cpmcp reads them back and fsck.cpm finds nothing to mend."""
    image = f"disk.{extension}"
    for user in sorted({f[0] for f in files}):
        folder = os.path.join(work, f"in{user}")
        os.mkdir(folder)
        mine = [f for f in files if f[0] == user]
        for _, cpm_name, data in mine:
            with open(os.path.join(folder, cpm_name), "wb") as host:
                host.write(data)
        code, out, err = run([xev, image, "-a", f"in{user}/*", "-u", str(user)], work)
        check(code == 0 and err == "" and f"Done. {len(mine)} file(s) added." in out,
              f"xev -a -u {user}: {err.strip() or out.strip()[-60:]}")

    wanted = {(f[0], f[1]) for f in files}
    disk = Disk(os.path.join(work, image), geometry)
    check(disk.files() == wanted, "xev's directory is not where the diskdef puts it")
    for user, cpm_name, data in files:
        check(disk.read(user, cpm_name) == padded(data, b"\xe5"),
              f"xev wrote {user}:{cpm_name} elsewhere than the diskdef puts it")

    # From here on the image is as the diskdef describes it.
    listing = cpm(["cpmls", "-f", diskdef, image], work, "cpmls")
    seen, user = set(), None
    for line in listing.splitlines():
        if line.endswith(":") and line[:-1].isdigit():
            user = int(line[:-1])
        elif line.strip():
            seen.add((user, line.strip().upper()))
    if seen != wanted:
        raise Skip(f"cpmtools fails: cpmls misreads the directory (extra "
                   f"{sorted(seen - wanted)[:2]}, missing {sorted(wanted - seen)[:2]})")
    for user, cpm_name, data in files:
        cpm(["cpmcp", "-f", diskdef, image, f"{user}:{cpm_name}", "back"], work,
            f"cpmcp out {user}:{cpm_name}")
        with open(os.path.join(work, "back"), "rb") as back:
            if back.read() != padded(data, b"\xe5"):
                raise Skip(f"cpmtools fails: cpmcp misreads {user}:{cpm_name}")

    code, out, err = run(["fsck.cpm", "-f", diskdef, "-n", image], work)
    remarks = [l for l in (out + err).splitlines()
               if l.strip() and not l.startswith("Phase ") and not l.startswith(image + ":")]
    check(code == 0 and not remarks, f"fsck.cpm: {'; '.join(remarks)[:100] or code}")


def cpmtools_to_xev(work, xev, extension, diskdef, geometry, files):
    """cpmtools writes the files and reads them back (else cpmtools itself
    fails on the format); then xev extracts them."""
    image = f"disk.{extension}"
    path = os.path.join(work, image)
    cpm(["mkfs.cpm", "-f", diskdef, image], work, "mkfs.cpm")
    if os.path.getsize(path) > geometry["size"]:
        raise Skip("cpmtools fails: mkfs.cpm writes a larger image")
    os.truncate(path, geometry["size"])
    host = os.path.join(work, "host")
    for user, cpm_name, data in files:
        with open(host, "wb") as out:
            out.write(data)
        cpm(["cpmcp", "-f", diskdef, image, host, f"{user}:{cpm_name}"], work,
            f"cpmcp in {user}:{cpm_name}")
    for user, cpm_name, data in files:
        cpm(["cpmcp", "-f", diskdef, image, f"{user}:{cpm_name}", host], work,
            f"cpmcp out {user}:{cpm_name}")
        with open(host, "rb") as back:
            if back.read()[:len(data)] != data:
                raise Skip(f"cpmtools fails: reads {user}:{cpm_name} back wrong")
    # Without skew the diskdef's layout leaves nothing to convert: where the
    # reader disagrees with cpmtools, cpmtools has left its own layout.
    disk = Disk(path, geometry)
    for user, cpm_name, data in files:
        if (disk.read(user, cpm_name) or b"")[:len(data)] != data:
            if geometry["XLT"] == "0":
                raise Skip(f"cpmtools fails: writes {user}:{cpm_name} off its diskdef's layout")
            raise Failure(f"cpmtools wrote {user}:{cpm_name} elsewhere than the xev.ini "
                          "section says")

    # For CP/M 3 formats mkfs.cpm writes a directory label (user byte 0x20)
    # into the first entry, which xev takes for a damaged entry: free it, as
    # xev's own format would have it. (Freeing it before cpmcp runs makes
    # cpmcp crash on some formats.)
    label = geometry["dir_start"] + (geometry["xlt"][0] - 1) * RECORD
    if disk.image[label] == 0x20:
        with open(path, "r+b") as writable:
            writable.seek(label)
            writable.write(b"\xe5" * 32)

    for user in sorted({f[0] for f in files}):
        folder = f"out{user}"
        os.mkdir(os.path.join(work, folder))
        mine = [f for f in files if f[0] == user]
        code, out, err = run([xev, image, "-x", f"{folder}/*.*", "-u", str(user)], work)
        check(code == 0 and err == "" and f"Done. {len(mine)} file(s) extracted." in out,
              f"xev -x -u {user}: {err.strip() or out.strip()[-60:]}")
        check(sorted(os.listdir(os.path.join(work, folder))) == sorted(f[1] for f in mine),
              f"xev -x -u {user} wrote other files")
        for _, cpm_name, data in mine:
            with open(os.path.join(work, folder, cpm_name), "rb") as back:
                got = back.read()
            check(len(got) == len(padded(data, b"\0")) and got[:len(data)] == data,
                  f"xev -x {user}:{cpm_name} ({len(data)} bytes) differs")
    os.remove(path)


def run_format(root, xev, name, geometry, seed, count):
    work = tempfile.mkdtemp(prefix="format-", dir=root)
    try:
        files = plan_files(random.Random(f"{seed}:{name}"), geometry, count)
        cpmtools_to_xev(work, xev, geometry["extension"], name, geometry, files)
        xev_to_cpmtools(work, xev, geometry["extension"], name, geometry, files)
        return "pass", f"{len(files)} files, users {sorted({f[0] for f in files})}"
    except Failure as failure:
        return "FAIL", str(failure)
    except Skip as skip:
        return "skip", str(skip)
    finally:
        shutil.rmtree(work, ignore_errors=True)


# ---- main ---------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--xev", default="build/release/xev", help="the xev to test")
    parser.add_argument("--diskdefs", default="/etc/cpmtools/diskdefs")
    parser.add_argument("--sample", type=int, help="run only N formats, chosen by the seed")
    parser.add_argument("--seed", default="1", help="seed of the sample and the files")
    parser.add_argument("--files", type=int, default=8, help="files per format")
    parser.add_argument("--format", action="append", help="run only this diskdef")
    options = parser.parse_args()

    for tool in ("mkfs.cpm", "cpmls", "cpmcp", "fsck.cpm"):
        if shutil.which(tool) is None:
            sys.exit(f"interop-matrix: {tool} not found (install cpmtools)")
    if not os.access(options.xev, os.X_OK):
        sys.exit(f"interop-matrix: no xev at {options.xev}")

    converted, skipped, extensions = {}, [], set()
    diskdefs = read_diskdefs(options.diskdefs)
    for diskdef in diskdefs:
        try:
            geometry = convert(diskdef)
            # The image type is the text after the last '.' of the image
            # name, found without regard to case.
            geometry["extension"] = diskdef["name"].replace(".", "_")
            if geometry["extension"].lower() in extensions:
                raise Skip("its name collides with another diskdef's in xev.ini")
            extensions.add(geometry["extension"].lower())
            converted[diskdef["name"]] = geometry
        except Skip as skip:
            skipped.append((diskdef["name"], str(skip)))
    names = sorted(converted, key=str.lower)
    if options.format:
        unknown = set(options.format) - {d["name"] for d in diskdefs}
        if unknown:
            sys.exit(f"interop-matrix: no diskdef {', '.join(sorted(unknown))}")
        names = [n for n in options.format if n in converted]
        skipped = [s for s in skipped if s[0] in options.format]
    elif options.sample is not None:
        names = sorted(random.Random(options.seed).sample(names, min(options.sample, len(names))),
                       key=str.lower)
        skipped = []

    with tempfile.TemporaryDirectory(prefix="xev-interop-") as root:
        xev = os.path.join(root, "xev")
        shutil.copy2(options.xev, xev)
        with open(os.path.join(root, "xev.ini"), "w") as ini:
            ini.writelines(ini_section(converted[n]) for n in names)
        results = [(n, *run_format(root, xev, n, converted[n], options.seed, options.files))
                   for n in names]

    width = max([len(n) for n in names] + [6])
    columns = (("SPT", 5), ("BLS", 3), ("EXM", 3), ("DSM", 5), ("DRM", 5), ("OFF", 3))
    print(f"{'format':<{width}}" + "".join(f" {k:>{w}}" for k, w in columns) + "  result")
    for name, outcome, detail in results:
        g = converted[name]
        print(f"{name:<{width}}" + "".join(f" {g[k]:>{w}}" for k, w in columns) +
              f"  {outcome}: {detail}")
    if skipped:
        print(f"\nNot expressible in xev.ini ({len(skipped)}):")
        for name, reason in skipped:
            print(f"  {name:<{width}}  {reason}")
    passed = sum(1 for r in results if r[1] == "pass")
    failed = sum(1 for r in results if r[1] == "FAIL")
    print(f"\n{len(converted)} of {len(diskdefs)} diskdefs converted; "
          f"{len(results)} run, {len(results) - passed - failed} skipped by cpmtools.")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())
