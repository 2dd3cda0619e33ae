#!/usr/bin/env python3
"""What only a running xev shows: exit statuses and the order of its two
streams, the definition file found through argv[0], the console waits,
failing host devices, and what another program reads: -txt against cpmcp -t,
-cj through Python's json.

  blackbox_test.py XEV [--same-as NATIVE_XEV RUNNER...]

With a RUNNER (wine), XEV is a Windows xev.exe: the cases that need a POSIX
terminal, argv[0] of our choosing or devices are skipped there, and a run of
every command must give the same bytes as the native NATIVE_XEV.
"""
import json, os, re, select, shutil, signal, subprocess, sys, tempfile, termios, time

XEV = os.path.abspath(sys.argv[1])
NATIVE_XEV, RUNNER = (os.path.abspath(sys.argv[3]), sys.argv[4:]) if sys.argv[2:3] == ["--same-as"] else (None, [])
NATIVE = not RUNNER
BANNER = b"\nXEV CP/M Disk Image Manager v2.4\n(c) 2026 The xev Authors\n\n"
INI = (b"[dsk]\nSPT=26\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
       b"BLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n[zzq]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n")
failures = []


def check(what, got, wanted):
    if got != wanted:
        failures.append(what)
        print(f"FAIL {what}\n  wanted {wanted!r}\n  got    {got!r}")


def folder(xev=XEV):
    """A folder with the program (a link, or a copy of the .exe) and its definitions."""
    path = tempfile.mkdtemp(prefix="xev-blackbox-")
    name = os.path.basename(xev)
    (shutil.copy if xev.endswith(".exe") else os.symlink)(xev, os.path.join(path, name))
    with open(os.path.join(path, os.path.splitext(name)[0] + ".ini"), "wb") as ini:
        ini.write(INI)
    return path, os.path.join(path, name)


def run(cwd, program, *args, merged=False, env=None):
    runner = RUNNER if program.endswith(".exe") else []
    done = subprocess.run(runner + [program, *args], cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT if merged else subprocess.PIPE,
                          env=env, timeout=60)
    return done.returncode, done.stdout, done.stderr


def statuses_and_streams():
    cwd, program = folder()
    check("bad value", run(cwd, program, "g.dsk", "-u", "32", "-c"),
          (97, BANNER + b"\n", b"Bad value `32` for option `-u` !!!\n"))
    check("format", run(cwd, program, "g.dsk", "-f")[0], 0)
    check("failed command after its heading", run(cwd, program, "g.dsk", "-x", "NOPE", merged=True)[:2],
          (13, BANNER + b"Extracting file(s) from 'g.dsk'\n  path: '', mask: 'NOPE'\n\n"
                       b"File `NOPE` not found !!!\n"))
    check("definition beside the program", run(cwd, program, "new.zzq", "-c")[0], 2)
    if NATIVE:  # a bare name: the folder of the running program, not the working folder
        path = dict(os.environ, PATH=cwd + os.pathsep + os.environ["PATH"])
        done = subprocess.run(["xev", "new.zzq", "-c"], cwd=cwd, env=path, capture_output=True)
        check("bare program name", (done.returncode, done.stderr),
              (18, b"Definition for Image type `zzq` missing !!!\n"))
    shutil.rmtree(cwd)


def scripting():
    """-txt writes and reads what cpmcp -t does; -cj, read by Python, agrees with -c."""
    cwd, program = folder()
    path = lambda name: os.path.join(cwd, name)
    text = b"".join(b"line %d of text\n" % i for i in range(1000))  # two directory entries
    with open(path("t.txt"), "wb") as file:
        file.write(text)
    run(cwd, program, "g.dsk", "-a", "t.txt", "-txt")
    cpmcp = ["cpmcp", "-f", "ibm-3740", "-t", path("g.dsk")]
    subprocess.run(cpmcp + ["0:T.TXT", path("peer.txt")], check=True)
    subprocess.run(cpmcp + [path("t.txt"), "0:PEER.TXT"], check=True)
    run(cwd, program, "g.dsk", "-x", "PEER.TXT", "-txt")
    check("-txt as cpmcp -t", [open(path(n), "rb").read() for n in ("peer.txt", "PEER.TXT")], [text] * 2)
    check("-nb -t -txt: the text alone", run(cwd, program, "g.dsk", "-nb", "-t", "T.TXT", "-txt")[1], text)
    run(cwd, program, "g.dsk", "-sa", "PEER.TXT", "RS")
    with open(path("g.dsk"), "r+b") as image:  # a name to escape in user area 3, a TNS-DOS label
        image.seek(6656 + 4 * 32)
        image.write(b'\x03A"Q     T\\X' + bytes(20) + b"\xe5MYDISK     \0\0\0\xff" + bytes(16))
    for options, label, entries in ((["-c"], None, [1, 2, 2]),
                                    (["-tns", "-cu", "-u", "0", "-c", "*.TXT"], "MYDISK", [2, 2])):
        d = json.loads(run(cwd, program, "g.dsk", "-cj", *options)[1])
        lines = "".join("%2d %-12s  %4d %4dK  %s%s\n" % (f["user"], f["name"], f["records"], f["kib"],
                        "-R"[f["read_only"]], "-S"[f["system"]]) for f in d["files"])
        lines += "\n%dK in %d file(s), %dK free\n%d directory entries free\n\n" % (
            d["used_kib"], len(d["files"]), d["free_kib"], d["free_entries"])
        listing = run(cwd, program, "g.dsk", "-c1", *options)[1]
        check("-cj as -c " + options[0], (lines.encode(), d["image"], d["type"], d["label"],
                                          [f["entries"] for f in d["files"]]),
              (listing[listing.index(b"-\n") + 2:], "g.dsk", "dsk", label, entries))
    with open(path("xev.ini"), "wb") as ini:  # one type of that size, found by detection
        ini.write(INI.split(b"[zzq]")[0])
    shutil.copy(path("g.dsk"), path("g.img"))
    env = dict(os.environ, XDG_CONFIG_HOME=cwd)
    check("-cj names the type used", [json.loads(run(cwd, program, "g.img", *o, "-cj", "-c", env=env)[1])
                                      ["type"] for o in ([], ["-it", "DSK"])], ["dsk", "DSK"])
    check("-nb: no detection note", run(cwd, program, "g.img", "-nb", "-t", "T.TXT", "-txt", env=env)[1], text)
    with open(path("g.dsk"), "r+b") as image:  # control bytes (reported with -iide), a CP/M 3 label
        image.seek(6656 + 6 * 32)
        image.write(b"\x01\x01\x7f" + b" " * 9 + bytes(20) + b"\x20CPM3LABL   " + bytes(20))
    d = json.loads(run(cwd, program, "g.dsk", "-iide", "-cj", "-u", "1", "-c")[1])
    check("-cj escapes, CP/M 3 label", (d["files"][0]["name"], d["label"]), ("\x01\x7f", "CPM3LABL"))
    shutil.rmtree(cwd)


def read_until(fd, text, seconds=10):
    seen, deadline = b"", time.monotonic() + seconds
    while text not in seen and time.monotonic() < deadline:
        if select.select([fd], [], [], 0.1)[0]:
            try:
                seen += os.read(fd, 4096)
            except OSError:
                break
    return seen


def key_mode(terminal):
    """Waits until the program reads keys without echo."""
    deadline = time.monotonic() + 10
    while termios.tcgetattr(terminal)[3] & termios.ECHO and time.monotonic() < deadline:
        select.select([], [], [], 0.01)


def console_waits():
    cwd, program = folder()
    # Only Enter ends the wait; the keys are not echoed.
    master, slave = os.openpty()
    mode = termios.tcgetattr(slave)
    child = subprocess.Popen([program], stdin=slave, stdout=slave, stderr=slave, start_new_session=True)
    before = read_until(master, b"Press ENTER ...\r\n")
    key_mode(slave)
    os.write(master, b"x y")
    check("other keys do not continue", read_until(master, b"-c\t", 1), b"")
    os.write(master, b"\r")
    check("Enter continues", b"system itself\r\n" in read_until(master, b"system itself\r\n"), True)
    check("usage before the wait", before.count(b"\n"), 20)
    child.wait()
    # An interrupt during the wait leaves the terminal as it found it.
    child = subprocess.Popen([program], stdin=slave, stdout=slave, stderr=slave, start_new_session=True)
    read_until(master, b"Press ENTER ...\r\n")
    key_mode(slave)
    child.send_signal(signal.SIGINT)
    check("interrupted", child.wait(), -signal.SIGINT)
    check("terminal restored", termios.tcgetattr(slave), mode)
    # Output to a pipe waits for nobody, even with a keyboard at hand.
    run(cwd, program, "g.dsk", "-f")
    with open(os.path.join(cwd, "LONG.TXT"), "wb") as text:
        text.write(b"line\n" * 45)
    run(cwd, program, "g.dsk", "-a", "LONG.TXT")
    keyboard = os.openpty()[1]
    done = subprocess.run([program, "g.dsk", "-t", "LONG.TXT"], cwd=cwd, stdin=keyboard,
                          stdout=subprocess.PIPE, timeout=20)
    check("no wait into a pipe", done.stdout.count(b" ... Press Enter to continue ..."), 2)
    shutil.rmtree(cwd)


def concurrent_adds():
    """Twenty runs adding at once: each waits for the image, none loses a file."""
    cwd, program = folder()
    run(cwd, program, "c.dsk", "-f")
    files = {f"F{i:02}.BIN": bytes((i * 7 + j) % 251 for j in range(2000 + 300 * i)) for i in range(20)}
    for name, data in files.items():
        with open(os.path.join(cwd, name), "wb") as file:
            file.write(data)
    runs = [subprocess.Popen([program, "c.dsk", "-a", name], cwd=cwd, stdout=subprocess.DEVNULL)
            for name in files]
    check("all concurrent adds succeed", [r.wait() for r in runs], [0] * len(files))
    os.mkdir(os.path.join(cwd, "out"))
    run(cwd, program, "c.dsk", "-x", "out/*.*")
    for name, data in files.items():
        path = os.path.join(cwd, "out", name)
        got = open(path, "rb").read() if os.path.exists(path) else None
        check("bytes of " + name, got, data + b"\xe5" * (-len(data) % 128))
    if shutil.which("fsck.cpm"):
        done = subprocess.run(["fsck.cpm", "-f", "ibm-3740", "-n", "c.dsk"], cwd=cwd, capture_output=True)
        check("fsck.cpm after concurrent adds", done.returncode, 0)
    shutil.rmtree(cwd)


def failing_devices():
    cwd, program = folder()
    run(cwd, program, "g.dsk", "-f")
    check("full device", run(cwd, program, "g.dsk", "-s", "/dev/full")[2],
          b"Error on write to the file `full` !!!\n")
    disk = os.path.join(cwd, "small")
    os.mkdir(disk)
    if os.geteuid() == 0 and subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", disk],
                                            capture_output=True).returncode == 0:
        try:
            check("full file system", run(cwd, program, "small/f.dsk", "-f")[::2],
                  (5, b"Error on write to the image `f.dsk` !!!\n"))
        finally:
            subprocess.run(["umount", disk])
    shutil.rmtree(cwd)


def same_as_native():
    """Every command on both builds: the same output and the same files."""
    commands = [["g.dsk", "-a", "in/*.*"], ["g.dsk", "-c"], ["g.dsk", "-cp", "2", "-c1", "-c"],
                ["g.dsk", "-t", "T.TXT"], ["g.dsk", "-h", "B.BIN"], ["g.dsk", "-x", "out/*.*"],
                ["g.dsk", "-sa", "*.*", "RS"], ["g.dsk", "-su", "B.BIN", "5"],
                ["g.dsk", "-e", "T.TXT"], ["g.dsk", "-a", "in/T.TXT", "-afn", "new.txt", "-u", "2"],
                ["g.dsk", "-s", "out/sys.bin"], ["g.dsk", "-w", "in/B.BIN"], ["g.dsk", "-i", "g2.dsk"],
                ["t.dsk", "-f", "-tns", "-lbl", "tns"], ["t.dsk", "-tns", "-a", "in/T.TXT"], ["t.dsk", "-c"],
                ["g.dsk", "-a", "gone/*"], ["x.dsk", "-c"], ["g.dsk", "-iti"], ["g.dsk", "-x", "out/NONE"],
                ["g.dsk", "-a", "in/T.TXT", "-afn", "U.TXT", "-txt"], ["g.dsk", "-nb", "-h", "U.TXT"],
                ["g.dsk", "-cj", "-c"]]
    results = []
    for xev in (XEV, NATIVE_XEV):
        cwd, program = folder(xev)
        for sub in ("in", "out"):
            os.mkdir(os.path.join(cwd, sub))
        files = {"in/T.TXT": b"text\r\n" * 40 + b"\x1a", "in/B.BIN": bytes(range(256)) * 9,
                 "g2.dsk": bytes(256256)}
        for name, data in files.items():
            with open(os.path.join(cwd, name), "wb") as file:
                file.write(data)
        # -iti names its definition file, in a folder of its own each time.
        outputs = [tuple(re.sub(rb"(Definition File: ).*[/\\]", rb"\1", o) if isinstance(o, bytes) else o
                         for o in run(cwd, program, *args)) for args in commands]
        names = sorted(os.path.relpath(os.path.join(d, f), cwd) for d, _, fs in os.walk(cwd) for f in fs
                       if not f.startswith("xev"))
        results.append((outputs, {n: open(os.path.join(cwd, n), "rb").read() for n in names}))
        shutil.rmtree(cwd)
    for args, got, wanted in zip(commands, results[0][0], results[1][0]):
        check("same as native: " + " ".join(args), got, wanted)
    check("same files as native", results[0][1], results[1][1])


statuses_and_streams()
if NATIVE_XEV:
    same_as_native()
if NATIVE:
    scripting()
    console_waits()
    concurrent_adds()
    failing_devices()
print(f"blackbox: {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
