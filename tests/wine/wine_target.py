"""The Wine target of run_cases.py: zvpatch.exe in a copy of a 32-bit prefix,
its boxes answered by zvwin.exe. Where Wine differs from the simulated
machine by nature, the case maps onto it, and nothing else changes: how is
told in tests/wine/cases/README.md.
"""
import atexit
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from run_cases import KEEP, REPO, TIMEOUT, matching, normalise, read, resolve, result

SESSION_MANAGER = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager"
RELAY = ("user32.GetMessageA;user32.PostMessageA;gdi32.TextOutA;user32.BeginPaint;user32.ExitWindowsEx;"
         "advapi32.AdjustTokenPrivileges;kernelbase.AdjustTokenPrivileges")
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
DESTROY = re.compile(r"Call user32\.PostMessageA\([0-9a-f]+,00000002,")


def prepare(build):
    """One display and one template prefix for every case of a run."""
    for path in ("zvpatch.exe", "zvwin.exe"):
        if not os.path.isfile(os.path.join(build, path)):
            raise SystemExit("missing: %s (cmake --preset mingw && cmake --build --preset mingw)"
                             % os.path.join(build, path))
    if not os.environ.get("DISPLAY"):
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                pass_fds=[w], **QUIET)
        atexit.register(xvfb.kill)
        os.close(w)
        os.environ["DISPLAY"] = ":" + os.read(r, 16).decode().strip()
    if not os.environ.get("ZV_WINE_TEMPLATE"):
        run = tempfile.mkdtemp(prefix="zvwine-run.")
        atexit.register(shutil.rmtree, run, True)
        os.environ["ZV_WINE_TEMPLATE"] = os.path.join(run, "template")
    env = dict(os.environ, ZV_WINE_PREFIX=os.environ["ZV_WINE_TEMPLATE"])
    if subprocess.run([os.path.join(REPO, "scripts", "wine-prefix.sh")], env=env, stdin=subprocess.DEVNULL).returncode:
        raise SystemExit("no Wine prefix")


def parse_registry(path):
    """{key: {name: (name, (type, bytes))}} of a REGEDIT4 file, names lowered."""
    keys, current = {}, None
    text = read(path).replace("\r\n", "\n") if path else ""
    for line in re.sub(r"\\\n[ \t]*", "", text).split("\n"):
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = None if line.startswith("[-") else line.strip()[1:-1].lower()
            keys.setdefault(current, {})
            continue
        m = re.match(r'(@|"((?:[^"\\]|\\.)*)")=(.*)', line)
        if current and m:
            name = re.sub(r"\\(.)", r"\1", m.group(2) or "")
            keys[current][name.lower()] = (name, value(m.group(3)))
    keys.pop(None, None)
    return keys


def value(text):
    if text.startswith('"'):
        return 1, re.sub(r"\\(.)", r"\1", text[1:-1]).encode("latin-1") + b"\0"
    if text.startswith("dword:"):
        return 4, int(text[6:], 16).to_bytes(4, "little")
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", text)
    if m:
        return int(m.group(1) or "3", 16), bytes(int(h, 16) for h in re.split(r"[,\s]+", m.group(2)) if h)
    return 0, text.encode("latin-1")


def show_value(entry, mapper):
    """A value as text: strings and multi-strings decoded, as the case reads them."""
    if entry is None:
        return "(absent)"
    kind, data = entry[1]
    if kind in (1, 2):
        return 'sz:"%s"' % mapper(data.rstrip(b"\0").decode("latin-1"))
    if kind == 7:
        return "multi_sz:%r" % [mapper(s) for s in data.decode("latin-1").strip("\0").split("\0") if s]
    if kind == 4 and len(data) == 4:
        return "dword:%08x" % int.from_bytes(data, "little")
    return "hex(%x):%s" % (kind, data.hex())


def unescape(text):
    """A string of Wine's relay trace or of zvwin's output."""
    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)", lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == "x"
                  else {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


class Wine:
    restart_ends_run = True

    def __init__(self, build, case, fail):
        self.build, self.fail = build, fail
        self.work = tempfile.mkdtemp(prefix="zvwine.")
        self.prefix = os.path.join(self.work, "prefix")
        self.c = os.path.join(self.prefix, "drive_c")
        self.env = dict(os.environ, WINEARCH="win32", WINEDEBUG="-all", WINEPREFIX=self.prefix,
                        WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d")
        ini = read(case.file("machine/machine.ini")) if case.file("machine/machine.ini") else ""
        setting = lambda key, default: (re.findall(r"(?mi)^\s*%s\s*=\s*([^;\s]+)" % key, ini) or [default])[0]
        self.windir = setting("WindowsDir", "C:\\WINDOWS")[3:]
        # Wine has no Win32s; its Windows 3.1 reports the same platform.
        self.version = setting("Version", "win98").lower().replace("win32s", "win31")
        windir = re.compile(r"([A-Za-z]:\\{1,2})(?:%s|windows)(?![A-Za-z0-9_])" % re.escape(self.windir), re.I)
        package = re.compile(r"(?:\./pkg/|[A-Za-z]:\\{1,2}PKG(?![A-Za-z0-9_]))(?:\\{1,2})?", re.I)
        short = re.compile(r"(?<=\\)[^\\\r\n=~]{1,7}~[^\\\r\n=.~]{1,7}")
        self.map = lambda text: short.sub("<SHORT>", package.sub(r"<PKG>\\", windir.sub(r"\1<WINDIR>", text)))
        self.steps, self.trace, self.events = 0, "", ""

    def locate(self, rel):
        parts = [p for p in rel.split("/") if p]
        if parts[0] in ("package", "work"):
            parts = (["PKG"] if parts[0] == "package" else []) + parts[1:]
        elif not parts[0].lower() == "drive_c" or len(parts) < 2:
            return None  # machine.ini and registry.reg are applied, not compared as files
        else:
            parts = parts[1:]
        return resolve(self.c, self.in_windows(parts), True)

    def in_windows(self, parts):
        # Inside the Windows directory maps to Wine's; the directory itself
        # does not, so that its nominal name must not appear beside it.
        return ["windows"] + parts[1:] if len(parts) > 1 and parts[0].lower() == self.windir.lower() else parts

    def matches(self, pattern):
        parts = [p for p in pattern.split("/") if p]
        return parts[0].lower() == "drive_c" and matching(self.c, self.in_windows(parts[1:]))

    def show(self, path):
        return os.path.relpath(path, self.prefix)

    def wine(self, *args):
        return subprocess.run(["wine"] + list(args), env=self.env, **QUIET).returncode

    def zvwin(self, *args):
        p = subprocess.run(["wine", os.path.join(self.build, "zvwin.exe")] + [str(a) for a in args], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return p.returncode, p.stdout.decode("latin-1")

    def winpath(self, path):
        return "Z:" + path.replace("/", "\\")

    def seed(self, case):
        subprocess.run(["cp", "-a", os.environ["ZV_WINE_TEMPLATE"], self.prefix], check=True)
        # One server for the whole case: each fresh start would do the
        # machine's restart work on its own.
        subprocess.run(["wineserver", "-p"], env=self.env, **QUIET)
        settings = os.path.join(self.work, "settings.reg")
        with open(settings, "w") as f:
            f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="%s"\n\n'
                    '[HKEY_CURRENT_USER\\Environment]\n"TEMP"="C:\\\\ZVTEMP"\n"TMP"="C:\\\\ZVTEMP"\n\n'
                    '[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n"RelayInclude"="%s"\n' % (self.version, RELAY))
        self.wine("regedit", "/s", self.winpath(settings))
        # The services and the desktop start with the first processes and
        # keep their descriptors: start them now, away from the relay trace.
        self.zvwin("wait", 0)
        os.makedirs(os.path.join(self.c, "ZVTEMP"))
        self.seeded = case.seed_machine(self.locate)
        self.exe = case.program() + ".EXE"
        case.seed_package(os.path.join(self.c, "PKG"), os.path.join(self.build, "zvpatch.exe"), self.exe)
        if case.file("machine/registry.reg") and self.wine("regedit", "/s", self.winpath(case.file("machine/registry.reg"))):
            self.fail("regedit could not import the machine's registry.reg")
        self.seed_registry = parse_registry(case.file("machine/registry.reg"))
        self.keys = {SESSION_MANAGER.lower()} | set(self.seed_registry)
        for layer in case.layers:
            for root, _dirs, names in os.walk(layer, followlinks=True):
                if "registry.reg" in names and root.endswith("machine") and "expect" in root:
                    self.keys |= set(parse_registry(os.path.join(root, "registry.reg")))

    def registry(self):
        """{key: None (absent) or {name: (name, (type, bytes))}} of the keys the case names."""
        keys, current = {}, None
        for line in self.zvwin("reg", *sorted(self.keys))[1].split("\n"):
            f = line.split("\t")
            if f[0] == "key" and len(f) == 3:
                current = f[1].lower()
                keys[current] = {} if f[2] == "present" else None
            elif f[0] == "val" and len(f) == 4 and keys.get(current) is not None:
                keys[current][unescape(f[1]).lower()] = (unescape(f[1]), (int(f[2]), bytes.fromhex(f[3])))
        return keys

    def files(self):
        return {os.path.join(root, n) for root, _dirs, names in os.walk(self.c)
                if not root.startswith(os.path.join(self.c, "PKG")) for n in names}

    def before(self, case, step):
        self.reg_before, self.files_before = self.registry(), self.files()

    def run(self, args, answers):
        answers = [a for a in (answers or "").replace(" ", "").split(",") if a]
        self.steps += 1
        relay, done = (os.path.join(self.work, "%s%d" % (n, self.steps)) for n in ("relay", "done"))
        events, problems, closed, self.painted = [], [], False, False
        with open(relay, "w") as trace:
            # C:\ is the current folder, as the simulator's runs start in the
            # folder that holds the package folder.
            program = subprocess.Popen(["wine", "C:\\PKG\\" + self.exe] + args, cwd=self.c, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=trace,
                                       env=dict(self.env, WINEDEBUG="-all,err+all,+relay"))
        threading.Thread(target=lambda: (program.wait(), open(done, "w").close()), daemon=True).start()
        deadline = time.time() + TIMEOUT
        left = lambda: max(0, int((deadline - time.time()) * 1000))
        while time.time() < deadline and not os.path.exists(done):
            rc, box = self.zvwin("wait", left(), self.winpath(done), self.winpath(relay), "Call user32.GetMessageA")
            if rc == 10:
                _box, hwnd, style, caption, _text = box.rstrip("\n").split("\t")
                answer = answers.pop(0) if answers else ""
                if answer == "close":
                    events += ["box\t%s\t%s\t%s\tCLOSE\n" % (style, caption, _text)]
                    closed = self.close_window(events, problems)
                    break
                answer, button = ("YES", 6) if style == "MB_YESNO" and answer == "yes" else \
                    ("NO", 7) if style == "MB_YESNO" else ("OK", 1)
                events.append("box\t%s\t%s\t%s\t%s\n" % (style, caption, _text, answer))
                if self.zvwin("press", hwnd, button, 10000)[0]:
                    problems.append("could not answer the box '%s'" % caption)
                    break
            elif rc == 30:
                # The final message loop: a program that posted itself
                # WM_DESTROY or asked for the restart ends on its own; else
                # the window waits for the user, who closes it.
                if DESTROY.search(read(relay)) or "Call user32.ExitWindowsEx(" in read(relay):
                    break
                if answers[:1] == ["close"]:
                    answers.pop(0)
                # The last paint, before the window goes, shows its text.
                self.painted = self.zvwin("repaint", 5000)[0] == 0
                if os.environ.get("ZV_WINE_SCREENSHOT") and self.steps == 1:
                    subprocess.run(["import", "-window", "Patch Upgrade", "png:" + os.environ["ZV_WINE_SCREENSHOT"]])
                closed = self.close_window(events, problems)
                break
            elif rc == 40:
                break
        while time.time() < deadline and not os.path.exists(done):
            if self.zvwin("wait", left(), self.winpath(done))[0] == 10:
                problems.append("a box appeared after the window was closed")
                break
        if not os.path.exists(done):
            problems.append("timed out after %ds (a box that is never answered?)" % TIMEOUT)
            program.kill()
        status = program.wait()
        trace = self.trace = read(relay)
        if "Call user32.ExitWindowsEx(00000002" in trace:
            # ExitWindowsEx hands the restart to wineboot, which ends the
            # program first and then does the restart work.
            if self.zvwin("gone", "wineboot.exe", TIMEOUT * 1000)[0]:
                problems.append("the restart (wineboot) did not finish")
            privilege = re.search(r"Call [a-z0-9]*\.AdjustTokenPrivileges\(", trace.split("Call user32.ExitWindowsEx(")[0])
            events.append("restart\tEWX_REBOOT\t%s\n" % ("privilege" if privilege else "no-privilege"))
        elif not closed and DESTROY.search(trace):
            events.append("window\tclosed-by-program\n")
        self.events = "".join(events)
        return result(status if status >= 0 else None, problems, events=self.events, shown=self.last_paint())

    def close_window(self, events, problems):
        if self.zvwin("close", 5000)[0]:
            problems.append("could not close the log window")
        events.append("window\tclosed-by-user\n")
        return True

    def last_paint(self):
        """The lines drawn by the last WM_PAINT of the log window, if it was repainted."""
        if not self.painted:
            return None
        lines, thread = [], None
        for m in re.finditer(r'(?m)^([0-9a-f]+):Call (?:user32\.BeginPaint\(|gdi32\.TextOutA\([0-9a-f]+,[0-9a-f]+,'
                             r'[0-9a-f]+,[0-9a-f]+ "((?:[^"\\]|\\.)*)",[0-9a-f]+\) ret=)', self.trace):
            if m.group(2) is None:
                lines, thread = [], m.group(1)
            elif m.group(1) == thread:
                lines.append(unescape(m.group(2)))
        return lines

    def temp_left(self):
        return os.listdir(os.path.join(self.c, "ZVTEMP"))

    def boot(self):
        # The next start of Windows, for a restart the user declined; what
        # zvboot prints has no counterpart here.
        if self.wine("wineboot", "-r"):
            self.fail("wineboot -r failed")
        return None, None

    def changes(self):
        return None

    def machine_files(self):
        now = self.files()
        return sorted(p for p in set(self.seeded) | (now - self.files_before) if p in now)

    def check_registry(self, case, step, fail):
        want = parse_registry(case.file(step + "expect/machine/registry.reg"))
        if not want:
            return
        before, after = self.reg_before, self.registry()
        for key in sorted(set(before) | set(after)):
            now = after.get(key)
            if key in want:
                if now is None:
                    fail("registry: missing key " + key)
                    continue
                was = before.get(key) or {}
                # The values the case names, and every value the run changed.
                names = set(want[key]) | set(self.seed_registry.get(key, {}))
                names |= {n for n in set(was) | set(now) if was.get(n) != now.get(n)}
                for name in sorted(names):
                    w, g = (show_value(d.get(name), lambda s: normalise(s, self)) for d in (want[key], now))
                    if w != g:
                        shown = (want[key].get(name) or now.get(name))[0] or "@"
                        fail("registry: [%s] %s: expected %s, actual %s" % (key, shown, w, g))
            elif key in self.seed_registry and not any(k.startswith(key + "\\") for k in want) and now is not None:
                fail("registry: key %s should be gone" % key)

    def dump(self):
        calls = re.findall(r"(?m)^[0-9a-f]+:(?:Call|Ret) +(?:user32|advapi32|kernelbase)\..*$", self.trace)
        # Wine's own errors, say why it did not start the program.
        wine = [l for l in self.trace.split("\n") if l and not re.match(r"[0-9a-f]+:(Call|Ret) ", l)][:20]
        return "--- events ---\n%s--- program calls ---\n%s\n--- wine ---\n%s" % (
            self.events, "\n".join(calls), "\n".join(wine))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, **QUIET)
        if KEEP:
            print("work folder kept: " + self.work, file=sys.stderr)
        else:
            shutil.rmtree(self.work, ignore_errors=True)
