#!/usr/bin/env python3
"""Runs scenario cases (the format of cases/README.md) on one of two targets.

  run_cases.py [--wine] [--build DIR] [CASE...]

By default the Linux zvpatch of DIR (build/dev) runs on a simulated machine;
with --wine zvpatch.exe of DIR (build/mingw) runs in a copy of a Wine prefix,
with the overrides and Wine-only cases of tests/wine/cases (see the README
there). A CASE is a folder or the name of a case; without any, every case.
One case prints its failures and "scenario NAME: passed"; several run in
parallel (ZV_SCENARIO_JOBS, default the CPUs up to 4) and end with "N passed, N failed".
ZV_SCENARIO_KEEP=1 keeps each work folder, ZV_SCENARIO_TIMEOUT (60 s) bounds
a run of the program.

The format is read and checked here; a target only seeds a machine, runs
the program, starts the machine again and says where its files are.
"""
import difflib
import fnmatch
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import types
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CASES = os.path.join(HERE, "cases")
WINE_CASES = os.path.join(REPO, "tests", "wine", "cases")
TIMEOUT = int(os.environ.get("ZV_SCENARIO_TIMEOUT", "60"))
KEEP = os.environ.get("ZV_SCENARIO_KEEP") == "1"

# Staged files and backup copies are named after the process id (ZVa01234,
# ZTb01234, ZBa01234): their five digits read NNNNN, also inside the hex
# bytes of PendingFileRenameOperations, whose lines may break anywhere.
STAGED = re.compile(r"(Z[VTB][a-z])[0-9]{5}")
SEP = r",(?:\\\r?\n[ \t]*)?"
HEX_STAGED = re.compile(r"(5a{0}(?:56|54|42){0}(?:6[1-9a-f]|7[0-9a]){0})3[0-9]({0})3[0-9]({0})"
                        r"3[0-9]({0})3[0-9]({0})3[0-9]".format(SEP), re.I)


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def first_line(path):
    return read(path).split("\n", 1)[0].strip("\r") if path else None


def entries(path):
    """The lines of a list file, without blanks and # comments."""
    lines = read(path).replace("\r", "").split("\n") if path else []
    return [l.strip() for l in lines if l.strip() and not l.startswith("#")]


def stamp_time(stamp):
    return time.mktime(time.strptime(stamp, "%Y%m%d%H%M.%S" if "." in stamp else "%Y%m%d%H%M"))


def date_files(top, stamp):
    for root, _dirs, names in os.walk(top):
        for name in names:
            os.utime(os.path.join(root, name), (stamp_time(stamp),) * 2)


def normalise(text, target):
    # The build date is the only text that changes from build to build.
    text = target.map(re.sub(r"(?m)^Compiled: [^\r\n]*", "Compiled: <date>", text))
    text = HEX_STAGED.sub(r"\g<1>4e\g<2>4e\g<3>4e\g<4>4e\g<5>4e", text)
    return STAGED.sub(r"\1NNNNN", text)


def visible(text):
    """Lines with every byte visible (CR as \\r), each line end as $."""
    lines = text.split("\n")
    show = lambda l: re.sub(r"[^\x20-\x5b\x5d-\x7e]", lambda m: {"\r": "\\r", "\t": "\\t", "\\": "\\\\"}
                            .get(m.group(), "\\x%02x" % ord(m.group())), l)
    return [show(l) + "$" for l in lines[:-1]] + ([show(lines[-1])] if lines[-1] else [])


def resolve(root, parts, fold):
    """The path of PARTS under ROOT: NNNNN matches five digits, and with FOLD
    names match without regard to case. A part that matches nothing stays."""
    path = root
    for part in parts:
        if ("NNNNN" in part or fold) and not os.path.lexists(os.path.join(path, part)) \
                and os.path.isdir(path):
            name = re.compile(re.escape(part).replace("NNNNN", "[0-9]{5}") + r"\Z", re.I if fold else 0)
            part = (sorted(e for e in os.listdir(path) if name.match(e)) or [part])[0]
        path = os.path.join(path, part)
    return path


def matching(root, parts):
    """Files and folders under ROOT matching the pattern PARTS, case ignored."""
    paths = [root]
    for part in parts:
        glob = part.replace("NNNNN", "[0-9]" * 5).lower()
        paths = [os.path.join(p, e) for p in paths if os.path.isdir(p)
                 for e in os.listdir(p) if fnmatch.fnmatchcase(e.lower(), glob)]
    return paths


class Case:
    """A case folder, with an override folder laid over it (Wine)."""

    def __init__(self, path, over=None):
        self.name = os.path.basename(path)
        self.layers = [d for d in (over, path) if d]

    def file(self, rel):
        for layer in self.layers:
            if os.path.lexists(os.path.join(layer, rel)):
                return os.path.join(layer, rel)
        return None

    def files(self, rel):
        """The files under REL in every layer, relative to REL."""
        found = set()
        for layer in self.layers:
            top = os.path.join(layer, rel)
            for root, _dirs, names in os.walk(top, followlinks=True):
                found.update(os.path.relpath(os.path.join(root, n), top).replace(os.sep, "/")
                             for n in names)
        return sorted(found)

    def seed_machine(self, locate):
        """Copies the machine's files to where the target keeps them, dated
        before the package's; answers the copies."""
        seeded = []
        for rel in self.files("machine"):
            dst = locate(rel)
            if dst:
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                shutil.copyfile(self.file("machine/" + rel), dst)
                os.utime(dst, (stamp_time("199901011200"),) * 2)
                seeded.append(dst)
        return seeded

    def seed_package(self, pkg, program, exe):
        """The package folder with the program in it as EXE, and the common
        catalog unless the package has one; its files dated 1 June 1999."""
        base = self.program()
        shutil.copytree(self.file("package") or tempfile.mkdtemp(), pkg, dirs_exist_ok=True)
        shutil.copyfile(program, os.path.join(pkg, exe))
        shutil.copymode(program, os.path.join(pkg, exe))
        if not self.file("no-catalog") and base.lower() + ".msg" not in map(str.lower, os.listdir(pkg)):
            shutil.copyfile(os.path.join(CASES, "common", "UPD.MSG"), os.path.join(pkg, base + ".MSG"))
        date_files(pkg, "199906011200")

    def program(self):
        return first_line(self.file("program")) or "UPD"


class Checker:
    def __init__(self, target, case):
        self.target, self.case, self.failures, self.label = target, case, 0, case.name

    def fail(self, message):
        print("FAILED [%s]: %s" % (self.label, message), file=sys.stderr)
        self.failures += 1

    def compare(self, label, want, got):
        want, got = (normalise(t, self.target) for t in (want, got))
        if want != got and ("\0" in want + got or max(map(len, (want + got).split("\n"))) > 400):
            at = next(i for i, (w, g) in enumerate(zip(want + "\n", got + "\n")) if w != g)
            hexed = lambda t: t[at:at + 16].encode("latin-1").hex(" ") or "(the end)"
            self.fail("%s differs from byte %d (%d bytes expected, %d actual):\n  expected: %s\n  actual:   %s"
                      % (label, at, len(want), len(got), hexed(want), hexed(got)))
        elif want != got:
            diff = list(difflib.unified_diff(visible(want), visible(got), "expected", "actual", lineterm=""))
            more = "\n(%d more lines)" % (len(diff) - 60) if len(diff) > 60 else ""
            self.fail("%s differs:\n%s%s" % (label, "\n".join(diff[:60]), more))

    def run(self):
        self.target.seed(self.case)
        step = ""
        while True:
            self.step(step)
            step += "rerun/"
            if not self.case.file(step):
                return self.failures == 0

    def step(self, step):
        t, case, before, exp = self.target, self.case, self.failures, step + "expect/"
        self.label = case.name + ("/" + step.rstrip("/") if step else "")
        for rel, stamp in (l.rsplit(" ", 1) for l in entries(case.file(step + "stamps"))):
            path = t.locate(rel)
            if not path or not os.path.exists(path):
                self.fail("stamps: no such file: " + rel)
            else:
                os.utime(path, (stamp_time(stamp),) * 2)
        t.before(case, step)
        r = t.run((first_line(case.file(step + "args")) or "").split(), first_line(case.file(step + "answers")))
        for problem in r.problems:
            self.fail(problem)
        if t.temp_left():
            self.fail("left behind in TEMP: " + " ".join(t.temp_left()))
        want = first_line(case.file(exp + "status")) or "0"
        if str(r.status) != want.strip():
            self.fail("exit status %s, expected %s" % (r.status, want.strip()))
        for label, name, got in (("standard output", "stdout", r.stdout), ("standard error", "stderr", r.stderr)):
            if got is not None and case.file(exp + name):
                self.compare(label, read(case.file(exp + name)), got)
        if r.shown is not None and case.file(exp + "stdout"):
            want = [l for l in normalise(read(case.file(exp + "stdout")), t).replace("\r", "").split("\n") if l]
            shown = [normalise(l, t) for l in r.shown]
            if not shown or shown != want[len(want) - len(shown):]:
                self.fail("the log window differs from the expected standard output:\n  expected:\n    %s"
                          "\n  shown:\n    %s" % ("\n    ".join(want), "\n    ".join(shown)))
        if case.file(exp + "events.log"):
            if r.events is None:
                self.fail("no events.log in the machine")
            else:
                want = read(case.file(exp + "events.log"))
                # Where the restart ends the run at once, no window line follows it.
                if t.restart_ends_run and re.search(r"(?m)^restart\t", want):
                    want = re.sub(r"(?m)^window\t.*\n", "", want)
                self.compare("events.log", want, r.events)

        # The next start of the machine, before the machine's files are checked.
        if case.file(step + "boot"):
            status, output = t.boot()
            want = (first_line(case.file(exp + "boot-status")) or "0").strip()
            if status is not None and want != "any" and str(status) != want:
                self.fail("zvboot exit status %s, expected %s" % (status, want))
            if output is not None and case.file(exp + "boot"):
                self.compare("zvboot's output", read(case.file(exp + "boot")), output)
        changes = t.changes()
        if changes is not None:
            self.compare("zvpatch-diff's report", read(case.file(exp + "changes")), changes)

        wanted = set()
        for top, prefix in (("machine", ""), ("work", "work/")):
            for rel in case.files(exp + top):
                path = t.locate(prefix + rel)
                if path is None:
                    continue
                wanted.add(STAGED.sub(r"\1NNNNN", path))
                if not os.path.isfile(path):
                    self.fail("missing in the %s: %s" % (top, rel))
                else:
                    self.compare(prefix + rel, read(case.file(exp + top + "/" + rel)), read(path))
        if case.file(exp + "no-other-files"):
            for path in t.machine_files():
                if STAGED.sub(r"\1NNNNN", path) not in wanted:
                    self.fail("not expected in the machine: " + t.show(path))
        for rel, stamp in (l.rsplit(" ", 1) for l in entries(case.file(exp + "stamps"))):
            path = t.locate(rel)
            if not path or not os.path.exists(path):
                self.fail("stamps: missing in the machine: " + rel)
                continue
            got = time.strftime("%Y%m%d%H%M.%S" if "." in stamp else "%Y%m%d%H%M",
                                time.localtime(os.stat(path).st_mtime))
            if got != stamp:
                self.fail("stamps: %s is dated %s, expected %s" % (rel, got, stamp))
        for pattern in entries(case.file(exp + "absent")):
            if t.matches(pattern):
                self.fail("should not exist in the machine: " + pattern)
        t.check_registry(case, step, self.fail)
        if self.failures != before:
            print(t.dump(), file=sys.stderr)


def result(status, problems=(), stdout=None, stderr=None, events=None, shown=None):
    """What a run gave; None where the target cannot tell."""
    return types.SimpleNamespace(**locals())


class Native:
    """The Linux zvpatch on a simulated machine: the program runs from a work
    folder as ./pkg/UPD, with the machine in machine/ and TEMP in temp/."""
    restart_ends_run = False

    def __init__(self, build, _case, _fail):
        self.build = build
        self.work = tempfile.mkdtemp(prefix="zvscenario.")
        self.machine = os.path.join(self.work, "machine")
        self.diff, self.output = None, ""

    def locate(self, rel):
        for space, root in (("package/", "pkg"), ("work/", "")):
            if rel.startswith(space):
                return resolve(os.path.join(self.work, root), rel[len(space):].split("/"), False)
        return resolve(self.machine, rel.split("/"), False)

    def matches(self, pattern):
        return matching(self.machine, pattern.split("/"))

    def map(self, text):
        return text

    def show(self, path):
        return os.path.relpath(path, self.machine)

    def seed(self, case):
        case.seed_machine(self.locate)
        self.exe = case.program()
        case.seed_package(os.path.join(self.work, "pkg"), os.path.join(self.build, "zvpatch"), self.exe)
        os.makedirs(os.path.join(self.work, "temp"))

    def before(self, case, step):
        # events.log is appended to: each step is checked against its own lines.
        if os.path.exists(os.path.join(self.machine, "events.log")):
            os.remove(os.path.join(self.machine, "events.log"))
        self.diff = os.path.join(self.work, "before") if case.file(step + "expect/changes") else None
        if self.diff:
            shutil.rmtree(self.diff, ignore_errors=True)
            self.tool("zvpatch-diff", "save", self.machine, self.diff)

    def tool(self, name, *args):
        p = subprocess.run([os.path.join(self.build, name)] + list(args), stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")

    def run(self, args, answers):
        self.output = ""
        env = dict(os.environ, ZVPATCH_MACHINE="machine", TEMP=os.path.join(self.work, "temp"))
        env.pop("ZVPATCH_ANSWERS", None)
        if answers is not None:
            env["ZVPATCH_ANSWERS"] = answers
        try:
            p = subprocess.run(["./pkg/" + self.exe] + args, cwd=self.work, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            return result(None, ["timed out after %ds (a box that is never answered?)" % TIMEOUT])
        out, err = p.stdout.decode("latin-1"), p.stderr.decode("latin-1")
        events = os.path.join(self.machine, "events.log")
        self.output = "--- standard output ---\n%s--- standard error ---\n%s" % (out, err)
        return result(p.returncode, (), out, err, read(events) if os.path.exists(events) else None)

    def dump(self):
        return self.output

    def temp_left(self):
        return os.listdir(os.path.join(self.work, "temp"))

    def boot(self):
        status, out, err = self.tool("zvboot", self.machine)
        self.output += "--- zvboot ---\n%s%s" % (out, err)
        return status, out

    def changes(self):
        if not self.diff:
            return None
        _status, out, err = self.tool("zvpatch-diff", "show", self.diff, self.machine)
        return out + err

    def machine_files(self):
        return [os.path.join(root, n) for root, _dirs, names in os.walk(self.machine) for n in names
                if root != self.machine or n not in ("machine.ini", "events.log", "machine.lock")]

    def check_registry(self, case, step, fail):
        pass  # registry.reg is a machine file, compared byte for byte

    def close(self):
        if KEEP:
            print("work folder kept: " + self.work, file=sys.stderr)
        else:
            shutil.rmtree(self.work, ignore_errors=True)


def find_case(arg, wine):
    """The case folder of ARG and, under Wine, its override folder."""
    path = arg if os.path.isdir(arg) else os.path.join(
        WINE_CASES if complete(os.path.join(WINE_CASES, arg)) else CASES, arg)
    path = os.path.abspath(path)
    name = os.path.basename(path)
    over = os.path.join(WINE_CASES, name) if wine else None
    if not over or not os.path.isdir(over) or complete(over):
        return path, None
    return (os.path.join(CASES, name) if path == over else path), over


def complete(folder):
    """A folder of tests/wine/cases that is a case of its own, not an override."""
    return any(os.path.exists(os.path.join(folder, f)) for f in ("package", "args"))


def run_one(target_class, build, arg):
    path, over = find_case(arg, target_class is not Native)
    if not complete(path) and not (over and complete(over)):
        # A mistyped name would otherwise run nothing and pass.
        print("scenario %s: no such case (no package/ or args in %s)" % (os.path.basename(path), path),
              file=sys.stderr)
        return False
    case = Case(path, over)
    if case.file("skip"):
        print("scenario %s: skipped: %s" % (case.name, first_line(case.file("skip"))))
        return True
    checker = Checker(None, case)
    target = target_class(build, case, checker.fail)
    checker.target = target
    try:
        ok = checker.run()
    finally:
        target.close()
    if not ok:
        print("scenario %s: %d check(s) failed" % (case.name, checker.failures), file=sys.stderr)
    else:
        print("scenario %s: passed" % case.name)
    return ok


def run_all(wine, build, args):
    """Each case in a process of its own; the failures' output at the end."""
    if not args:
        args = [d for d in sorted(os.listdir(CASES)) if d != "common" and os.path.isdir(os.path.join(CASES, d))]
        if wine:
            args += [d for d in sorted(os.listdir(WINE_CASES)) if complete(os.path.join(WINE_CASES, d))]
    start = time.time()

    def one(arg, again=True):
        p = subprocess.run([sys.executable, __file__, "--build", build] + (["--wine"] if wine else []) + [arg],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        log = p.stdout.decode("latin-1", "replace")
        if p.returncode and again and "err:winediag:nodrv_CreateWindow" in log:
            return one(arg, False)  # Wine could not reach the display: nothing of the case ran
        print(log.rstrip("\n").rsplit("\n", 1)[-1], flush=True)
        return p.returncode, log

    with ThreadPoolExecutor(int(os.environ.get("ZV_SCENARIO_JOBS", min(4, os.cpu_count() or 2)))) as pool:
        results = list(pool.map(one, args))
    for arg, (status, log) in zip(args, results):
        if status:
            print("=== %s\n%s" % (os.path.basename(arg.rstrip("/")), log))
    skipped = sum(": skipped: " in log for _s, log in results)
    failed = sum(1 for status, _log in results if status)
    print("run time %d s; %d skipped" % (time.time() - start, skipped))
    print("%d passed, %d failed" % (len(args) - failed - skipped, failed))
    return failed == 0


def main(argv):
    wine = "--wine" in argv
    argv = [a for a in argv if a != "--wine"]
    build = os.path.join(REPO, "build", "mingw" if wine else "dev")
    if argv[:1] == ["--build"]:
        build, argv = os.path.abspath(argv[1]), argv[2:]
    target_class = Native
    if wine:
        sys.path.insert(0, os.path.join(REPO, "tests", "wine"))
        import wine_target
        target_class = wine_target.Wine
        wine_target.prepare(build)
    if any(a.startswith("-") for a in argv):
        print(__doc__, file=sys.stderr)
        return 2
    if len(argv) == 1:
        return 0 if run_one(target_class, build, argv[0]) else 1
    return 0 if run_all(wine, build, argv) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
