#!/usr/bin/env python3
"""veltrane-check.exe under Wine, end to end, against the Linux build.

The same bytes in give the same protocol on both systems, except that the
Windows protocol ends its lines in CR LF: every protocol here is compared
byte for byte with the Linux program's output with LF turned into CR LF, on
the examples, on hand-made edge cases, on generated files and, when the
checkout has ../shared/corpus beside it, on real files. Then exit
statuses, --output, the refusal without --force, and a file that another
process holds open.

Usage: cli_e2e.py WINDOWS_BIN LINUX_BIN WORK_DIR
  WINDOWS_BIN holds veltrane-check.exe, LINUX_BIN veltrane-check and
  (optionally) veltrane-gen-ins; WORK_DIR gets the Wine prefix and the files.
"""

import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "model"))
import ins_model  # noqa: E402

MINGW_CC = "x86_64-w64-mingw32-gcc"


def crlf(data):
    return data.replace(b"\n", b"\r\n")


class Wine:
    """Windows programs in a Wine prefix of this test's own, all against one
    wineserver that runs from before the first of them until stop().

    Left to itself, Wine ends its server three seconds after the last
    program, and a program that connects while it ends fails; a server
    started with -p stays. One server also makes each run cost tens of
    milliseconds instead of a start-up."""

    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=prefix, HOME=prefix + "-home",
                        WINEARCH="win64", WINEDEBUG="-all", LC_ALL="C",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.prefix = prefix
        self.own_server = False

    def create(self):
        # The server of an earlier run ends with the prefix it served.
        self.kill_server()
        shutil.rmtree(self.prefix, ignore_errors=True)
        shutil.rmtree(self.prefix + "-home", ignore_errors=True)
        os.makedirs(self.prefix)
        os.makedirs(self.prefix + "-home")
        # Status 2: a server runs already, and whoever started it ends it.
        status = subprocess.run(["wineserver", "-p"], env=self.env).returncode
        if status not in (0, 2):
            raise RuntimeError("no wineserver for %s (status %d)" % (self.prefix, status))
        self.own_server = status == 0
        # The first program starts Wine's background programs, which keep
        # its standard handles as long as the server runs: no pipes here.
        subprocess.run(["wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)

    def stop(self):
        """Ends the server if create() started it, with what still runs."""
        if self.own_server:
            self.kill_server()
            self.own_server = False

    def kill_server(self):
        if not os.path.isdir(self.prefix):
            return
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=30)
        except subprocess.TimeoutExpired:
            print("note: the wineserver of %s did not end within 30 s" % self.prefix)

    def popen(self, args, cwd, **kw):
        return subprocess.Popen(["wine"] + args, cwd=cwd, env=self.env, **kw)

    def run(self, args, cwd):
        # Output goes through files, not pipes: Wine's own background
        # processes, started by the first program, inherit its handles and
        # would keep a pipe open long after the program has ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            status = subprocess.run(["wine"] + args, cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, timeout=120).returncode
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, status, out.read(), err.read())


class Suite:
    def __init__(self, wine, win_exe, linux_exe, work):
        self.wine, self.win_exe, self.linux_exe, self.work = wine, win_exe, linux_exe, work
        self.passed = self.failed = 0

    def result(self, name, problems):
        if problems:
            self.failed += 1
            for p in problems:
                print("FAIL: %s: %s" % (name, p))
        else:
            self.passed += 1

    def windows(self, args):
        return self.wine.run([self.win_exe] + args, self.work)

    def linux(self, args):
        return subprocess.run([self.linux_exe] + args, cwd=self.work,
                              stdin=subprocess.DEVNULL, capture_output=True)

    def write(self, name, data):
        with open(os.path.join(self.work, name), "wb") as f:
            f.write(data)

    def read(self, name):
        """The file's bytes, or None when it does not exist."""
        try:
            with open(os.path.join(self.work, name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def same_protocol(self, name, data, options=()):
        """Both programs on `data` saved as `name`: standard output and exit
        status, and (for the small files) the --output file as well."""
        self.write(name, data)
        args = list(options) + [name]
        want, got = self.linux(args), self.windows(args)
        if not got.stdout and want.stdout and got.returncode == want.returncode:
            # Now and then Wine loses all that a program writes to its
            # standard output, even that of --version: two runs in about a
            # thousand once, then none in thousands more. A second run
            # tells that from a program that writes nothing; this run has
            # no side effects to repeat.
            print("note: %s %s: no standard output under Wine; run again" % (" ".join(options), name))
            got = self.windows(args)
        problems = []
        if got.returncode != want.returncode:
            problems.append("exit status %d, Linux %d (%r)"
                            % (got.returncode, want.returncode, got.stderr[:200]))
        if got.stdout != crlf(want.stdout):
            problems.append("standard output differs: %s" % first_difference(got.stdout, crlf(want.stdout)))
        if len(data) < 64 << 10 and want.returncode < 2 and "--format=gnu" not in options:
            for f in ("linux.txt", "windows.txt"):
                if os.path.exists(os.path.join(self.work, f)):
                    os.remove(os.path.join(self.work, f))
            self.linux(list(options) + ["--output", "linux.txt", name])
            run = self.windows(list(options) + ["--output", "windows.txt", name])
            written = self.read("windows.txt")
            if written is None:
                problems.append("--output wrote no file (exit status %d, %r)"
                                % (run.returncode, run.stderr[:200]))
            elif written != crlf(self.read("linux.txt")):
                problems.append("--output file differs: %s"
                                % first_difference(written, crlf(self.read("linux.txt"))))
        self.result("%s %s" % (" ".join(options), name), problems)


def first_difference(got, want):
    n = next((i for i in range(min(len(got), len(want))) if got[i] != want[i]),
             min(len(got), len(want)))
    return "at byte %d: got %r, expected %r" % (n, got[max(0, n - 20):n + 20],
                                                want[max(0, n - 20):n + 20])


# Files whose bytes the Windows text layer must read exactly as the Linux
# one does.
EDGE_FILES = [
    ("empty.ins", b""),
    ("lf.ins", b".Patch Names\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]=GX\n"),
    ("crlf.ins", b".Patch Names\r\n[GM]\r\n.Instrument Definitions\r\n[I]\r\nPatch[*]=GX\r\n"),
    ("lone_cr.ins", b".Note Names\r[Kit]\r\n[Kit\r]\r\nKey[*,*]=Kit\r\r\n"),
    ("ctrl_z.ins", b".Patch Names\r\n[A\x1aB]\r\n\x1a\r\n.Instrument Definitions\r\n"
                   b"[I]\r\nPatch[*]=A\x1aC\r\n\x1a"),
    ("nul_bytes.ins", b".Patch Names\r\n[A\x00B]\r\n[A\x00C]\r\n.Instrument Definitions\r\n"
                b"Patch[*]=A\x00D\r\n"),
    ("no_final_end.ins", b".Controller Names\r\n[Std]\r\n[Std]"),
    # CR LF split by the 254-byte pieces, and a line of exactly 253 bytes.
    ("piece_edge.ins", b".Patch Names\r\n[" + b"p" * 251 + b"]\r\n[" + b"q" * 252 + b"]\r\n"
                       b"Patch[*]=" + b"r" * 244 + b"\r\n"),
    ("high_bytes.ins", b".Patch Names\r\n[\xe9t\xe9]\r\n[\x83\x5d\x83\x41 Kit]\r\n[\xff]\r\n"),
]


# A reference one letter off the list it means, and no line end after it.
MISSPELT = b".Controller Names\r\n[Standard]\r\n.Instrument Definitions\r\n[I]\r\nControl=Standrd"
MISSPELT_FIXED = MISSPELT.replace(b"Standrd", b"Standard") + b"\r\n"
# The diff keeps the file's own line ends, as patch needs them.
MISSPELT_DIFF = (b"--- fix.ins\t\n+++ fix.ins\t\n@@ -2,4 +2,4 @@\n [Standard]\r\n"
                 b" .Instrument Definitions\r\n [I]\r\n-Control=Standrd\n"
                 b"\\ No newline at end of file\n+Control=Standard\r\n")


def double_byte_file(rng):
    """Labels and references made of lead and trail bytes, "]" and "=" among
    the trail bytes, single bytes in the upper half and lead bytes at the
    end of a name."""
    parts = [b"A", b"b", b"\x83\x5d", b"\x83\x41", b"\x81=", b"\xb1", b"\xdf", b"]", b"=",
             b"\x83", b"\xe0\x40", b"\xfe\xfe", b" "]
    heads = [b".Patch Names", b".Note Names", b".Controller Names", b".Instrument Definitions"]
    lines = []
    for _ in range(rng.randint(5, 40)):
        name = b"".join(rng.choice(parts) for _ in range(rng.randint(0, 4)))
        roll = rng.random()
        if roll < 0.15:
            lines.append(rng.choice(heads))
        elif roll < 0.55:
            lines.append(b"[" + name + rng.choice([b"]", b"", b"] x"]))
        else:
            lines.append(rng.choice([b"Patch[*]=", b"Key[*,*]=", b"Control=", b"BasedOn="]) + name)
    return b"\r\n".join(lines) + rng.choice([b"\r\n", b""])


def protocol_cases(suite, linux_bin, examples, corpus):
    for path in sorted(os.listdir(examples)):
        if path.endswith(".ins"):
            with open(os.path.join(examples, path), "rb") as f:
                data = f.read()
            suite.same_protocol(path, data)
            suite.same_protocol(path, data, ["--format=gnu"])
    for name, data in EDGE_FILES:
        suite.same_protocol(name, data)
    gen = os.path.join(linux_bin, "veltrane-gen-ins")
    if os.access(gen, os.X_OK):
        # The last is large enough to be read as two halves at once, each
        # half by positional reads of the one open handle.
        for seed, kbytes in ((1, 32), (2, 256), (3, 1024), (4, 6 * 1024)):
            out = os.path.join(suite.work, "gen.ins")
            subprocess.run([gen, "--kbytes", str(kbytes), "--seed", str(seed), "--output", out],
                           check=True)
            with open(out, "rb") as f:
                data = f.read()
            suite.same_protocol("gen-%d.ins" % seed, data)
            if kbytes > 4 * 1024:
                suite.same_protocol("gen-%d.ins" % seed, data, ["--format=gnu"])
    else:
        print("note: no %s (configure the Linux build with -DVELTRANE_BENCH=ON)" % gen)
    rng = random.Random(9)
    for n in range(150):
        suite.same_protocol("model-%d.ins" % n, ins_model.random_file(rng))
    if os.path.isdir(corpus):
        for path in sorted(os.listdir(corpus)):
            if path.endswith(".ins"):
                with open(os.path.join(corpus, path), "rb") as f:
                    suite.same_protocol(path, f.read())
    if suite.linux(["--codepage=932", "--version"]).returncode == 0:
        rng = random.Random(932)
        for codepage in ("932", "936"):
            for n in range(40):
                data = double_byte_file(rng)
                suite.same_protocol("dbcs-%d.ins" % n, data, ["--codepage=" + codepage])
                # Names decode with the same tables on both systems.
                suite.same_protocol("dbcs-%d.ins" % n, data, ["--codepage=" + codepage, "--format=gnu"])
    else:
        print("note: the Linux veltrane-check has no --codepage; double-byte files skipped")


ONE_LINE_NAMING = r"veltrane-check: %s: [^\r\n]+\r?\n"


def status_cases(suite, hold_open):
    """Exit statuses, --output and --force, and files the program cannot
    read, as the command line's user meets them."""
    clean = b".Instrument Definitions\r\n[I]\r\n"
    suite.write("clean.ins", clean)
    suite.write("rack.ins", EDGE_FILES[1][1])
    rack_protocol = crlf(suite.linux(["rack.ins"]).stdout)

    def fresh(name, data):
        return lambda: suite.write(name, data)

    def gone(name):
        def do():
            if os.path.exists(os.path.join(suite.work, name)):
                os.remove(os.path.join(suite.work, name))
        return do

    def read_only(name, data):
        def do():
            path = os.path.join(suite.work, name)
            if os.path.exists(path):
                os.chmod(path, 0o644)
            suite.write(name, data)
            os.chmod(path, 0o444)
        return do

    def file_is(name, data):
        def check():
            got = suite.read(name)
            return None if got == data else "%s is %r" % (name, got if got is None else got[:80])
        return check

    # (title, before, arguments, status, standard output, standard error
    # (a pattern), check of the files afterwards)
    cases = [
        ("no findings", None, ["clean.ins"], 0,
         b"Veltrane Protocol\r\nFile: \"clean.ins\"\r\n\r\nNumber of errors 0", b"", None),
        ("findings", None, ["rack.ins"], 1, rack_protocol, b"", None),
        ("missing input", None, ["missing.ins"], 2, b"", ONE_LINE_NAMING % "missing.ins", None),
        ("a folder as input", lambda: os.makedirs(os.path.join(suite.work, "dir.ins"), exist_ok=True),
         ["dir.ins"], 2, b"", ONE_LINE_NAMING % "dir.ins", None),
        # Device names, whatever their extension, are no files on Windows;
        # reading the console would wait for ever.
        ("the NUL device as input", None, ["nul.ins"], 2, b"", ONE_LINE_NAMING % "nul.ins", None),
        ("the AUX device as input", None, ["aux.ins"], 2, b"", ONE_LINE_NAMING % "aux.ins", None),
        ("the console as input", None, ["CON"], 2, b"", ONE_LINE_NAMING % "CON", None),
        ("no arguments", None, [], 2, b"", r"veltrane-check: no input file given; [^\r\n]+\r?\n", None),
        ("unknown option", None, ["--bogus", "rack.ins"], 2, b"",
         r"veltrane-check: unknown option '--bogus'; [^\r\n]+\r?\n", None),
        ("--output", gone("p.txt"), ["--output", "p.txt", "rack.ins"], 1, b"", b"",
         file_is("p.txt", rack_protocol)),
        ("--output onto an empty file", fresh("p.txt", b""), ["--output", "p.txt", "clean.ins"], 0,
         b"", b"", file_is("p.txt", b"Veltrane Protocol\r\nFile: \"clean.ins\"\r\n\r\nNumber of errors 0")),
        ("--output onto a file that is not empty", fresh("p.txt", b"older\r\n"),
         ["--output", "p.txt", "rack.ins"], 2, b"",
         r"veltrane-check: p.txt: file exists and is not empty; use --force to replace it\r?\n",
         file_is("p.txt", b"older\r\n")),
        ("--force", fresh("p.txt", b"older and longer than the protocol " * 20),
         ["--force", "--output", "p.txt", "rack.ins"], 1, b"", b"", file_is("p.txt", rack_protocol)),
        # Windows names are case-blind: these name the input file itself.
        ("--output naming the input in capitals", None, ["--force", "--output", "RACK.INS", "rack.ins"],
         2, b"", ONE_LINE_NAMING % "RACK.INS", file_is("rack.ins", EDGE_FILES[1][1])),
        ("--output naming the input with a backslash path", None,
         ["--force", "--output", ".\\rack.ins", "rack.ins"], 2, b"", ONE_LINE_NAMING % r"\.\\rack.ins",
         file_is("rack.ins", EDGE_FILES[1][1])),
        ("--output into a missing folder", None, ["--output", "nowhere\\p.txt", "rack.ins"], 2, b"",
         ONE_LINE_NAMING % r"nowhere\\p.txt", None),
        # Fixing replaces the file with MoveFileEx; every other byte stays.
        ("--fix", fresh("fix.ins", MISSPELT), ["--fix", "--unsafe-fixes", "fix.ins"], 0,
         b"fix.ins: 3 findings fixed, 0 remain\r\n", b"", file_is("fix.ins", MISSPELT_FIXED)),
        ("--fix again changes nothing", None, ["--fix", "--unsafe-fixes", "fix.ins"], 0,
         b"fix.ins: 0 findings fixed, 0 remain\r\n", b"", file_is("fix.ins", MISSPELT_FIXED)),
        ("--diff writes nothing", fresh("fix.ins", MISSPELT), ["--diff", "--unsafe-fixes", "fix.ins"], 1,
         MISSPELT_DIFF, b"", file_is("fix.ins", MISSPELT)),
        ("--fix of a read-only file", read_only("ro.ins", MISSPELT), ["--fix", "--unsafe-fixes", "ro.ins"],
         2, b"", r"veltrane-check: [^\r\n]*ro\.ins: [^\r\n]+; ro\.ins was not changed\r?\n",
         file_is("ro.ins", MISSPELT)),
    ]
    for title, before, args, status, out, err, after in cases:
        if before:
            before()
        got = suite.windows(args)
        if not got.stdout and not got.stderr and (out or err) and not before and not after:
            # Wine now and then loses a run's output (see same_protocol); a
            # case without side effects is run once more to tell that from
            # a program that says nothing.
            print("note: %s: no output under Wine; run again" % title)
            got = suite.windows(args)
        problems = []
        if got.returncode != status:
            problems.append("exit status %d, expected %d" % (got.returncode, status))
        if got.stdout != out:
            problems.append("standard output %r" % got.stdout[:200])
        if isinstance(err, bytes):
            if got.stderr != err:
                problems.append("standard error %r" % got.stderr)
        elif not re.fullmatch(err.encode(), got.stderr):
            problems.append("standard error %r" % got.stderr)
        problem = after() if after else None
        if problem:
            problems.append(problem)
        suite.result(title, problems)

    # A file that another process holds open cannot be read, and stays as
    # it was.
    suite.write("held.ins", clean)
    holder = suite.wine.popen([hold_open, "held.ins"], suite.work, stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE)
    problems = []
    try:
        if not holder.stdout.readline().startswith(b"open"):
            problems.append("the helper could not open the file")
        else:
            got = suite.windows(["held.ins"])
            if got.returncode != 2 or got.stdout:
                problems.append("exit status %d, output %r" % (got.returncode, got.stdout[:80]))
            if not re.fullmatch((ONE_LINE_NAMING % "held.ins").encode(), got.stderr):
                problems.append("standard error %r" % got.stderr)
    finally:
        holder.stdin.close()
        holder.wait(timeout=30)
    if suite.read("held.ins") != clean:
        problems.append("the held file changed")
    # Once it is closed the file is readable again.
    if suite.windows(["held.ins"]).returncode != 0:
        problems.append("the file stays unreadable after the other process closed it")
    suite.result("a file another process holds open", problems)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    win_bin, linux_bin, work = (os.path.abspath(a) for a in argv)
    win_exe = os.path.join(win_bin, "veltrane-check.exe")
    linux_exe = os.path.join(linux_bin, "veltrane-check")
    files = os.path.join(work, "files")
    shutil.rmtree(files, ignore_errors=True)
    os.makedirs(files)
    hold_open = os.path.join(work, "hold_open.exe")
    subprocess.run([MINGW_CC, "-O2", "-Wall", "-Wextra", "-Werror", "-o", hold_open,
                    os.path.join(HERE, "hold_open.c")], check=True)
    wine = Wine(os.path.join(work, "prefix"))
    # Ended from outside, the test still ends its server.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    try:
        wine.create()
        suite = Suite(wine, win_exe, linux_exe, files)
        protocol_cases(suite, linux_bin, os.path.join(ROOT, "examples"),
                       os.path.join(os.path.dirname(ROOT), "shared", "corpus"))
        status_cases(suite, hold_open)
    finally:
        wine.stop()
    print("%d passed, %d failed" % (suite.passed, suite.failed))
    return 1 if suite.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
