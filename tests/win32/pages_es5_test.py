#!/usr/bin/env python3
"""The built-in pages run in every document mode of the Windows browser control, 7 to 11:
each asks for the newest mode, its scripts use only ES5 syntax, and a member that a mode
lacks is used only after a test for it. Usage: pages_es5_test.py PAGES_DIR"""
import pathlib
import re
import sys

META = re.compile(r'<meta\s+http-equiv="X-UA-Compatible"\s+content="IE=edge"\s*>', re.I)
SCRIPT = re.compile(r"<script[^>]*>(.*?)</script>", re.S | re.I)
COMMENT = re.compile(r"/\*.*?\*/|(?:^|\s)//[^\n]*", re.S)
STRING = re.compile(r'"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'')
# What ES5 does not have, and how it shows in a script's text.
LATER_THAN_ES5 = [
    ("arrow function", re.compile(r"=>")),
    ("let", re.compile(r"\blet\s+[\w\[{]")),
    ("const", re.compile(r"\bconst\s+[\w\[{]")),
    ("class", re.compile(r"\bclass\s+\w+")),
    ("template string", re.compile(r"`")),
    ("for...of", re.compile(r"\bfor\s*\([^)]*\bof\b")),
    ("spread or rest", re.compile(r"\.\.\.\w")),
    ("URLSearchParams", re.compile(r"\bURLSearchParams\b")),
    ("unguarded AudioContext", re.compile(r"new\s+(?:window\.)?AudioContext\b")),
    # A syntax error in modes 7 and 8.
    ("trailing comma", re.compile(r",\s*[}\]]")),
]
MODES = range(7, 12)
# The modes that have a member (Microsoft's document-mode lists; Wine's
# dlls/mshtml/tests/documentmode.js records them on Windows).
MEMBERS = {
    "addEventListener": range(9, 12), "removeEventListener": range(9, 12),
    "dispatchEvent": range(9, 12), "preventDefault": range(9, 12),
    "stopPropagation": range(9, 12), "textContent": range(9, 12),
    "getElementsByClassName": range(9, 12), "querySelector": range(8, 12),
    "querySelectorAll": range(8, 12), "attachEvent": range(7, 11), "detachEvent": range(7, 11),
    "JSON": range(8, 12), "localStorage": range(8, 12), "forEach": range(9, 12),
    "map": range(9, 12), "filter": range(9, 12), "reduce": range(9, 12), "some": range(9, 12),
    "every": range(9, 12), "isArray": range(9, 12), "keys": range(9, 12),
    "create": range(9, 12), "defineProperty": range(9, 12), "bind": range(9, 12),
    "trim": range(9, 12), "now": range(9, 12),
    "AudioContext": (), "webkitAudioContext": (),
}
USE = re.compile(r"\b(" + "|".join(MEMBERS) + r")\b")
IF = re.compile(r"\bif\s*\(")


def closing(code, start):
    """The index just past the bracket that closes the one at start."""
    depth = 0
    for i in range(start, len(code)):
        if code[i] in "({[":
            depth += 1
        elif code[i] in ")}]":
            depth -= 1
            if depth == 0:
                return i + 1
    return len(code)


def guarded_spans(code):
    """(start, end, condition) of each if's condition and of the statement it governs."""
    spans = []
    for found in IF.finditer(code):
        open_paren = found.end() - 1
        end = closing(code, open_paren)
        condition = code[open_paren:end]
        spans.append((open_paren, end, condition))
        body = re.compile(r"\s*").match(code, end).end()
        body_end = closing(code, body) if code[body:body + 1] == "{" else code.find(";", body) + 1
        spans.append((body, body_end, condition))
    return spans


def unguarded(code, member):
    """Uses of member outside a test for it: not in an if's condition or the statement it
    governs when that condition names member, not after typeof, not in an || fallback."""
    spans = guarded_spans(code)
    for use in USE.finditer(code):
        if use.group(1) != member:
            continue
        at = use.start()
        before = code[:at].rstrip().rstrip(".").rstrip()
        if re.search(r"(\btypeof\s+[\w.]*|\|\|\s*[\w.]*)$", before) or \
                re.match(r"\s*\|\|", code[use.end():]):
            continue
        if any(start <= at < end and member in condition for start, end, condition in spans):
            continue
        yield code.count("\n", 0, at) + 1


failures = []
pages = sorted(pathlib.Path(sys.argv[1]).rglob("*.html"))
if not pages:
    failures.append("no pages in " + sys.argv[1])
for page in pages:
    text = page.read_text(encoding="utf-8")
    if not META.search(text):
        failures.append(f"{page}: no X-UA-Compatible IE=edge")
    for script in SCRIPT.findall(text):
        code = COMMENT.sub("\n", script)
        # A member named in a string is tested with "in": keep its name, drop the quotes.
        code = STRING.sub(lambda s: s.group(0)[1:-1] if re.fullmatch(r"\W\w+\W", s.group(0))
                          and re.match(r"\s*in\b", code[s.end():]) else '""', code)
        for name, pattern in LATER_THAN_ES5:
            if pattern.search(code):
                failures.append(f"{page}: {name}")
        for member, modes in MEMBERS.items():
            lacking = [mode for mode in MODES if mode not in modes]
            for line in unguarded(code, member) if lacking else ():
                failures.append(f"{page}: script line {line}: {member} unguarded, but "
                                f"document mode {lacking[0]} lacks it")
for failure in failures:
    print("FAIL:", failure)
print(f"{len(pages)} pages checked for document modes {MODES[0]} to {MODES[-1]}")
sys.exit(1 if failures else 0)
