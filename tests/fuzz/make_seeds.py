#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets. Run from anywhere; the seeds
land in the corpus/ folder beside each harness. Crash reproducers committed
there by hand are left alone."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, target, "corpus")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode("latin-1"))


# Definition files.
SKEW_3740 = "1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22"
DEFINITIONS = {
    "3740": f"[dsk]\nSPT=26\nXLT={SKEW_3740}\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n",
    "crlf-comments": "; disks\r\n[other]\r\nSPT=9\r\n[DSK]\r\n; 40 tracks\r\nSPT=36 ; records\r\n"
                     "XLT=0\r\nBLS=2\r\nEXM=1\r\nDSM=170\r\nDRM=63\r\nOFF=1\r\n",
    "offx-skew": "[dsk]\nSPT=16\nXLT=1, 4, 7, 10, 13, 16, 3, 6, 9, 12, 15, 2, 5, 8, 11, 14\n"
                 "OFFX=5\nBLS=2\nEXM=0\nDSM=279\nDRM=63\nOFF=2\n",
    "hard-disk": "[dsk]\nSPT=128\nXLT=0\nBLS=16\nEXM=7\nDSM=2047\nDRM=1023\nOFF=0\n",
    "repeated-keys": "[dsk]\nSPT=8\nXLT=0\nBLS=1\nDRM=31\nEXM=0\nDSM=40\nOFF=3\nSPT=10\nBLS=2\n",
    "rejected-late": "[dsk]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\nDSM=0\n[x]\n",
}
for name, text in DEFINITIONS.items():
    write("fuzz_definition", name, text)
with open(os.path.join(HERE, "..", "..", "xev.ini"), "rb") as shipped:
    write("fuzz_definition", "shipped", shipped.read())

# Command lines, arguments separated by NUL bytes (the program name is fixed).
COMMAND_LINES = [
    ["games.dsk", "-c"],
    ["a.dsk", "-u", "2", "-cp", "7", "-c1", "-cu", "-c", "*.COM"],
    ["dir/a.dsk", "-a", "src/*.COM", "-u", "3", "-iide", "-tns"],
    ["a.dsk", "-a", "long-host-name.bin", "-afn", "X.COM", "-ow"],
    ["a.dsk", "-q", "-tns", "-lbl", "mydisk"],
    ["a.dsk", "-f", "-a", "X.COM"],
    ["a.dsk", "-sa", "A.TXT", "RS"],
    ["a.dsk", "-su", "A.TXT", "5", "-u", "0"],
    ["a.dsk", "-x", "../out/*.TXT"],
    ["a.dsk", "-e", "A.TXT", "-e", "B.TXT"],
    ["a.dsk", "-h", "A.TXT"],
    ["a.dsk", "-t", "A.TXT"],
    ["a.dsk", "-w", "sys\\cpm.bin"],
    ["a.dsk", "-i", "b.dsk"],
    ["a.dsk", "-s", "out/system.bin"],
    ["dummy.ext", "-iti"],
]
for number, line in enumerate(COMMAND_LINES):
    write("fuzz_options", f"line{number:02}", "\0".join(line))

# Images: header byte 0 is the geometry (low two bits) and the file pick,
# byte 1 the options; then the directory and the first data units, in
# logical order.
GEOMETRIES = [  # entries, unit size, 16-bit pointers
    (64, 1024, False),
    (64, 2048, False),
    (128, 2048, True),
    (64, 2048, True),
]


def entry(user, name, ext, ex, s2, rc, units, wide, attrs=""):
    body = bytes([user]) + name.ljust(8).encode() + bytearray(ext.ljust(3).encode())
    body = bytearray(body)
    if "R" in attrs:
        body[9] |= 0x80
    if "S" in attrs:
        body[10] |= 0x80
    body += bytes([ex, 0, s2, rc])
    pointers = b"".join(u.to_bytes(2, "little") for u in units) if wide else bytes(units)
    return bytes(body) + pointers.ljust(16, b"\0")


def tns_entry(mark, payload):
    body = bytearray(b"\xe5" + payload[:14].ljust(14, b"\0") + bytes([mark]))
    return bytes(body + payload[14:30].ljust(16, b"\0"))


for geometry, (entries, unit, wide) in enumerate(GEOMETRIES):
    first = entries * 32 // unit  # first unit after the directory
    text = b"Hello from CP/M.\r\n" * 20 + b"\x1a" * 40
    files = [
        entry(0, "HELLO", "TXT", 0, 0, (len(text) + 127) // 128, [first], wide),
        entry(3, "BIG", "COM", 0, 0, 0x80, list(range(first + 1, first + 9)), wide),
        entry(3, "BIG", "COM", 1, 0, 0x05, [first + 9], wide),
        entry(0, "SYS", "SYS", 0, 0, 1, [first + 10], wide, attrs="RS"),
        entry(31, "NOTYPE", "", 0, 0, 0, [], wide),
        tns_entry(0xFF, b"SEED LABEL "),
        tns_entry(0xFE, b"\xff" * 4),
    ]
    directory = b"".join(files).ljust(entries * 32, b"\xe5")
    data = text.ljust(unit, b"\xe5") + bytes(range(256)) * (unit // 256)
    write("fuzz_image", f"g{geometry}-files", bytes([geometry | 4, 0]) + directory + data)

    broken = [
        entry(0x20, "USER", "BAD", 0, 0, 1, [first], wide),
        entry(0, "BAD?NAME", "", 0, 0, 1, [first], wide),
        entry(0, "CROSS", "A", 0, 0, 8, [first, 65535 if wide else 255], wide),
        entry(0, "CROSS", "B", 0, 0, 8, [first, 1], wide),
        entry(1, "ORPHAN", "X", 5, 1, 0x80, [first + 1], wide),
    ]
    directory = b"".join(broken).ljust(entries * 32, b"\xe5")
    write("fuzz_image", f"g{geometry}-broken", bytes([geometry | 8, 0xFF]) + directory + data)
