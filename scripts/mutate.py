#!/usr/bin/env python3
"""Mutation testing of the engine and the game against the unit tests.

Makes small seeded faults (mutants) in engine/ and game/ sources, rebuilds the
unit-test binary for each one and runs it: a mutant that makes a test fail
(or crash, or hang) is killed; one that passes every test survived and shows
a gap in the suite; one that does not compile is set aside.

    scripts/mutate.py                      # 200 mutants, seed 1, 2 workers
    scripts/mutate.py --seed 7 --count 50 --files engine/zk_text.cpp game/quib.cpp
    scripts/mutate.py --list               # mutation sites per file, no build
    scripts/mutate.py --report             # the report of the results so far

Mutants: a comparison flipped (< and <=, > and >=, == and !=), an integer
literal made one larger or one smaller, && and || swapped, or one statement
dropped (an assignment, a call, an increment, break, continue or a plain
return). Comments, strings, preprocessor lines, static_asserts and generated
files (those that say "Generated" or "do not edit" in their first line) are
left alone, and so are files that the unit-test binary does not compile.

Your working tree is never edited. Each worker has its own copy of the
sources and its own build folder under build-mutate/ (plain -O1, no debug
information, only the unit-test target). After the first full build the
build folder is snapshot; each mutant writes one file of the copy, rebuilds
what depends on it, runs the tests with --gtest_fail_fast (first those that
killed earlier mutants of the same file, then the quick ones, then the slow
ones) under a timeout, and then the file and the build outputs are put back
from the snapshot, so the next mutant again costs one compile and a link.

Results go to build-mutate/results-seed<S>-count<N>.jsonl, one line per
mutant, as they come; a run that is stopped (Ctrl-C) or fails can be started
again with the same arguments and goes on where it stopped. The report counts
killed, survived and not compiled per file and prints each survivor's diff.
Mutants listed in scripts/mutate-equivalent.txt (judged unable to change
behaviour) are reported apart and left out of the adjusted kill rate, and so
are survivors in the sources scripts/mutate-free-choices.txt names (whose
surviving mutants can only change what the rules leave to the implementer).

With --sanitize-survivors the survivors are then built again with
AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, as CI runs the
suite, and run once more: one that fails there (a leak, a read out of
bounds) counts as killed, marked as killed by the sanitizers. A test binary
that leaves before its last line (a mutant that calls exit) fails.
"""

import argparse
import difflib
import fnmatch
import hashlib
import json
import os
import queue
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_DIRS = ("engine", "game")
EQUIVALENT_FILE = os.path.join(ROOT, "scripts", "mutate-equivalent.txt")
FREE_CHOICES_FILE = os.path.join(ROOT, "scripts", "mutate-free-choices.txt")
TEST_TARGET = "zk_tests"
TEST_BINARY = os.path.join("tests", "zk_tests")
WORKERS = []  # for stopping their child processes on Ctrl-C


# ---------------------------------------------------------------- lexing

TOKEN = re.compile(
    r"""
    (?P<space>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<raw>R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)")
  | (?P<string>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*")
  | (?P<char>(?:u8|u|U|L)?'(?:\\.|[^'\\\n])*')
  | (?P<number>\.?[0-9](?:[eEpP][+-]|[0-9a-zA-Z_.'])*)
  | (?P<ident>[A-Za-z_][A-Za-z_0-9]*)
  | (?P<op><<=|>>=|->\*|\.\.\.|::|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^!=<>]=?|[~?:;,.(){}\[\]#])
    """,
    re.S | re.X,
)


class Token:
    __slots__ = ("kind", "text", "start", "end")

    def __init__(self, kind, text, start, end):
        self.kind, self.text, self.start, self.end = kind, text, start, end


def tokenize(text):
    """Significant tokens of a C++ source; comments, strings, character
    literals and whole preprocessor lines (with their continuations) are
    left out."""
    tokens, pos = [], 0
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m:
            pos += 1  # a stray character (a backslash, say): skip it
            continue
        kind = "raw" if m.lastgroup == "delim" else m.lastgroup
        if kind == "op" and m.group(0) == "#" and not text[text.rfind("\n", 0, pos) + 1: pos].strip():
            # A directive: to the end of the line, and of every line that a
            # trailing backslash continues.
            end = pos
            while True:
                nl = text.find("\n", end)
                if nl < 0:
                    end = len(text)
                    break
                end = nl + 1
                if not text[:nl].rstrip().endswith("\\"):
                    break
            pos = end
            continue
        if kind not in ("space", "comment", "string", "char", "raw"):
            tokens.append(Token(kind, m.group(0), pos, m.end()))
        pos = m.end()
    return tokens


# ---------------------------------------------------------------- finding mutants

COMPARISONS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
LOGICAL = {"&&": "||", "||": "&&"}
ASSIGNMENTS = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}
CONTROL = {"if", "for", "while", "switch"}
NOT_STATEMENT_START = {"if", "for", "while", "switch", "do", "else", "case", "default", "goto", "using",
                       "typedef", "static_assert", "namespace", "template", "struct", "class", "enum",
                       "union", "const", "constexpr", "static", "auto", "extern", "unsigned", "signed",
                       "int", "char", "bool", "float", "double", "void", "long", "short", "volatile",
                       "inline", "thread_local", "register", "try", "catch", "throw", "delete", "new",
                       "public", "private", "protected", "friend", "operator"}
# Words after which a name is a value, not a declared name.
KEYWORDS_BEFORE_VALUES = {"return", "case", "throw", "sizeof", "else", "do", "delete", "new", "co_return"}
# Calls whose removal cannot compile into a different program worth testing.
KEEP_CALLS = {"va_start", "va_end", "va_copy"}
INTEGER = re.compile(r"^(0[xX][0-9a-fA-F']+|0[bB][01']+|[0-9][0-9']*)([uUlLzZ]*)$")


class Mutant:
    """One fault: replace text[start:end] of file by replacement."""

    def __init__(self, path, text, start, end, replacement, op):
        self.path, self.start, self.end, self.replacement, self.op = path, start, end, replacement, op
        self.line = text.count("\n", 0, start) + 1
        line_begin = text.rfind("\n", 0, start) + 1
        line_end = text.find("\n", end)
        self.original_line = text[line_begin: line_end if line_end >= 0 else len(text)]
        self.column = start - line_begin + 1
        # A key that survives edits elsewhere in the file: the line's text,
        # which occurrence of the same change on it, and the change.
        same = [m.start() for m in re.finditer(re.escape(text[start:end]), self.original_line)]
        nth = same.index(start - line_begin) if start - line_begin in same else 0
        self.key = "%s|%s|%s|%d|%s" % (path, op, self.original_line.strip(), nth,
                                       replacement.replace("\n", " ").strip())

    def apply(self, text):
        return text[: self.start] + self.replacement + text[self.end:]

    def diff(self, text):
        before = text.splitlines(keepends=True)
        after = self.apply(text).splitlines(keepends=True)
        lines = difflib.unified_diff(before, after, "a/" + self.path, "b/" + self.path, n=1)
        return "".join(lines)

    def describe(self):
        return "%s:%d:%d %s" % (self.path, self.line, self.column, self.op)


def spaced(text, tok):
    """A binary operator as the code style writes it: a space on each side
    (tells a comparison from a template bracket, && from an rvalue reference)."""
    return text[tok.start - 1: tok.start] == " " and text[tok.end: tok.end + 1] in (" ", "\n")


def literal_variants(token):
    m = INTEGER.match(token)
    if not m:
        return []
    digits, suffix = m.group(1).replace("'", ""), m.group(2)
    if digits[:2] in ("0x", "0X"):
        value, form = int(digits, 16), lambda v: digits[:2] + ("%0*X" if any(c in "ABCDEF" for c in digits[2:]) or not any(c in "abcdef" for c in digits[2:]) else "%0*x") % (len(digits) - 2, v)
    elif digits[:2] in ("0b", "0B"):
        value, form = int(digits[2:], 2), lambda v: digits[:2] + format(v, "0%db" % (len(digits) - 2))
    elif len(digits) > 1 and digits[0] == "0":
        value, form = int(digits, 8), lambda v: "0%o" % v
    else:
        value, form = int(digits), str
    return [(form(v) + suffix, "literal %+d" % (v - value)) for v in (value + 1, value - 1) if v >= 0]


def is_declaration(tokens):
    """A statement that declares something: outside brackets, two names in a
    row (a type and a name), or a name, a * or & and a name (Ball& b)."""
    depth = 0
    for i in range(len(tokens) - 1):
        a, b = tokens[i], tokens[i + 1]
        depth += a.text in ("(", "[", "{")
        depth -= a.text in (")", "]", "}")
        if depth or b.kind != "ident" or a.text in KEYWORDS_BEFORE_VALUES:
            continue
        if a.kind == "ident" or a.text == ">":
            return True
        if a.text in ("*", "&", "&&") and i > 0 and (tokens[i - 1].kind == "ident" or tokens[i - 1].text == ">"):
            return True
    return False


def droppable(stmt):
    """Whether dropping this statement still compiles and can change
    behaviour: assignments, calls, increments, break, continue, return;."""
    first = stmt[0]
    if first.text in ("break", "continue"):
        return len(stmt) == 2
    if first.text == "return":
        return len(stmt) == 2
    if first.text in ("++", "--"):
        return True
    if first.kind != "ident" and first.text != "*":
        return False
    if first.text in NOT_STATEMENT_START or first.text in KEEP_CALLS or first.text.startswith("__"):
        return False
    depth = 0
    for i, t in enumerate(stmt):
        if t.text in ("(", "[", "{"):
            depth += 1
        elif t.text in (")", "]", "}"):
            depth -= 1
        elif depth == 0 and t.text in ASSIGNMENTS:
            return not is_declaration(stmt[:i])
    if is_declaration(stmt):
        return False
    return any(t.text == "(" for t in stmt) or stmt[-2].text in ("++", "--")


def find_mutants(path, text):
    tokens = tokenize(text)
    mutants = []
    n = len(tokens)

    # Matching brackets, to skip static_asserts and find control headers.
    match, stack = {}, []
    for i, t in enumerate(tokens):
        if t.text in ("(", "[", "{"):
            stack.append(i)
        elif t.text in (")", "]", "}") and stack:
            j = stack.pop()
            match[i], match[j] = j, i
    skip = set()
    for i, t in enumerate(tokens):
        if t.text == "static_assert" and i + 1 < n and tokens[i + 1].text == "(" and i + 1 in match:
            skip.update(range(i, match[i + 1] + 1))
    control_close = set()
    for i, t in enumerate(tokens):
        if t.text in CONTROL and i + 1 < n and tokens[i + 1].text == "(" and i + 1 in match:
            control_close.add(match[i + 1])

    # Operators and literals.
    for i, t in enumerate(tokens):
        if i in skip:
            continue
        if t.kind == "op" and t.text in COMPARISONS and (t.text in ("==", "!=") or spaced(text, t)):
            mutants.append(Mutant(path, text, t.start, t.end, COMPARISONS[t.text], "%s -> %s" % (t.text, COMPARISONS[t.text])))
        elif t.kind == "op" and t.text in LOGICAL and spaced(text, t):
            mutants.append(Mutant(path, text, t.start, t.end, LOGICAL[t.text], "%s -> %s" % (t.text, LOGICAL[t.text])))
        elif t.kind == "number":
            if _array_size(tokens, i, match):
                continue  # an array's size in a declaration: no behaviour in it
            for replacement, op in literal_variants(t.text):
                mutants.append(Mutant(path, text, t.start, t.end, replacement, op + " (" + t.text + ")"))

    # Statements inside function bodies. Each brace is code (a function body
    # or a block in one) or not (a namespace, a type, an initialiser).
    kinds, starts, depth = [], [], 0
    depth_stack = []
    for i, t in enumerate(tokens):
        prev = tokens[i - 1] if i else None
        in_code = bool(kinds) and kinds[-1]
        if t.text == "{":
            code = prev is not None and (
                prev.text in (")", "else", "do", "try", "const", "override", "noexcept", "final", "mutable")
                or (in_code and prev.text in (";", "{", "}", ":")))
            kinds.append(code)
            depth_stack.append(depth)
            depth = 0
            if code:
                starts.append(i + 1)
            continue
        if t.text == "}":
            if kinds:
                kinds.pop()
                depth = depth_stack.pop()
            if kinds and kinds[-1] and depth == 0:
                starts.append(i + 1)
            continue
        if t.text in ("(", "["):
            depth += 1
        elif t.text in (")", "]"):
            depth -= 1
        if not in_code or depth != 0:
            continue
        if t.text == ";" or (t.text == ")" and i in control_close) or t.text in ("else", "do"):
            starts.append(i + 1)
        elif t.text == ":" and prev is not None and (prev.text == "default" or _label_colon(tokens, i)):
            starts.append(i + 1)
    for s in sorted(set(starts)):
        if s >= n or s in skip:
            continue
        # The statement runs to the first ; outside brackets; one that meets
        # a closing brace first is not a simple statement.
        d, e = 0, s
        while e < n:
            x = tokens[e].text
            if x in ("(", "[", "{"):
                d += 1
            elif x in (")", "]", "}"):
                if d == 0:
                    break
                d -= 1
            elif x == ";" and d == 0:
                break
            e += 1
        if e >= n or tokens[e].text != ";":
            continue
        stmt = tokens[s: e + 1]
        if len(stmt) < 2 or not droppable(stmt):
            continue
        summary = " ".join(t.text for t in stmt)
        if len(summary) > 40:
            summary = summary[:37] + "..."
        mutants.append(Mutant(path, text, stmt[0].start, stmt[-1].end, "{}", "drop `%s`" % summary))
    # Lines that repeat (b.x = 0;) would give equal keys: number them.
    seen = {}
    for m in sorted(mutants, key=lambda m: m.start):
        seen[m.key] = seen.get(m.key, 0) + 1
        if seen[m.key] > 1:
            m.key += "|#%d" % seen[m.key]
    return mutants


def _label_colon(tokens, i):
    """The : that ends a case label."""
    j = i - 1
    while j >= 0 and tokens[j].text not in (";", "{", "}", "case", "?"):
        j -= 1
    return j >= 0 and tokens[j].text == "case"


def _array_size(tokens, i, match):
    """tokens[i] is the size in a declaration like T name[N] or T name[A][N]:
    the brackets follow a name that a type name, *, & or > comes before."""
    if i == 0 or tokens[i - 1].text != "[" or i + 1 >= len(tokens) or tokens[i + 1].text != "]":
        return False
    j = i - 2
    while j >= 0 and tokens[j].text == "]" and j in match:
        j = match[j] - 1
    if j < 1 or tokens[j].kind != "ident":
        return False
    before = tokens[j - 1]
    return (before.kind == "ident" and before.text not in KEYWORDS_BEFORE_VALUES) or before.text in ("*", "&", ">")


# ---------------------------------------------------------------- the source set

def source_files():
    """Files of the tree that go into a build, as paths relative to ROOT."""
    try:
        out = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                             cwd=ROOT, capture_output=True, check=True).stdout
        files = [f for f in out.decode().split("\0") if f and os.path.isfile(os.path.join(ROOT, f))]
    except (OSError, subprocess.CalledProcessError):
        files = []
        for d, dirs, names in os.walk(ROOT):
            dirs[:] = [x for x in dirs if not x.startswith((".", "build"))]
            files += [os.path.relpath(os.path.join(d, x), ROOT) for x in names]
    return sorted(files)


def is_generated(text):
    first = text.split("\n", 1)[0].lower()
    return "generated" in first or "do not edit" in first


def candidate_files(all_files, wanted):
    out = []
    for f in all_files:
        if not f.startswith(tuple(d + "/" for d in SOURCE_DIRS)) or not f.endswith((".cpp", ".h")):
            continue
        if wanted and not any(fnmatch.fnmatch(f, w) for w in wanted):
            continue
        out.append(f)
    return out


def read(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        return f.read()


def write(path, text):
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(text)


# ---------------------------------------------------------------- workers

class Worker:
    """A copy of the sources, a build folder and its snapshot."""

    def __init__(self, base, index, files, sanitize=False):
        self.index = index
        self.sanitize = sanitize
        kind = "san" if sanitize else ""
        self.src = os.path.join(base, "src%d" % index)
        self.build = os.path.join(base, "build%s%d" % (kind, index))
        self.snapshot = os.path.join(base, "snapshot%s%d" % (kind, index))
        self.files = files
        self.proc = None

    def log(self, msg):
        print("[worker %d] %s" % (self.index, msg), flush=True)

    def sync(self):
        """Make the copy equal to the tree; returns whether anything changed."""
        changed = False
        wanted = set(self.files)
        for f in self.files:
            a, b = os.path.join(ROOT, f), os.path.join(self.src, f)
            with open(a, "rb") as fa:
                data = fa.read()
            try:
                with open(b, "rb") as fb:
                    same = fb.read() == data
            except OSError:
                same = False
            if not same:
                os.makedirs(os.path.dirname(b), exist_ok=True)
                with open(b, "wb") as fb:
                    fb.write(data)
                shutil.copymode(a, b)
                changed = True
        for d, _, names in os.walk(self.src):
            for x in names:
                rel = os.path.relpath(os.path.join(d, x), self.src)
                if rel not in wanted:
                    os.remove(os.path.join(d, x))
                    changed = True
        return changed

    def run(self, cmd, timeout, cwd=None):
        """Runs cmd in its own process group; (returncode or None on timeout, output)."""
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=1",
                   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        self.proc = subprocess.Popen(cmd, cwd=cwd or self.build, stdout=subprocess.PIPE, env=env,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        try:
            out, _ = self.proc.communicate(timeout=timeout)
            return self.proc.returncode, out.decode(errors="replace")
        except subprocess.TimeoutExpired:
            self.kill()
            out, _ = self.proc.communicate()
            return None, out.decode(errors="replace")
        finally:
            self.proc = None

    def kill(self):
        p = self.proc
        if p and p.poll() is None:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except OSError:
                pass

    def configure_and_build(self, jobs):
        if not os.path.exists(os.path.join(self.build, "CMakeCache.txt")):
            rc, out = self.run(["cmake", "-S", self.src, "-B", self.build, "-DCMAKE_BUILD_TYPE=Mutate",
                                "-DCMAKE_CXX_FLAGS_MUTATE=-O1", "-DCMAKE_C_FLAGS_MUTATE=-O1",
                                "-DZK_BENCH=OFF", "-DZK_TESTS=ON", "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON",
                                "-DZK_SANITIZE=%s" % ("ON" if self.sanitize else "OFF")],
                               timeout=600, cwd=ROOT)
            if rc != 0:
                sys.exit("configuring %s failed:\n%s" % (self.build, out[-3000:]))
        # make learns the headers each object includes during a build and
        # uses them from the next one on: build until nothing is left to do,
        # so that the snapshot is up to date and header edits are seen.
        for _ in range(3):
            rc, out = self.build_tests(jobs, timeout=3600)
            if rc != 0:
                sys.exit("building the unmutated tests in %s failed:\n%s" % (self.build, out[-3000:]))
            if "Building" not in out and "Linking" not in out:
                break

    def build_tests(self, jobs=1, timeout=600):
        return self.run(["cmake", "--build", self.build, "--target", TEST_TARGET, "-j%d" % jobs], timeout)

    def take_snapshot(self):
        if os.path.isdir(self.snapshot):
            shutil.rmtree(self.snapshot)
        self.stamps = {}
        for d, _, names in os.walk(self.build):
            for x in names:
                p = os.path.join(d, x)
                rel = os.path.relpath(p, self.build)
                if os.path.islink(p):
                    continue
                dst = os.path.join(self.snapshot, rel)
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                shutil.copy2(p, dst)
                self.stamps[rel] = os.stat(p).st_mtime_ns

    def dependents(self, path):
        """Sources of the copy whose objects include the header path (from
        the compiler's .d files: make's own header tracking cannot be relied
        on here, since the build folder is put back after every mutant)."""
        if not hasattr(self, "includers"):
            self.includers = {}
            for d, _, names in os.walk(self.build):
                for x in names:
                    if not x.endswith(".o.d"):
                        continue
                    with open(os.path.join(d, x), errors="replace") as f:
                        words = f.read().replace("\\\n", " ").split()
                    deps = [os.path.realpath(w) for w in words[1:] if not w.endswith(":")]
                    if not deps:
                        continue
                    for h in deps[1:]:
                        self.includers.setdefault(h, set()).add(deps[0])
        return sorted(self.includers.get(os.path.realpath(os.path.join(self.src, path)), ()))

    def roll_back(self):
        """Every build output the mutant's build rewrote comes back from the
        snapshot, with its old time stamp, so make sees the unmutated build."""
        for d, _, names in os.walk(self.build):
            for x in names:
                p = os.path.join(d, x)
                rel = os.path.relpath(p, self.build)
                old = self.stamps.get(rel)
                if old is not None and not os.path.islink(p) and os.stat(p).st_mtime_ns != old:
                    shutil.copy2(os.path.join(self.snapshot, rel), p)

    def compiled_sources(self):
        """Sources the unit-test build compiles, relative to the copy."""
        try:
            with open(os.path.join(self.build, "compile_commands.json")) as f:
                entries = json.load(f)
        except OSError:
            return None
        out = set()
        for e in entries:
            m = re.search(r"(?:^|\s)-o\s+(\S+)", e.get("command", ""))
            obj = e.get("output") or (m.group(1) if m else None)
            if obj is None:
                continue
            obj = obj if os.path.isabs(obj) else os.path.join(e["directory"], obj)
            if os.path.exists(obj):
                out.add(os.path.relpath(os.path.realpath(e["file"]), os.path.realpath(self.src)))
        return out


# ---------------------------------------------------------------- running tests

FAILED = re.compile(r"^\[  FAILED  \] ([\w/.]+)", re.M)
RUNNING = re.compile(r"^\[ RUN      \] ([\w/.]+)", re.M)
PASSED_TIME = re.compile(r"^\[       OK \] ([\w/.]+) \((\d+) ms\)", re.M)
# gtest's last line when every test ran and passed: a binary that leaves
# early with status 0 (a mutant that calls exit) never prints it.
COMPLETED = re.compile(r"^\[  PASSED  \] \d+ tests?\.", re.M)


class Tests:
    """The unit tests, in the order that kills mutants soonest."""

    def __init__(self, names, times):
        self.names, self.times = names, times
        self.slow = {n for n in names if times.get(n, 0) >= 150}
        self.killers = {}  # file -> {test: kills}
        self.lock = threading.Lock()

    def learn(self, path, test):
        with self.lock:
            d = self.killers.setdefault(path, {})
            d[test] = d.get(test, 0) + 1

    def groups(self, path):
        with self.lock:
            first = sorted(self.killers.get(path, {}).items(), key=lambda kv: -kv[1])
        first = [t for t, _ in first[:12]]
        quick = [t for t in self.names if t not in first and t not in self.slow]
        slow = [t for t in self.names if t not in first and t in self.slow]
        return [g for g in (first, quick, slow) if g]


def run_tests(worker, tests, path, timeout):
    """('killed' or 'timeout', test) at the first failing test, or
    ('survived', None). A group that fails as well on the unmutated binary
    (kept in the snapshot) gives 'flaky': the tests depend on their order
    or on something else than the mutant."""
    for group in tests.groups(path):
        # A positive filter for short groups, the complement for long ones.
        if len(group) <= len(tests.names) // 2:
            filt = ":".join(group)
        else:
            filt = "-" + ":".join(t for t in tests.names if t not in group)
        args = ["--gtest_fail_fast", "--gtest_filter=" + filt]
        rc, out = worker.run([os.path.join(worker.build, TEST_BINARY)] + args, timeout)
        if rc == 0 and COMPLETED.search(out):
            continue
        if rc == 0:
            rc = 1  # left before the end: killed by the test that was running
        running = RUNNING.findall(out)
        failed = FAILED.findall(out)
        test = failed[0] if failed else (running[-1] if running else None)
        rc_plain, _ = worker.run([os.path.join(worker.snapshot, TEST_BINARY)] + args, timeout)
        if rc_plain != 0:
            return "flaky", test
        return ("timeout" if rc is None else "killed"), test
    return "survived", None


def run_every_test(worker, tests, timeout):
    """For --matrix: every quick test runs on the mutant, not only up to the
    first failure. ('killed' or 'survived', first failing test, all failing
    tests). A test that crashes the binary or hangs is counted and the rest
    run again without it, three times at most (a mutant that hangs many
    tests would otherwise cost a timeout each)."""
    failing = []
    for _ in range(4):
        left_out = sorted(tests.slow | set(failing))
        filt = "-" + ":".join(left_out) if left_out else "*"
        rc, out = worker.run([os.path.join(worker.build, TEST_BINARY), "--gtest_filter=" + filt], timeout)
        for t in FAILED.findall(out):
            if t in tests.names and t not in failing:
                failing.append(t)
        if COMPLETED.search(out):
            break
        running = [t for t in RUNNING.findall(out) if t not in failing]
        if not running:
            break
        failing.append(running[-1])
    return ("killed" if failing else "survived"), (failing[0] if failing else None), failing


def list_tests(worker):
    rc, out = worker.run([os.path.join(worker.build, TEST_BINARY), "--gtest_list_tests"], 120)
    names, suite = [], None
    for line in out.splitlines():
        if not line.strip() or line.startswith("Running main"):
            continue
        if not line.startswith(" "):
            suite = line.split()[0]
        else:
            names.append(suite + line.split()[0])
    return names


# ---------------------------------------------------------------- results and report

def load_equivalents():
    keys = {}
    try:
        with open(EQUIVALENT_FILE, encoding="utf-8") as f:
            for line in f:
                line = line.rstrip("\n")
                if not line or line.startswith("#"):
                    continue
                key, _, why = line.partition("\t# ")
                keys[key.strip()] = why.strip()
    except OSError:
        pass
    return keys


def load_free_choices():
    """(path pattern, reason) pairs: sources whose surviving mutants can only
    change what the rules leave to the implementer."""
    pairs = []
    try:
        with open(FREE_CHOICES_FILE, encoding="utf-8") as f:
            for line in f:
                line = line.rstrip("\n")
                if line and not line.startswith("#"):
                    pattern, _, why = line.partition("\t# ")
                    pairs.append((pattern.strip(), why.strip()))
    except OSError:
        pass
    return pairs


def report(results, equivalents, show_diffs=True, rechecked=None):
    """rechecked: key -> result of the sanitized run of a plain survivor."""
    rechecked = rechecked or {}
    free_choices = load_free_choices()

    def open_by_rules(r):
        return next((why for pattern, why in free_choices if fnmatch.fnmatch(r["file"], pattern)), None)

    def status_of(r):
        status = r["status"]
        if status == "survived" and rechecked.get(r["key"], {}).get("status") in ("killed", "timeout"):
            return "sanitizers"
        if status == "timeout":
            return "killed"
        if status == "survived" and r["key"] in equivalents:
            return "equivalent"
        if status == "survived" and open_by_rules(r):
            return "free choice"
        return status

    per_file = {}
    for r in results:
        per_file.setdefault(r["file"], []).append(r)
    rows = []
    kinds = ("killed", "sanitizers", "survived", "not compiled", "equivalent", "free choice", "flaky")
    total = dict.fromkeys(kinds, 0)
    for f in sorted(per_file):
        c = dict.fromkeys(kinds, 0)
        for r in per_file[f]:
            c[status_of(r)] += 1
        for k in total:
            total[k] += c[k]
        rows.append((f, c))
    print()
    print("%-28s %7s %6s %8s %7s %7s %12s %6s %10s" % ("file", "killed", "+san.", "survived", "equiv.", "free ch.",
                                                        "not compiled", "flaky", "kill rate"))

    def rate(c):
        compiled = c["killed"] + c["sanitizers"] + c["survived"] + c["equivalent"] + c["free choice"]
        return "%9.1f%%" % (100.0 * (c["killed"] + c["sanitizers"]) / compiled) if compiled else "         -"

    for f, c in rows + [("all", total)]:
        print("%-28s %7d %6d %8d %7d %7d %12d %6d %s" % (f, c["killed"], c["sanitizers"], c["survived"],
                                                           c["equivalent"], c["free choice"], c["not compiled"],
                                                           c["flaky"], rate(c)))
    killed = total["killed"] + total["sanitizers"]
    compiled = killed + total["survived"] + total["equivalent"] + total["free choice"]
    if compiled:
        def pct(n, d):
            return 100.0 * n / d if d else 100.0
        print("kill rate: %d of %d compiled mutants (%.1f%%; %d of them only by the sanitizers)" % (
            killed, compiled, pct(killed, compiled), total["sanitizers"]))
        print("without the %d judged equivalent: %.1f%%; without also the %d that change only what the rules "
              "leave open: %.1f%%" % (total["equivalent"], pct(killed, compiled - total["equivalent"]),
                                      total["free choice"],
                                      pct(killed, compiled - total["equivalent"] - total["free choice"])))
    if total["flaky"]:
        print("flaky (left out): the failing tests fail without the mutant too: %s" % ", ".join(
            r["where"] + " (" + str(r["test"]) + ")" for r in results if r["status"] == "flaky"))
    if show_diffs:
        for r in results:
            status = status_of(r)
            if status not in ("survived", "equivalent", "free choice", "sanitizers"):
                continue
            tag = {"equivalent": "equivalent: " + equivalents.get(r["key"], ""),
                   "free choice": "left open by the rules: " + str(open_by_rules(r)),
                   "sanitizers": "killed by the sanitizers (%s)" % rechecked.get(r["key"], {}).get("test"),
                   }.get(status, "SURVIVED")
            print("\n%s  %s\n  key: %s\n%s" % (tag, r["where"], r["key"], r["diff"]), end="")
    print()
    if any("tests" in r for r in results):  # a --matrix run
        report_matrix(results)


def report_matrix(results):
    """Per test, the mutants it kills and those only it kills: a test that
    kills nothing alone is covered by the others (slow tests do not run)."""
    kills, alone = {}, {}
    for r in results:
        every = r.get("tests") or []
        for t in every:
            kills[t] = kills.get(t, 0) + 1
        if len(every) == 1:
            alone[every[0]] = alone.get(every[0], 0) + 1
    print("\nmutants killed per test (alone: by no other quick test)")
    for t in sorted(kills, key=lambda t: (alone.get(t, 0), kills[t])):
        print("%5d %5d  %s" % (kills[t], alone.get(t, 0), t))


def read_results(path):
    results, header = [], None
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                rec = json.loads(line)
                if "tree" in rec:
                    header = rec
                else:
                    results.append(rec)
    except (OSError, ValueError):
        pass
    return header, results


# ---------------------------------------------------------------- main

def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    ap.add_argument("--count", type=int, default=200, help="mutants in the sample (default 200; 0 = all)")
    ap.add_argument("--files", nargs="*", default=[], help="only these files (shell patterns, relative paths)")
    ap.add_argument("--jobs", type=int, default=2, help="workers, each with its own build (default 2)")
    ap.add_argument("--out", default=os.path.join(ROOT, "build-mutate"), help="work folder (default build-mutate)")
    ap.add_argument("--list", action="store_true", help="print the mutation sites per file and stop")
    ap.add_argument("--report", action="store_true", help="print the report of the results so far and stop")
    ap.add_argument("--quiet", action="store_true", help="no survivor diffs in the report")
    ap.add_argument("--sanitize", action="store_true",
                    help="build with AddressSanitizer and UndefinedBehaviorSanitizer, as the sanitized suite does")
    ap.add_argument("--matrix", action="store_true",
                    help="run every quick test on each mutant and report, per test, the mutants only it kills")
    ap.add_argument("--sanitize-survivors", action="store_true",
                    help="then run the survivors again in sanitized builds (as CI runs the suite)")
    ap.add_argument("--keys", help="only the sample's mutants whose keys this file lists, one a line "
                    "(the \"key\" field of a results file): to rerun chosen mutants after a change")
    args = ap.parse_args()
    args.out = os.path.abspath(args.out)  # the workers build from other folders

    all_files = source_files()
    candidates = [f for f in candidate_files(all_files, args.files) if not is_generated(read(os.path.join(ROOT, f)))]
    texts = {f: read(os.path.join(ROOT, f)) for f in candidates}
    # The whole tree, tests included: results of other sources or tests are
    # not reused.
    tree = hashlib.sha256()
    for f in all_files:
        with open(os.path.join(ROOT, f), "rb") as fh:
            tree.update(f.encode() + b"\0" + fh.read() + b"\0")
    tag = "seed%d-count%d%s%s%s" % (args.seed, args.count,
                                  "-" + hashlib.sha256(" ".join(args.files).encode()).hexdigest()[:8] if args.files else "",
                                  "-sanitize" if args.sanitize else "", "-matrix" if args.matrix else "")
    chosen = None
    if args.keys:
        with open(args.keys, encoding="utf-8") as fh:
            chosen = {line.rstrip("\n") for line in fh if line.strip()}
        tag += "-keys" + hashlib.sha256("\n".join(sorted(chosen)).encode()).hexdigest()[:8]
    results_path = os.path.join(args.out, "results-%s.jsonl" % tag)

    if args.report:
        header, results = read_results(results_path)
        if header is None:
            sys.exit("no results in %s" % results_path)
        _, again = read_results(results_path[:-len(".jsonl")] + "-sanitized.jsonl")
        report(results, load_equivalents(), not args.quiet, {r["key"]: r for r in again})
        return

    os.makedirs(args.out, exist_ok=True)
    workers = [Worker(args.out, i, all_files, args.sanitize) for i in range(max(1, args.jobs))]
    WORKERS.extend(workers)
    if args.list:
        # Without a build every candidate counts; after one, only the
        # sources the unit tests compile.
        compiled = workers[0].compiled_sources()
        if compiled is not None:
            candidates = [f for f in candidates if f.endswith(".h") or f in compiled]
        counts = {}
        for f in candidates:
            for m in find_mutants(f, texts[f]):
                kind = m.op.split()[0]
                counts.setdefault(f, {})[kind] = counts.setdefault(f, {}).get(kind, 0) + 1
        for f in candidates:
            c = counts.get(f, {})
            print("%-30s %5d  %s" % (f, sum(c.values()), ", ".join("%s %d" % kv for kv in sorted(c.items()))))
        print("%-30s %5d" % ("all", sum(sum(c.values()) for c in counts.values())))
        return
    # Only files the unit-test build compiles (or headers) can be killed.
    print("building the unmutated unit tests in %s ..." % args.out, flush=True)
    build_workers(workers)
    compiled = workers[0].compiled_sources()
    if compiled is not None:
        candidates = [f for f in candidates if f.endswith(".h") or f in compiled]

    mutants = []
    for f in candidates:
        mutants += find_mutants(f, texts[f])
    rng = random.Random(args.seed)
    sample = mutants if args.count <= 0 or args.count >= len(mutants) else rng.sample(mutants, args.count)
    if chosen is not None:
        sample = [m for m in sample if m.key in chosen]
    # Cheap ones first (a header rebuilds every unit that includes it), and
    # a file's mutants together, so the tests that kill them are learnt.
    sample.sort(key=lambda m: (m.path.endswith(".h"), m.path, m.start, m.replacement))

    results = run_sample(workers, sample, texts, results_path,
                         {"tree": tree.hexdigest(), "seed": args.seed, "count": args.count, "files": args.files},
                         args.matrix)
    keys = {m.key for m in sample}
    results = [r for r in results if r["key"] in keys]
    rechecked = {}
    if args.sanitize_survivors and not args.sanitize:
        # The plain survivors again, built as the sanitized suite is: a leak,
        # an access out of bounds or undefined behaviour fails the run there.
        equivalents = load_equivalents()
        again = [m for m in sample if m.key in {r["key"] for r in results
                                                if r["status"] == "survived" and r["key"] not in equivalents}]
        print("\n%d survivors again under the sanitizers" % len(again), flush=True)
        san = [Worker(args.out, i, all_files, True) for i in range(max(1, args.jobs))]
        WORKERS.extend(san)
        build_workers(san)
        san_path = results_path[:-len(".jsonl")] + "-sanitized.jsonl"
        rechecked = {r["key"]: r for r in run_sample(san, again, texts, san_path,
                                                     {"tree": tree.hexdigest(), "of": results_path})}
    report(results, load_equivalents(), not args.quiet, rechecked)
    print("results: %s" % os.path.relpath(results_path, ROOT))


def build_workers(workers):
    for w in workers:
        w.sync()
    failures = []

    def set_up(w):
        try:
            w.configure_and_build(max(1, 2 // len(workers)))
        except SystemExit as e:
            failures.append(str(e))

    threads = [threading.Thread(target=set_up, args=(w,), daemon=True) for w in workers]
    for t in threads:
        t.start()
    while any(t.is_alive() for t in threads):
        for t in threads:
            t.join(0.2)
    if failures:
        sys.exit(failures[0])


def run_sample(workers, sample, texts, results_path, header_fields, matrix=False):
    """Runs every mutant of the sample not yet in results_path (kept when its
    header matches header_fields) and returns all the results."""
    header, results = read_results(results_path)
    if header is not None and header.get("tree") != header_fields.get("tree"):
        print("the sources changed since %s was written: starting it again" % results_path)
        header, results = None, []
    if header is None:
        results = []
        with open(results_path, "w", encoding="utf-8") as f:
            f.write(json.dumps(header_fields) + "\n")
    done = {r["key"] for r in results}

    # The unmutated tests must pass; their times set the timeout and order.
    for w in workers:
        w.take_snapshot()
    names = list_tests(workers[0])
    start = time.time()
    rc, out = workers[0].run([os.path.join(workers[0].build, TEST_BINARY)], 1800)
    baseline = time.time() - start
    if rc != 0:
        sys.exit("the unmutated unit tests fail; fix them first:\n" + out[-3000:])
    tests = Tests(names, {n: int(ms) for n, ms in PASSED_TIME.findall(out)})
    for r in results:
        if r["status"] in ("killed", "timeout") and r.get("test"):
            tests.learn(r["file"], r["test"])
    timeout = 3 * baseline + 20
    todo = [m for m in sample if m.key not in done]
    print("%d mutants (%d done before), %d workers, tests %.1f s unmutated, timeout %.0f s" % (
        len(sample), len(sample) - len(todo), len(workers), baseline, timeout), flush=True)

    jobs = queue.Queue()
    for m in todo:
        jobs.put(m)
    lock = threading.Lock()
    stop = threading.Event()
    progress = [len(sample) - len(todo)]

    def work(w):
        while not stop.is_set():
            try:
                m = jobs.get_nowait()
            except queue.Empty:
                return
            target = os.path.join(w.src, m.path)
            original = texts[m.path]
            st = os.stat(target)
            users = [(u, os.stat(u)) for u in w.dependents(m.path)] if m.path.endswith(".h") else []
            t0 = time.time()
            every = []
            try:
                write(target, m.apply(original))
                for u, _ in users:
                    os.utime(u)  # a header: rebuild every unit that includes it
                rc, out = w.build_tests()
                if stop.is_set():
                    return
                if rc != 0:
                    status, test = "not compiled", None
                elif matrix:
                    status, test, every = run_every_test(w, tests, timeout)
                else:
                    status, test = run_tests(w, tests, m.path, timeout)
            finally:
                write(target, original)
                os.utime(target, ns=(st.st_atime_ns, st.st_mtime_ns))
                for u, ust in users:
                    os.utime(u, ns=(ust.st_atime_ns, ust.st_mtime_ns))
                w.roll_back()
            if stop.is_set():
                return
            if status in ("killed", "timeout") and test:
                tests.learn(m.path, test)
            rec = {"key": m.key, "file": m.path, "where": m.describe(), "status": status, "test": test,
                   "seconds": round(time.time() - t0, 1), "diff": m.diff(original) if status == "survived" else ""}
            if matrix:
                rec["tests"] = every
            with lock:
                results.append(rec)
                with open(results_path, "a", encoding="utf-8") as f:
                    f.write(json.dumps(rec) + "\n")
                progress[0] += 1
                print("%3d/%d %-12s %5.1fs %s%s" % (progress[0], len(sample), status, rec["seconds"], m.describe(),
                                                    "  (" + test + ")" if test else ""), flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    try:
        for t in threads:
            t.start()
        while any(t.is_alive() for t in threads):
            for t in threads:
                t.join(0.2)
    except KeyboardInterrupt:
        print("\nstopping: the copies and builds are put back; run again to go on", flush=True)
        stop.set()
        for w in workers:
            w.kill()
        for t in threads:
            t.join()
    if stop.is_set():
        sys.exit("\nstopped")
    return results


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        for w in WORKERS:
            w.kill()
        sys.exit("\nstopped")
