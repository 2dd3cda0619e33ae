#!/usr/bin/env python3
"""What only a running xev shows: exit statuses and the order of its two
streams, the definition file found through argv[0], the console waits,
concurrent runs, failing host devices, and -cj read by Python's json. (The
round trips with cpmtools and libdsk are scripts/interop-matrix.py's.)

  blackbox_test.py XEV [--same-as NATIVE_XEV RUNNER...]

With a RUNNER (wine), XEV is a Windows xev.exe: the cases that need a POSIX
terminal, argv[0] of our choosing or devices are skipped there, and a run of
every command must give the same bytes as the native NATIVE_XEV.
"""
import atexit, json, os, re, resource, select, shutil, signal, stat, subprocess, sys, tempfile, termios, time

XEV = os.path.abspath(sys.argv[1])
NATIVE_XEV, RUNNER = (os.path.abspath(sys.argv[3]), sys.argv[4:]) if sys.argv[2:3] == ["--same-as"] else (None, [])
BANNER = b"\nXEV CP/M Disk Image Manager v2.4\n(c) 2026 The xev Authors\n\n"
INI = (b"[dsk]\nSPT=26\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
       b"BLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n[zzq]\nSPT=26\nXLT=0\nBLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n")
failures = []
resource.setrlimit(resource.RLIMIT_FSIZE, (256 << 20, 256 << 20))  # a runaway writer ends at 256 MiB
if not RUNNER:  # a runaway loop after 10 s of work (Wine's server lives on, so not there)
    resource.setrlimit(resource.RLIMIT_CPU, (10, 11))  # SIGXCPU, not SIGKILL


def check(what, got, wanted):
    if got != wanted:
        failures.append(what)
        print(f"FAIL {what}\n  wanted {wanted!r:.300}\n  got    {got!r:.300}")


def folder(xev=XEV):
    """A folder with the program (a link, or a copy of the .exe) and its definitions."""
    path = tempfile.mkdtemp(prefix="xev-blackbox-")
    atexit.register(shutil.rmtree, path, True)
    name = os.path.basename(xev)
    (shutil.copy if xev.endswith(".exe") else os.symlink)(xev, os.path.join(path, name))
    write(path, os.path.splitext(name)[0] + ".ini", INI)
    return path, os.path.join(path, name)


def write(cwd, name, data):
    with open(os.path.join(cwd, name), "wb") as file:
        file.write(data)


def read(cwd, name):
    path = os.path.join(cwd, name)
    return open(path, "rb").read() if os.path.exists(path) else None


def run(cwd, program, *args, merged=False, env=None, stdin=subprocess.DEVNULL):
    done = subprocess.run((RUNNER if program.endswith(".exe") else []) + [program, *args], cwd=cwd,
                          stdin=stdin, stdout=subprocess.PIPE, env=env, timeout=60,
                          stderr=subprocess.STDOUT if merged else subprocess.PIPE)
    if done.returncode == -signal.SIGXCPU:  # every later run would wait for the same
        sys.exit(f"xev ran on and on: {args}")
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
    if not RUNNER:  # a bare name: the folder of the running program, not the working folder
        env = dict(os.environ, PATH=cwd + os.pathsep + os.environ["PATH"])
        done = subprocess.run(["xev", "new.zzq", "-c"], cwd=cwd, env=env, capture_output=True)
        check("bare program name", (done.returncode, done.stderr),
              (18, b"Definition for Image type `zzq` missing !!!\n"))


def scripting():
    """-cj, read by Python's json, agrees with -c on every number, and escapes names."""
    cwd, program = folder()
    write(cwd, "t.txt", bytes(30000))  # two directory entries
    for name in ("T.TXT", "PEER.TXT"):
        run(cwd, program, "g.dsk", "-a", "t.txt", "-afn", name)
    run(cwd, program, "g.dsk", "-sa", "PEER.TXT", "RS")
    with open(os.path.join(cwd, "g.dsk"), "r+b") as image:  # names to escape, two labels
        image.seek(6656 + 4 * 32)
        image.write(b'\x03A"Q     T\\X' + bytes(20) + b"\xe5MYDISK\0\0\0\0\0\0\0\0\xff" + bytes(16) +
                    b"\x01\x01\x7f" + b" " * 9 + bytes(20) + b"\x20CPM3LABL   " + bytes(20))
    for options, label, names in ((["-c"], "CPM3LABL", ["\x01\x7f", 'A"Q.T\\X', "PEER.TXT", "T.TXT"]),
                                  (["-tns", "-cu", "-u", "0", "-c", "*.TXT"], "MYDISK", ["T.TXT", "PEER.TXT"])):
        d = json.loads(run(cwd, program, "g.dsk", "-iide", "-cj", *options)[1])
        lines = "".join("%2d %-12s  %4d %4dK  %s%s\n" % (f["user"], re.sub("[\0-\37\177]", "?", f["name"]),
                        f["records"], f["kib"], "-R"[f["read_only"]], "-S"[f["system"]]) for f in d["files"])
        lines += "\n%dK in %d file(s), %dK free\n%d directory entries free\n\n" % (
            d["used_kib"], len(d["files"]), d["free_kib"], d["free_entries"])
        listing = run(cwd, program, "g.dsk", "-iide", "-c1", *options)[1]
        check("-cj as -c " + options[0], (lines.encode(), d["image"], d["type"], d["label"],
                                          [f["name"] for f in d["files"]], [f["entries"] for f in d["files"]]),
              (listing[listing.index(b"-\n") + 2:], "g.dsk", "dsk", label, names, [1, 1, 2, 2][-len(names):]))


def read_until(fd, text, seconds=10):
    seen, deadline = b"", time.monotonic() + seconds
    while text not in seen and time.monotonic() < deadline:
        if select.select([fd], [], [], 0.1)[0]:
            seen += os.read(fd, 4096)
    return seen


def in_the_wait(master, terminal, prompt=b"Press ENTER ...\r\n"):
    """Reads up to the usage prompt, then waits until the keys are read without echo."""
    before, deadline = read_until(master, prompt), time.monotonic() + 10
    while termios.tcgetattr(terminal)[3] & termios.ECHO and time.monotonic() < deadline:
        select.select([], [], [], 0.01)
    return before


def finish(child):
    """The exit status, waiting no more than a few seconds for it."""
    try:
        return child.wait(timeout=10)
    finally:
        child.kill()


def console_waits():
    cwd, program = folder()
    master, slave = os.openpty()
    mode = termios.tcgetattr(slave)
    start = lambda: subprocess.Popen([program], stdin=slave, stdout=slave, stderr=slave, start_new_session=True)
    child = start()
    check("usage before the wait", in_the_wait(master, slave).count(b"\n"), 20)
    check("key mode", termios.tcgetattr(slave)[:4],  # else as it was
          [mode[0] & ~termios.ICRNL, mode[1], mode[2], mode[3] & ~(termios.ICANON | termios.ECHO)])
    os.write(master, b"x y")  # only Enter ends the wait; the keys are not echoed
    check("other keys do not continue", read_until(master, b"-c\t", 1), b"")
    os.write(master, b"\r")
    check("Enter continues", b"system itself\r\n" in read_until(master, b"system itself\r\n"), True)
    finish(child)
    child = start()  # an interrupt leaves the terminal as it found it
    in_the_wait(master, slave)
    child.send_signal(signal.SIGINT)
    check("interrupted", (finish(child), termios.tcgetattr(slave)), (-signal.SIGINT, mode))
    # Ctrl-Z gives the terminal back while stopped and takes it again after;
    # an interrupt ignored by whoever started xev stays ignored.
    child = subprocess.Popen([program], stdin=slave, stdout=slave, stderr=slave, preexec_fn=lambda: (
        os.setpgrp(), signal.signal(signal.SIGINT, signal.SIG_IGN)))
    in_the_wait(master, slave)
    for what in ("stopped", "stopped again"):
        child.send_signal(signal.SIGTSTP)
        check(what, (os.WIFSTOPPED(os.waitpid(child.pid, os.WUNTRACED)[1]), termios.tcgetattr(slave)),
              (True, mode))
        child.send_signal(signal.SIGCONT)
        in_the_wait(master, slave, b"")
    child.send_signal(signal.SIGINT)
    os.write(master, b"\r")
    check("continued", finish(child), 0)
    run(cwd, program, "g.dsk", "-f")  # output to a pipe waits for nobody, keyboard or not
    write(cwd, "LONG.TXT", b"line\n" * 45)
    run(cwd, program, "g.dsk", "-a", "LONG.TXT")
    out = run(cwd, program, "g.dsk", "-t", "LONG.TXT", stdin=os.openpty()[1])[1]
    check("no wait into a pipe", out.count(b" ... Press Enter to continue ..."), 2)


def concurrent_adds():
    """Twenty runs adding at once to an image the first of them creates: each
    waits for the image, one formats it, none loses a file."""
    cwd, program = folder()
    files = {f"F{i:02}.BIN": bytes((i * 7 + j) % 251 for j in range(2000 + 300 * i)) for i in range(20)}
    for name, data in files.items():
        write(cwd, name, data)
    runs = [subprocess.Popen([program, "c.dsk", "-a", n], cwd=cwd, stdout=subprocess.DEVNULL) for n in files]
    check("all concurrent adds succeed", [r.wait() for r in runs], [0] * len(files))
    run(cwd, program, "c.dsk", "-x", "*.*")
    check("their bytes", {n: read(cwd, n) for n in files}, {n: d + b"\xe5" * (-len(d) % 128) for n, d in files.items()})
    fsck = subprocess.run(["fsck.cpm", "-f", "ibm-3740", "-n", "c.dsk"], cwd=cwd, capture_output=True)
    check("fsck.cpm after concurrent adds", fsck.returncode, 0)


def failing_devices():
    cwd, program = folder()
    run(cwd, program, "g.dsk", "-f")
    full = "/dev/full"  # as root, a node of its own: a faulty xev must not replace the system's
    if os.geteuid() == 0:
        os.mknod(os.path.join(cwd, "full"), 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        try:  # a folder on a file system that allows no devices keeps /dev/full
            os.close(os.open(os.path.join(cwd, "full"), os.O_WRONLY))
            full = os.path.join(cwd, "full")
        except OSError:
            pass
    check("full device", run(cwd, program, "g.dsk", "-s", full)[2], b"Error on write to the file `full` !!!\n")
    os.mkfifo(os.path.join(cwd, "ff.dsk"))  # its own writer end must not make it wait for data
    check("pipe as image", run(cwd, program, "ff.dsk", "-a", "x")[::2], (3, b"Image `ff.dsk` has bad size !!!\n"))
    os.mkdir(os.path.join(cwd, "small"))
    if os.geteuid() == 0 and subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", "small"],
                                            cwd=cwd, capture_output=True).returncode == 0:
        try:
            check("full file system", run(cwd, program, "small/f.dsk", "-f")[::2],
                  (5, b"Error on write to the image `f.dsk` !!!\n"))
        finally:
            subprocess.run(["umount", "small"], cwd=cwd)


def same_as_native():
    """Every command on both builds: the same output and the same files."""
    commands = ["-a in/*.*", "-c", "-cp 2 -c1 -c", "-t T.TXT", "-h B.BIN", "-x out/*.*", "-sa *.* RS",
                "-su B.BIN 5", "-e T.TXT", "-a in/T.TXT -afn new.txt -u 2", "-s out/sys.bin", "-w in/B.BIN",
                "-i g2.dsk", "-a gone/*", "-iti", "-x out/NONE", "-a in/T.TXT -afn U.TXT -txt",
                "-nb -h U.TXT", "-cj -c", "t.dsk -f -tns -lbl tns", "t.dsk -tns -a in/T.TXT", "t.dsk -c",
                "x.dsk -c"]
    results = []
    for xev in (XEV, NATIVE_XEV):
        cwd, program = folder(xev)
        for sub in ("in", "out"):
            os.mkdir(os.path.join(cwd, sub))
        for name, data in {"in/T.TXT": b"text\r\n" * 40 + b"\x1a", "in/B.BIN": bytes(range(256)) * 9,
                           "g2.dsk": bytes(256256)}.items():
            write(cwd, name, data)
        # -iti names its definition file, in a folder of its own each time.
        outputs = [tuple(re.sub(rb"(Definition File: ).*[/\\]", rb"\1", o) if isinstance(o, bytes) else o
                         for o in run(cwd, program, *(c if c.startswith("t.") or c.startswith("x.")
                                                       else "g.dsk " + c).split())) for c in commands]
        names = sorted(os.path.relpath(os.path.join(d, f), cwd) for d, _, fs in os.walk(cwd) for f in fs
                       if not f.startswith("xev"))
        results.append((outputs, {n: read(cwd, n) for n in names}))
    for command, got, wanted in zip(commands, *[r[0] for r in results]):
        check("same as native: " + command, got, wanted)
    check("same files as native", results[0][1], results[1][1])


statuses_and_streams()
if NATIVE_XEV:
    same_as_native()
if not RUNNER:
    scripting()
    console_waits()
    concurrent_adds()
    failing_devices()
print(f"blackbox: {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
