#!/usr/bin/env python3
"""Round trips between xev and Debian's cpmtools on every named disk format xev ships.

Each section of xev-formats.ini (made by diskdefs_to_ini.py from cpmtools'
diskdefs) names a cpmtools diskdef. The shipped file is put beside a copy of
the xev under test, and for each format, named with -it, seeded random files
in several user areas make two round trips:

  xev -> cpmtools   xev -a creates and fills the image; cpmls lists it,
                    cpmcp copies every file back out, fsck.cpm -n finds it clean.
  cpmtools -> xev   mkfs.cpm and cpmcp fill an image; xev -x copies every file
                    back out.

A file comes back byte for byte, followed by the rest of its last 128-byte
record (xev fills that with 0xE5). A reader that knows only the section and
the CP/M directory rules checks each image as well, and so tells which side
is wrong when the tools disagree. Formats on which cpmtools fails by itself
(it crashes, refuses, or misreads an image laid out as its diskdef says) are
skipped and listed. cpmtools runs on a copy of its diskdefs whose header lines
hold nothing but the name, so that it finds every diskdef by its name.

Beyond the formats, three more checks with the same peers (all but --format
runs): containers (libdsk's dsktrans and dskid turn images xev writes into
DSK, extended DSK and ImageDisk containers and back, and cpmtools reads the
containers xev writes), CP/M 3 date stamps (a disk made by mkfs.cpm -t, where
cpmls shows the stamps xev shows and fsck.cpm stays clean after every change),
and text files (-txt reads what cpmcp -t writes, and the other way round).

Exits 0 when every run passed or was skipped by cpmtools, 1 on a failure, 77
when cpmtools or libdsk is not installed.

Usage: interop-matrix.py [--xev PATH] [--formats INI] [--sample N] [--seed S]
                         [--files K] [--format NAME ...] [--diskdefs PATH]
"""

import argparse
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from diskdefs_to_ini import offset_bytes, read_diskdefs  # noqa: E402  (one diskdefs reader)

RECORD = 128
EXTENT = 16384
NAME_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789$#-_@!&"
TIMEOUT = 300
SKIPPED = 77
IMAGE = "disk.img"  # xev's: no extension names the type, -it does
CPM_IMAGE = "cpm.img"  # the same disk for cpmtools: without the offset


class Skip(Exception):
    """A format this matrix does not run, with the reason."""


# ---- the shipped sections -------------------------------------------------------

def read_sections(path):
    """{name: {KEY: value}} of a definition file, in file order."""
    sections, current = {}, None
    with open(path, encoding="latin-1") as text:
        for line in text:
            line = line.strip()
            if line.startswith("[") and line.find("]") == len(line) - 1:
                current = sections.setdefault(line[1:-1], {})
            elif current is not None and "=" in line and not line.startswith(";"):
                key, value = line.split("=", 1)
                current[key.strip()] = value.strip()
    return sections


def geometry_of(section):
    """What the matrix needs to know of a section's disk."""
    g = {k: int(section[k]) for k in ("SPT", "BLS", "EXM", "DSM", "DRM", "OFF")}
    g["xlt"] = (list(range(1, g["SPT"] + 1)) if section["XLT"] == "0"
                else [int(v) for v in section["XLT"].split(",")])
    track = g["SPT"] * RECORD
    g["blocksize"] = g["BLS"] * 1024
    g["dir_start"] = (int(section["OFFX"]) * RECORD if "OFFX" in section
                      else g["OFF"] * track)
    g["size"] = g["dir_start"] + -(-(g["DSM"] + 1) * g["blocksize"] // track) * track
    g["entries"] = g["DRM"] + 1
    g["held"] = int(section.get("DIRAU", 0))
    g["entry_bytes"] = (g["EXM"] + 1) * EXTENT
    g["pointers"] = 16 if g["DSM"] < 256 else 8
    g["XLT"] = section["XLT"]
    return g


def write_diskdefs(source, target):
    """cpmtools' diskdefs as their authors wrote them, repaired where
    cpmtools would not find one: every header cut to its name (cpmtools
    takes what follows the name on that line for part of it), every diskdef
    closed before the next one begins (one has its end line commented out),
    and no offset lines: this build of cpmtools cannot place a disk at an
    offset, so the matrix moves the images by the offset itself."""
    lines, open_def = [], False
    with open(source, encoding="latin-1") as text:
        for line in text:
            words = line.split("#", 1)[0].split()
            key = words[0].lower() if words else ""
            if key == "diskdef" and len(words) > 1:
                if open_def:
                    lines.append("end")
                lines.append(f"diskdef {words[1]}")
                open_def = True
            elif key == "offset":
                continue
            else:
                open_def = open_def and key != "end"
                lines.append(line.rstrip("\n"))
    with open(target, "w", encoding="latin-1") as out:
        out.write("\n".join(lines) + "\n")


def move(work, source, target, offset):
    """Hands an image from one tool to the other: the disk at `offset` in
    xev's image is the whole of cpmtools' image."""
    if not offset:
        os.replace(os.path.join(work, source), os.path.join(work, target))
        return
    with open(os.path.join(work, source), "rb") as image:
        data = image.read()
    data = data[offset:] if source == IMAGE else b"\xe5" * offset + data
    with open(os.path.join(work, target), "wb") as image:
        image.write(data)
    os.remove(os.path.join(work, source))


# ---- files --------------------------------------------------------------------

def plan_files(rng, geometry, count):
    """(user, NAME.EXT, bytes) for up to `count` files that fit on the disk:
    empty files, partial and whole records, block and entry boundaries, and
    files of several directory entries, in two or three user areas."""
    blocksize, entry_bytes = geometry["blocksize"], geometry["entry_bytes"]
    dir_blocks = max(geometry["entries"] * 32 // blocksize, geometry["held"])
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

    def blocks(self):
        """Every block the files' entries name."""
        wide = self.g["pointers"] == 8
        return [b for e in self.entries if e[0] < 16
                for b in ([e[16 + 2 * i] | e[17 + 2 * i] << 8 for i in range(8)] if wide
                          else list(e[16:32])) if b]

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
        done = subprocess.run(args, cwd=cwd, capture_output=True, timeout=TIMEOUT, preexec_fn=cpu_limit)
    except subprocess.TimeoutExpired:
        return -999, "", "timed out"
    if done.returncode == -signal.SIGXCPU:  # every later run would wait for the same
        sys.exit(f"interop-matrix: {os.path.basename(args[0])} ran on and on: {' '.join(args[1:])}")
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


def xev_to_cpmtools(work, xev, diskdef, geometry, files):
    """xev adds the files where the diskdef puts them; cpmls lists them,
    cpmcp reads them back and fsck.cpm finds nothing to mend."""
    image = IMAGE
    for user in sorted({f[0] for f in files}):
        folder = os.path.join(work, f"in{user}")
        os.mkdir(folder)
        mine = [f for f in files if f[0] == user]
        for _, cpm_name, data in mine:
            with open(os.path.join(folder, cpm_name), "wb") as host:
                host.write(data)
        code, out, err = run([xev, image, "-it", diskdef, "-a", f"in{user}/*", "-u", str(user)],
                             work)
        check(code == 0 and err == "" and f"Done. {len(mine)} file(s) added." in out,
              f"xev -a -u {user}: {err.strip() or out.strip()[-60:]}")

    wanted = {(f[0], f[1]) for f in files}
    disk = Disk(os.path.join(work, image), geometry)
    check(disk.files() == wanted, "xev's directory is not where the diskdef puts it")
    check(min(disk.blocks(), default=geometry["dirblks"]) >= geometry["dirblks"],
          "xev gave a file a block that the diskdef holds for the directory")
    for user, cpm_name, data in files:
        check(disk.read(user, cpm_name) == padded(data, b"\xe5"),
              f"xev wrote {user}:{cpm_name} elsewhere than the diskdef puts it")

    # From here on the image is as the diskdef describes it.
    move(work, image, CPM_IMAGE, geometry["offset"])
    image = CPM_IMAGE
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


def cpmtools_to_xev(work, xev, diskdef, geometry, files):
    """cpmtools writes the files and reads them back (else cpmtools itself
    fails on the format); then xev extracts them."""
    image, offset = CPM_IMAGE, geometry["offset"]
    path = os.path.join(work, image)
    cpm(["mkfs.cpm", "-f", diskdef, image], work, "mkfs.cpm")
    if os.path.getsize(path) > geometry["size"] - offset:
        raise Skip("cpmtools fails: mkfs.cpm writes a larger image")
    os.truncate(path, geometry["size"] - offset)
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
    move(work, image, IMAGE, offset)
    image, path = IMAGE, os.path.join(work, IMAGE)
    # Without skew the diskdef's layout leaves nothing to convert: where the
    # reader disagrees with cpmtools, cpmtools has left its own layout.
    disk = Disk(path, geometry)
    for user, cpm_name, data in files:
        if (disk.read(user, cpm_name) or b"")[:len(data)] != data:
            if geometry["XLT"] == "0":
                raise Skip(f"cpmtools fails: writes {user}:{cpm_name} off its diskdef's layout")
            raise Failure(f"cpmtools wrote {user}:{cpm_name} elsewhere than the section says")

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
        code, out, err = run([xev, image, "-it", diskdef, "-x", f"{folder}/*.*", "-u", str(user)],
                             work)
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
        os.symlink(os.path.join(root, "diskdefs"), os.path.join(work, "diskdefs"))
        cpmtools_to_xev(work, xev, name, geometry, files)
        xev_to_cpmtools(work, xev, name, geometry, files)
        return "pass", f"{len(files)} files, users {sorted({f[0] for f in files})}"
    except Failure as failure:
        return "FAIL", str(failure)
    except Skip as skip:
        return "skip", str(skip)
    finally:
        shutil.rmtree(work, ignore_errors=True)


# ---- beyond the formats: containers, CP/M 3 stamps, text files -----------------

EIGHT_INCH = ("SPT=26\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
              "BLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n")
# The 8-inch disk is known to libdsk only from a format described in ~/.libdskrc.
LIBDSKRC = ("[ibm8]\nsidedness = alt\ncylinders = 77\nheads = 1\nsecsize = 128\nsectors = 26\n"
            "secbase = 1\ndatarate = SD\nfm = Y\n")
# xev section, libdsk format, diskdef (seclen tracks sectrk blocksize maxdir skew boottrk).
# cpmtools 2.23 takes the tracks of a two-sided libdsk container side after
# side, not in turns: it reads that one as the plain image libdsk makes.
LAYOUTS = [
    (EIGHT_INCH, "ibm8", "128 77 26 1024 64 6 2"),
    ("SPT=36\nXLT=0\nBLS=1\nEXM=0\nDSM=179\nDRM=63\nOFF=0\nSECSIZE=512\nSECBASE=0xC1\n",
     "cpcdata", "512 40 9 1024 64 1 0"),
    ("SPT=36\nXLT=0\nBLS=1\nEXM=0\nDSM=174\nDRM=63\nOFF=1\nSECSIZE=512\n", "pcw180",
     "512 40 9 1024 64 1 1"),
    ("SPT=72\nXLT=0\nBLS=2\nEXM=0\nDSM=710\nDRM=255\nOFF=2\nSECSIZE=512\nHEADS=2\n", "ibm1440",
     "512 160 18 2048 256 1 2"),
]


def scene(root, xev, section, diskdef=None, os_version="2.2"):
    """A folder with xev, a definition of type t, a cpmtools diskdef t and libdsk's formats."""
    work = tempfile.mkdtemp(prefix="scene-", dir=root)
    os.symlink(xev, os.path.join(work, "xev"))
    write(work, "xev.ini", f"[t]\n{section}")
    write(work, ".libdskrc", LIBDSKRC)
    if diskdef:
        keys = ("seclen", "tracks", "sectrk", "blocksize", "maxdir", "skew", "boottrk")
        lines = "".join(f"  {k} {v}\n" for k, v in zip(keys, diskdef.split()))
        write(work, "diskdefs", f"diskdef t\n{lines}  os {os_version}\nend\n")
    return work


def write(work, name, data):
    with open(os.path.join(work, name), "wb" if isinstance(data, bytes) else "w") as file:
        file.write(data)


def read(work, name):
    with open(os.path.join(work, name), "rb") as file:
        return file.read()


def tool(work, *args):
    """xev or a peer, which must succeed; its standard output."""
    code, out, err = run(list(args), work)
    check(code == 0, f"{' '.join(args)}: {(err or out).strip()[:120] or code}")
    return out


def containers(root, xev):
    """Per layout and container kind: n.t is the container xev makes, a.t the plain
    image libdsk makes of it, p.t a plain image xev writes, c.t libdsk's container of it."""
    os.environ["HOME"] = root
    write(root, ".libdskrc", LIBDSKRC)
    rng = random.Random("containers")
    data = bytes(rng.randrange(256) for _ in range(20000))
    for section, libdsk, diskdef in LAYOUTS:
        two_sided = libdsk == "ibm1440"
        for kind in ("edsk", "dsk", "imd"):
            work = scene(root, xev, f"{section}CONTAINER={kind}\n", diskdef)
            if not two_sided:
                with open(os.path.join(work, "diskdefs"), "r+") as defs:
                    text = defs.read().replace("end\n", f"  libdsk:format {libdsk}\nend\n")
                    defs.seek(0)
                    defs.write(text)
            write(work, "b.bin", data)
            write(work, "C.BIN", data[:4000])
            trans = ["dsktrans", "-format", libdsk]
            tool(work, "./xev", "n.t", "-a", "b.bin")
            tool(work, "dskid", "n.t")
            tool(work, *trans, "-itype", kind, "-otype", "raw", "n.t", "a.t")
            tool(work, "fsck.cpm", "-n", "-f", "t", *(["a.t"] if two_sided else ["-T", kind, "n.t"]))
            if not two_sided:
                listed = tool(work, "cpmls", "-f", "t", "-T", kind, "n.t")
                check("b.bin" in listed, f"{libdsk} {kind}: cpmls lists {listed!r}")
            shutil.copy(os.path.join(work, "a.t"), os.path.join(work, "p.t"))
            tool(work, "./xev", "p.t", "-f")  # a plain image stays plain
            tool(work, "./xev", "p.t", "-a", "b.bin")
            check(read(work, "a.t") == read(work, "p.t"), f"{libdsk} {kind}: libdsk's plain image differs")
            tool(work, *trans, "-itype", "raw", "-otype", kind, "p.t", "c.t")
            tool(work, "./xev", "c.t", "-x", "B.BIN")
            check(read(work, "B.BIN")[:20000] == data, f"{libdsk} {kind}: xev reads another file")
            # A container keeps its form through a full format; system tracks
            # move between the two forms.
            system = [] if "OFF=0" in section else [["p.t", "-w", "C.BIN"], ["c.t", "-i", "p.t"]]
            for args in [["c.t", "-f"], ["p.t", "-f"], *system, ["c.t", "-a", "C.BIN"],
                         ["p.t", "-a", "C.BIN"]]:
                tool(work, "./xev", *args)
            tool(work, *trans, "-itype", kind, "-otype", "raw", "c.t", "d.t")
            check(read(work, "d.t") == read(work, "p.t"), f"{libdsk} {kind}: the container differs")
            shutil.rmtree(work)
    return f"{len(LAYOUTS)} layouts in edsk, dsk and imd"


def stamp_text(cpmls_date):
    """cpmls' "07-Dec-2026 10:36" as xev shows it, "2026-12-07 10:36"."""
    months = "JanFebMarAprMayJunJulAugSepOctNovDec"
    day, month, rest = cpmls_date.split("-", 2)
    return f"{rest[:4]}-{months.index(month) // 3 + 1:02d}-{day} {rest[5:10]}"


def cpm3_stamps(root, xev):
    """A CP/M 3 disk with create and update stamps, made and stamped by cpmtools."""
    work = scene(root, xev, EIGHT_INCH, LAYOUTS[0][2], "3")
    write(work, "OLD.TXT", "old\n")
    write(work, "NEW.TXT", "n" * 3000)
    tool(work, "mkfs.cpm", "-f", "t", "-L", "stamped", "-t", "d.img")
    with open(os.path.join(work, "d.img"), "r+b") as image:
        image.truncate(256256)
        image.seek(6656 + 12)
        image.write(b"\x31")  # create and update stamps
    tool(work, "cpmcp", "-f", "t", "d.img", "OLD.TXT", "0:OLD.TXT")
    shown = tool(work, "./xev", "d.img", "-it", "t", "-cd", "-c")
    check("CP/M 3 disk label: STAMPED\n" in shown, f"no label in {shown!r}")
    peer = re.search(r"OLD +\.TXT.*?(\d\d-\w{3}-\d{4} \d\d:\d\d) +(\S+ \S+)",
                     tool(work, "cpmls", "-f", "t", "-D", "d.img"))
    ours = f"0 OLD.TXT          1    1K  --  {stamp_text(peer[1])}  {stamp_text(peer[2])}"
    check(ours in shown, f"cpmls shows {peer[0]!r}, xev {shown!r}")
    for change in (["-a", "NEW.TXT"], ["-sa", "NEW.TXT", "R-"], ["-su", "OLD.TXT", "3"],
                   ["-e", "OLD.TXT", "-u", "3"]):
        tool(work, "./xev", "d.img", "-it", "t", *change)
        report = tool(work, "fsck.cpm", "-f", "t", "-n", "d.img")
        check("Warning" not in report and "Error" not in report, f"after {change}: {report}")
    new = re.search(r"0 NEW\.TXT .*[R-][S-]  (\S+ \S+)  (\S+ \S+)",
                    tool(work, "./xev", "d.img", "-it", "t", "-cd", "-c"))
    peer = re.search(r"NEW +\.TXT +3K +24 R +(\S+ \S+) +(\S+ \S+)",
                     tool(work, "cpmls", "-f", "t", "-D", "d.img"))
    check(new and peer and new[1] == new[2] == stamp_text(peer[1]) == stamp_text(peer[2]),
          f"stamps of NEW.TXT: xev {new and new[0]!r}, cpmls {peer and peer[0]!r}")
    shutil.rmtree(work)
    return "label, stamps and every change"


def text_files(root, xev):
    """-txt writes and reads what cpmcp -t does."""
    work = scene(root, xev, EIGHT_INCH, LAYOUTS[0][2])
    text = b"".join(b"line %d of text\n" % i for i in range(1000))  # two directory entries
    write(work, "t.txt", text)
    tool(work, "./xev", "g.t", "-a", "t.txt", "-txt")
    tool(work, "cpmcp", "-f", "t", "-t", "g.t", "0:T.TXT", "peer.txt")
    tool(work, "cpmcp", "-f", "t", "-t", "g.t", "t.txt", "0:PEER.TXT")
    tool(work, "./xev", "g.t", "-x", "PEER.TXT", "-txt")
    check(read(work, "peer.txt") == text and read(work, "PEER.TXT") == text, "the texts differ")
    shutil.rmtree(work)
    return "both ways"


EXTRAS = (("containers", containers), ("CP/M 3 stamps", cpm3_stamps), ("text files", text_files))


def run_extra(root, xev, check_it):
    try:
        return "pass", check_it(root, xev)
    except Failure as failure:
        return "FAIL", str(failure)


def cpu_limit():
    """A tool that loops on and on dies after 20 s of work, also when the
    one who started it was stopped first."""
    resource.setrlimit(resource.RLIMIT_CPU, (20, 21))  # SIGXCPU, not SIGKILL


# ---- main ---------------------------------------------------------------------

def main():
    # No image is larger than 1 GiB: a runaway writer ends there.
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, 1 << 30))
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--xev", default="build/release/xev", help="the xev to test")
    parser.add_argument("--formats", default=os.path.join(here, "..", "xev-formats.ini"),
                        help="the named formats to check")
    parser.add_argument("--diskdefs", default="/etc/cpmtools/diskdefs")
    parser.add_argument("--sample", type=int, help="run only N formats, chosen by the seed")
    parser.add_argument("--seed", default="1", help="seed of the sample and the files")
    parser.add_argument("--files", type=int, default=8, help="files per format")
    parser.add_argument("--format", action="append", help="run only this format")
    options = parser.parse_args()

    for peer in ("mkfs.cpm", "cpmls", "cpmcp", "fsck.cpm", "dsktrans", "dskid"):
        if shutil.which(peer) is None or not os.path.exists(options.diskdefs):
            print(f"interop-matrix: {peer} or {options.diskdefs} not found "
                  "(install cpmtools and libdsk-utils)")
            return SKIPPED
    if not os.access(options.xev, os.X_OK):
        sys.exit(f"interop-matrix: no xev at {options.xev}")

    sections = read_sections(options.formats)
    diskdefs = {d["name"]: d for d in read_diskdefs(options.diskdefs)}
    names = sorted(sections, key=str.lower)
    if options.format:
        unknown = set(options.format) - set(sections)
        if unknown:
            sys.exit(f"interop-matrix: {options.formats} has no {', '.join(sorted(unknown))}")
        names = options.format
    elif options.sample is not None:
        names = sorted(random.Random(options.seed).sample(names, min(options.sample, len(names))),
                       key=str.lower)

    with tempfile.TemporaryDirectory(prefix="xev-interop-") as root:
        xev = os.path.join(root, "xev")
        shutil.copy2(options.xev, xev)
        shutil.copy(options.formats, os.path.join(root, "xev-formats.ini"))
        write_diskdefs(options.diskdefs, os.path.join(root, "diskdefs"))
        # Nothing but the shipped file: no user file, no xev.ini.
        os.environ["XDG_CONFIG_HOME"] = os.path.join(root, "config")
        results = []
        for name in names:
            if name not in diskdefs:
                results.append((name, "FAIL", "cpmtools has no diskdef of this name"))
                continue
            geometry = geometry_of(sections[name])
            diskdef = diskdefs[name]
            geometry["offset"] = offset_bytes(diskdef, geometry["SPT"] * RECORD)
            geometry["dirblks"] = int(diskdef.get("dirblks", int(diskdef["maxdir"]) * 32 //
                                                  int(diskdef["blocksize"])))
            results.append((name, *run_format(root, xev, name, geometry, options.seed,
                                              options.files)))
        extras = [] if options.format else [(n, *run_extra(root, xev, f)) for n, f in EXTRAS]

    width = max([len(n) for n in names] + [6])
    columns = (("SPT", 5), ("BLS", 3), ("EXM", 3), ("DSM", 5), ("DRM", 5), ("OFF", 3))
    print(f"{'format':<{width}}" + "".join(f" {k:>{w}}" for k, w in columns) + "  result")
    for name, outcome, detail in results:
        section = sections[name]
        print(f"{name:<{width}}" + "".join(f" {section[k]:>{w}}" for k, w in columns) +
              f"  {outcome}: {detail}")
    for name, outcome, detail in extras:
        print(f"{name:<{width}}  {outcome}: {detail}")
    results += extras
    passed = sum(1 for r in results if r[1] == "pass")
    failed = sum(1 for r in results if r[1] == "FAIL")
    print(f"\n{len(sections)} formats shipped; {len(results)} run, "
          f"{len(results) - passed - failed} skipped by cpmtools.")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())
