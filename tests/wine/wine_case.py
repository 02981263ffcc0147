#!/usr/bin/env python3
"""Maps a scenario case (tests/scenarios/cases format) onto a Wine prefix.

  wine_case.py seed CASE PREFIX                  machine files, package into C:\\PKG
  wine_case.py stamps CASE STEP PREFIX           date files before a run
  wine_case.py keys CASE                         registry keys worth reading
  wine_case.py check CASE STEP PREFIX WORK       compare a step's expectations

CASE is the effective case: the simulator's case folder, with the Wine
override folder (tests/wine/cases/<name>) laid over it by the environment
variable ZV_WINE_OVERRIDE. STEP is "" for the first run or "rerun".

Where Wine differs from the simulated machine by nature, the comparison
adapts, and nothing else:
- The Windows directory is C:\\windows: the case's WindowsDir (C:\\WINDOWS,
  C:\\WINNT) maps to it, in paths of the machine and in every compared text.
- Names are found without regard to case, as Windows does.
- Short (8.3) names that a file system makes up for long ones differ: the
  simulated Windows 98 forms them as Windows 98 does (PROGRA~1), Wine
  hashes them (PROG~FBU); in compared texts both read <SHORT>.
- A prefix holds a whole Windows: registry keys are compared only where the
  case seeds or expects them, and "no other files" means no other files
  created or left among those the case seeded.
"""
import os
import re
import shutil
import sys
import time

FAILURES = []


def fail(message):
    FAILURES.append(message)


# --- the effective case: simulator folder plus Wine overrides ---------------

def override_dir():
    return os.environ.get("ZV_WINE_OVERRIDE", "")


def case_file(case, rel):
    """The Wine override of a case file if there is one, else the case's own."""
    over = override_dir()
    if over and os.path.lexists(os.path.join(over, rel)):
        return os.path.join(over, rel)
    path = os.path.join(case, rel)
    return path if os.path.lexists(path) else None


def ignored(rel):
    """Expectations the Wine override lists in its `ignore` file."""
    over = override_dir()
    path = os.path.join(over, "ignore") if over else ""
    if not path or not os.path.isfile(path):
        return False
    for line in open(path, encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if line and (rel == line or rel.startswith(line.rstrip("/") + "/")):
            return True
    return False


def windows_dir_name(case):
    ini = case_file(case, "machine/machine.ini")
    name = "WINDOWS"
    if ini:
        for line in open(ini, encoding="latin-1"):
            m = re.match(r"\s*WindowsDir\s*=\s*[A-Za-z]:\\([^;\s]+)", line)
            if m:
                name = m.group(1)
    return name


# --- paths -----------------------------------------------------------------

def lookup(parent, name, create=False):
    """The entry of directory PARENT named NAME without regard to case."""
    exact = os.path.join(parent, name)
    if os.path.lexists(exact):
        return exact
    if os.path.isdir(parent):
        for entry in os.listdir(parent):
            if entry.lower() == name.lower():
                return os.path.join(parent, entry)
    return exact


def prefix_path(prefix, windir, rel):
    """The prefix path of machine path REL (drive_c/WINNT/X -> drive_c/windows/X)."""
    parts = [p for p in rel.split("/") if p]
    if len(parts) >= 2 and parts[0].lower() == "drive_c" and parts[1].lower() == windir.lower():
        parts[1] = "windows"
    path = prefix
    for part in parts:
        if "NNNNN" in part and os.path.isdir(path):
            pattern = re.compile(re.escape(part).replace("NNNNN", "[0-9]{5}") + r"\Z", re.I)
            matches = sorted(e for e in os.listdir(path) if pattern.match(e))
            part = matches[0] if matches else part
        path = lookup(path, part)
    return path


def stamp_time(stamp):
    fmt = "%Y%m%d%H%M.%S" if "." in stamp else "%Y%m%d%H%M"
    return time.mktime(time.strptime(stamp, fmt))


# --- text normalisation ----------------------------------------------------

def text_mapper(windir):
    """Both sides of a comparison: the Windows directory becomes one token,
    and the five digits of a staged file's name become NNNNN."""
    pattern = re.compile(r"([A-Za-z]:\\{1,2})(?:%s|windows)(?![A-Za-z0-9_])" % re.escape(windir), re.I)

    # The package folder: ./pkg/ where the simulator runs it, C:\PKG\ here.
    package = re.compile(r"(?:\./pkg/|[A-Za-z]:\\{1,2}PKG(?![A-Za-z0-9_]))(?:\\{1,2})?", re.I)

    # A short name the file system made up (PROGRA~1 on the simulated
    # Windows 98, a hashed PROG~FBU under Wine): the same folder either way.
    short_name = re.compile(r"(?<=\\)[^\\\r\n=~]{1,7}~[^\\\r\n=.~]{1,7}")

    def apply(text):
        text = pattern.sub(lambda m: m.group(1) + "<WINDIR>", text)
        text = package.sub(r"<PKG>\\", text)
        text = short_name.sub("<SHORT>", text)
        return re.sub(r"(Z[VTB][a-z])[0-9]{5}", r"\1NNNNN", text)

    return apply


def apply_bytes(mapper, data):
    return mapper(data.decode("latin-1")).encode("latin-1")


# --- registry --------------------------------------------------------------

def parse_regedit4(path):
    """{KEY: {name: (type, bytes)}} of a REGEDIT4 file; the unnamed value is ''."""
    keys = {}
    current = None
    lines = open(path, encoding="latin-1").read().replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        while line.endswith("\\") and i < len(lines) and not line.startswith('"'):
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = line.strip()[1:-1]
            if current.startswith("-"):
                current = None
                continue
            keys.setdefault(current, {})
            continue
        if current is None or not line or line.startswith(";") or line == "REGEDIT4":
            continue
        if line.startswith("@="):
            name, rest = "", line[2:]
        else:
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line)
            if not m:
                continue
            name, rest = unescape(m.group(1)), m.group(2)
        while rest.endswith("\\") and i < len(lines):
            rest = rest[:-1] + lines[i].strip()
            i += 1
        keys[current][name.lower()] = (name, parse_value(rest))
    return keys


def unescape(text):
    return re.sub(r"\\(.)", r"\1", text)


def parse_value(rest):
    if rest.startswith('"'):
        return (1, unescape(rest[1:-1]).encode("latin-1") + b"\0")
    if rest.startswith("dword:"):
        return (4, int(rest[6:], 16).to_bytes(4, "little"))
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", rest)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else 3
        data = bytes(int(h, 16) for h in re.split(r"[,\s]+", m.group(2)) if h)
        return (kind, data)
    return (0, rest.encode("latin-1"))


def parse_dump(path):
    """{KEY: None (absent) or {name: (name, (type, bytes))}} from `zvwin reg`."""
    keys = {}
    current = None
    if not os.path.isfile(path):
        return keys
    for line in open(path, encoding="latin-1").read().split("\n"):
        fields = line.split("\t")
        if fields[0] == "key" and len(fields) == 3:
            current = fields[1]
            keys[current] = {} if fields[2] == "present" else None
        elif fields[0] == "val" and len(fields) == 4 and keys.get(current) is not None:
            name = fields[1].replace("\\t", "\t").replace("\\n", "\n").replace("\\\\", "\\")
            keys[current][name.lower()] = (name, (int(fields[2]), bytes.fromhex(fields[3])))
    return keys


def show_value(value, mapper):
    """A value as text, with strings and multi-strings decoded."""
    if value is None:
        return "(absent)"
    kind, data = value
    if kind in (1, 2):
        return 'sz:"%s"' % mapper(data.rstrip(b"\0").decode("latin-1"))
    if kind == 7:
        items = data.decode("latin-1").rstrip("\0").split("\0") if data.strip(b"\0") else []
        return "multi_sz:" + repr([mapper(s) for s in items])
    if kind == 4 and len(data) == 4:
        return "dword:%08x" % int.from_bytes(data, "little")
    return "hex(%x):%s" % (kind, data.hex())


def registry_keys(case):
    keys = set()
    for rel in ("machine/registry.reg", "expect/machine/registry.reg",
                "rerun/expect/machine/registry.reg"):
        path = case_file(case, rel)
        if path:
            keys.update(parse_regedit4(path).keys())
    # Delayed moves land here on every Windows version Wine imitates.
    keys.add(r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager")
    return sorted(keys)


def check_registry(case, step, work, mapper):
    want_path = case_file(case, os.path.join(step, "expect/machine/registry.reg"))
    if not want_path or ignored(os.path.join(step, "expect/machine/registry.reg")):
        return
    want = {k.lower(): v for k, v in parse_regedit4(want_path).items()}
    seed_path = case_file(case, "machine/registry.reg")
    seed = {k.lower(): v for k, v in (parse_regedit4(seed_path) if seed_path else {}).items()}
    before = {k.lower(): v for k, v in parse_dump(os.path.join(work, "reg.before")).items()}
    after = {k.lower(): v for k, v in parse_dump(os.path.join(work, "reg.after")).items()}
    for key in sorted(set(before) | set(after)):
        now = after.get(key)
        if key in want:
            if now is None:
                fail("registry: missing key %s" % key)
                continue
            was = before.get(key) or {}
            # Names the case speaks of, and every value the run changed.
            names = set(want[key]) | set(seed.get(key, {}))
            names |= {n for n in set(was) | set(now) if was.get(n) != now.get(n)}
            for name in sorted(names):
                w = want[key].get(name)
                g = now.get(name)
                ws = show_value(w[1] if w else None, mapper)
                gs = show_value(g[1] if g else None, mapper)
                if ws != gs:
                    fail("registry: [%s] %s: expected %s, actual %s"
                         % (key, (w or g)[0] or "@", ws, gs))
        elif key in seed and not any(k.startswith(key + "\\") for k in want):
            if now is not None:
                fail("registry: key %s should be gone" % key)


# --- commands ----------------------------------------------------------------

def cmd_seed(case, prefix):
    windir = windows_dir_name(case)
    machine = case_file(case, "machine")
    seeded = []
    if machine:
        machine = os.path.realpath(machine)
        for drive in sorted(os.listdir(machine)):
            top = os.path.join(machine, drive)
            if not (drive.startswith("drive_") and os.path.isdir(top)):
                continue
            for root, _dirs, files in os.walk(top):
                for name in files:
                    src = os.path.join(root, name)
                    rel = os.path.relpath(src, machine)
                    dst = prefix_path(prefix, windir, rel)
                    os.makedirs(os.path.dirname(dst), exist_ok=True)
                    shutil.copyfile(src, dst)
                    t = stamp_time("199901011200")
                    os.utime(dst, (t, t))
                    seeded.append(os.path.relpath(dst, prefix))
    pkg = os.path.join(prefix, "drive_c", "PKG")
    os.makedirs(pkg, exist_ok=True)
    package = case_file(case, "package")
    if package:
        for root, _dirs, files in os.walk(os.path.realpath(package)):
            for name in files:
                src = os.path.join(root, name)
                dst = os.path.join(pkg, os.path.relpath(src, os.path.realpath(package)))
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                shutil.copyfile(src, dst)
    with open(os.path.join(prefix, ".zv-seeded"), "w") as out:
        out.write("\n".join(seeded) + "\n")


def cmd_stamps(case, step, prefix):
    path = case_file(case, os.path.join(step, "stamps"))
    if not path:
        return
    windir = windows_dir_name(case)
    for line in open(path, encoding="latin-1"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        rel, stamp = line.rsplit(" ", 1)
        if rel.startswith("package/"):
            target = lookup(os.path.join(prefix, "drive_c", "PKG"), rel[len("package/"):])
        else:
            target = prefix_path(prefix, windir, rel)
        if not os.path.exists(target):
            fail("stamps: no such file: %s" % rel)
            continue
        t = stamp_time(stamp)
        os.utime(target, (t, t))


def read_events(path, mapper):
    if not path or not os.path.isfile(path):
        return []
    return [mapper(l) for l in open(path, encoding="latin-1").read().split("\n") if l]


def cmd_check(case, step, prefix, work):
    windir = windows_dir_name(case)
    mapper = text_mapper(windir)
    expect = os.path.join(step, "expect")

    # events.log: the run ends at Wine's hand once the program asks for the
    # restart, so a window line after a restart is not the program's to give.
    rel = os.path.join(expect, "events.log")
    want_path = case_file(case, rel)
    if want_path and not ignored(rel):
        want = read_events(want_path, mapper)
        if any(l.startswith("restart\t") for l in want):
            want = [l for l in want if not l.startswith("window\t")]
        got = read_events(os.path.join(work, "events.log"), mapper)
        if want != got:
            fail("events.log differs:\n  expected:\n    %s\n  actual:\n    %s"
                 % ("\n    ".join(want) or "(none)", "\n    ".join(got) or "(none)"))

    # Files of the machine.
    wanted_files = set()
    base = case_file(case, os.path.join(expect, "machine"))
    over = os.path.join(override_dir(), expect, "machine") if override_dir() else ""
    rels = set()
    for top in (base, over):
        if top and os.path.isdir(top):
            for root, _dirs, files in os.walk(top):
                for name in files:
                    rels.add(os.path.relpath(os.path.join(root, name), top))
    for rel in sorted(rels):
        if not rel.lower().startswith("drive_"):
            continue
        full = os.path.join(expect, "machine", rel)
        if ignored(full):
            continue
        want_file = case_file(case, full)
        got_file = prefix_path(prefix, windir, rel)
        wanted_files.add(os.path.normcase(os.path.relpath(got_file, prefix)).lower())
        if not os.path.isfile(got_file):
            fail("missing in the machine: %s" % rel)
            continue
        want = apply_bytes(mapper, open(want_file, "rb").read())
        got = apply_bytes(mapper, open(got_file, "rb").read())
        if want != got:
            fail("%s differs:\n  expected: %r\n  actual:   %r" % (rel, want, got))

    # Nothing left among the seeded files, and nothing new, but what is expected.
    rel = os.path.join(expect, "no-other-files")
    if case_file(case, rel) and not ignored(rel):
        seeded = [l for l in open(os.path.join(prefix, ".zv-seeded")).read().split("\n") if l]
        new = [l for l in open(os.path.join(work, "files.after")).read().split("\n") if l]
        old = set(open(os.path.join(work, "files.before")).read().split("\n"))
        for path in sorted(set(seeded) | {p for p in new if p not in old}):
            if not os.path.isfile(os.path.join(prefix, path)):
                continue
            if path.lower() not in wanted_files:
                fail("not expected in the machine: %s" % path)

    rel = os.path.join(expect, "stamps")
    path = case_file(case, rel)
    if path and not ignored(rel):
        for line in open(path, encoding="latin-1"):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            mrel, stamp = line.rsplit(" ", 1)
            target = prefix_path(prefix, windir, mrel)
            if not os.path.exists(target):
                fail("stamps: missing in the machine: %s" % mrel)
                continue
            fmt = "%Y%m%d%H%M.%S" if "." in stamp else "%Y%m%d%H%M"
            got = time.strftime(fmt, time.localtime(os.stat(target).st_mtime))
            if got != stamp:
                fail("stamps: %s is dated %s, expected %s" % (mrel, got, stamp))

    rel = os.path.join(expect, "absent")
    path = case_file(case, rel)
    if path and not ignored(rel):
        for line in open(path, encoding="latin-1"):
            pattern = line.strip()
            if not pattern:
                continue
            if absent_matches(prefix, windir, pattern):
                fail("should not exist in the machine: %s" % pattern)

    check_registry(case, step, work, mapper)

    # The log window for standard output: its last paint, read from the
    # relay trace of TextOutA, shows the trace's non-empty lines, the first
    # ones scrolled away once there are many.
    rel = os.path.join(expect, "stdout")
    path = case_file(case, rel)
    if path and not ignored(rel) and os.path.isfile(os.path.join(work, "painted")):
        want = [mapper(line) for line in
                open(path, encoding="latin-1").read().replace("\r\n", "\n").split("\n")
                if line and not line.startswith("Compiled: ")]
        got = [mapper(line) for line in last_paint(os.path.join(work, "relay"))]
        if not got or got != want[len(want) - len(got):]:
            fail("the log window differs from the expected standard output:\n  expected:\n    %s"
                 "\n  shown:\n    %s" % ("\n    ".join(want), "\n    ".join(got)))


def last_paint(relay):
    """The lines drawn by the program's last WM_PAINT of the log window."""
    text_out = re.compile(r'([0-9a-f]+):Call gdi32\.TextOutA\([0-9a-f]+,[0-9a-f]+,[0-9a-f]+,'
                          r'[0-9a-f]+ "((?:[^"\\]|\\.)*)",[0-9a-f]+\) ret=')
    begin = re.compile(r"([0-9a-f]+):Call user32\.BeginPaint\(")
    lines, thread = [], None
    for line in open(relay, encoding="latin-1"):
        m = begin.match(line)
        if m:
            lines, thread = [], m.group(1)
            continue
        m = text_out.match(line)
        if m and m.group(1) == thread:
            lines.append(unescape_debugstr(m.group(2)))
    return lines


def unescape_debugstr(text):
    escapes = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}

    def one(m):
        c = m.group(1)
        if c.startswith("x"):
            return chr(int(c[1:], 16))
        return escapes.get(c, c)

    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)", one, text)


def absent_matches(prefix, windir, pattern):
    """Files or folders of the prefix matching PATTERN (case ignored)."""
    import fnmatch
    parts = [p for p in pattern.split("/") if p]
    # Inside the Windows directory maps to Wine's; the directory itself does
    # not (the nominal name must not appear beside it).
    if len(parts) > 2 and parts[0].lower() == "drive_c" and parts[1].lower() == windir.lower():
        parts[1] = "windows"
    paths = [prefix]
    for part in parts:
        glob = part.replace("NNNNN", "[0-9][0-9][0-9][0-9][0-9]")
        nxt = []
        for path in paths:
            if os.path.isdir(path):
                nxt += [os.path.join(path, e) for e in os.listdir(path)
                        if fnmatch.fnmatch(e.lower(), glob.lower())]
        paths = nxt
    return paths


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    command = argv[1]
    if command == "seed":
        cmd_seed(argv[2], argv[3])
    elif command == "stamps":
        cmd_stamps(argv[2], argv[3], argv[4])
    elif command == "keys":
        print("\n".join(registry_keys(argv[2])))
    elif command == "check":
        cmd_check(argv[2], argv[3], argv[4], argv[5])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for message in FAILURES:
        print("FAILED: " + message, file=sys.stderr)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
