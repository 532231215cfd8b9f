#!/usr/bin/env python3
"""The built-in pages run in every document mode of the Windows browser control, 7 to 11:
each asks for the newest mode, its scripts use only ES5 syntax, and a member that a mode
lacks is used only after a test for it. Usage: pages_es5_test.py PAGES_DIR"""
import itertools
import pathlib
import re
import sys

META = re.compile(r'<meta\s+http-equiv="X-UA-Compatible"\s+content="IE=edge"\s*>', re.I)
SCRIPT = re.compile(r"<script[^>]*>(.*?)</script>", re.S | re.I)
COMMENT = re.compile(r"/\*.*?\*/|(?:^|\s)//[^\n]*", re.S)
STRING = re.compile(r'"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'')
# What ES5 does not have, and how it shows in a script's text.
LATER_THAN_ES5 = {
    "arrow function": r"=>", "template string": r"`", "spread or rest": r"\.\.\.\w",
    "let": r"\blet\s+[\w\[{]", "const": r"\bconst\s+[\w\[{]", "class": r"\bclass\s+\w+",
    "for...of": r"\bfor\s*\([^)]*\bof\b", "URLSearchParams": r"\bURLSearchParams\b",
    "unguarded AudioContext": r"new\s+(?:window\.)?AudioContext\b",
    "trailing comma (a syntax error in modes 7 and 8)": r",\s*[}\]]",
}
MODES = range(7, 12)
# The modes that have a member (as Wine's dlls/mshtml/tests/documentmode.js records them).
MEMBERS = {member: modes for modes, names in [
    (range(9, 12), "addEventListener removeEventListener dispatchEvent preventDefault "
                   "stopPropagation textContent getElementsByClassName forEach map filter "
                   "reduce some every isArray keys create defineProperty bind trim now"),
    (range(8, 12), "querySelector querySelectorAll JSON localStorage"),
    (range(7, 11), "attachEvent detachEvent"),
    ((), "AudioContext webkitAudioContext")] for member in names.split()}


def closing(code, start):
    """The index just past the bracket that closes the one at start."""
    depths = itertools.accumulate((c in "({[") - (c in ")}]") for c in code[start:])
    return next((start + i + 1 for i, depth in enumerate(depths) if depth == 0), len(code))


def unguarded(code, member):
    """The lines using member outside an if naming it, a typeof or an || fallback."""
    guarded = []
    for found in re.finditer(r"\bif\s*\(", code):
        end = closing(code, found.end() - 1)
        body = re.compile(r"\s*").match(code, end).end()
        body_end = closing(code, body) if code[body:body + 1] == "{" else code.find(";", body) + 1
        if member in code[found.end() - 1:end]:
            guarded.append(range(found.end() - 1, body_end))
    for use in re.finditer(r"\b%s\b" % member, code):
        before = code[:use.start()].rstrip().rstrip(".").rstrip()
        if not (re.search(r"(\btypeof\s+[\w.]*|\|\|\s*[\w.]*)$", before) or
                re.match(r"\s*\|\|", code[use.end():]) or
                any(use.start() in span for span in guarded)):
            yield code.count("\n", 0, use.start()) + 1


pages = sorted(pathlib.Path(sys.argv[1]).rglob("*.html"))
failures = [] if pages else ["no pages in " + sys.argv[1]]
for page in pages:
    text = page.read_text(encoding="utf-8")
    if not META.search(text):
        failures.append(f"{page}: no X-UA-Compatible IE=edge")
    for script in SCRIPT.findall(text):
        code = COMMENT.sub("\n", script)
        # A member named in a string is tested with "in": keep its name, drop the quotes.
        code = STRING.sub(lambda s: s.group(0)[1:-1] if re.fullmatch(r"\W\w+\W", s.group(0))
                          and re.match(r"\s*in\b", code[s.end():]) else '""', code)
        failures += [f"{page}: {name}" for name, pattern in LATER_THAN_ES5.items()
                     if re.search(pattern, code)]
        for member, modes in MEMBERS.items():
            lacking = [mode for mode in MODES if mode not in modes]
            failures += [f"{page}: script line {line}: {member} unguarded, but document mode "
                         f"{lacking[0]} lacks it" for line in unguarded(code, member)]
for failure in failures:
    print("FAIL:", failure)
print(f"{len(pages)} pages checked for document modes {MODES[0]} to {MODES[-1]}")
sys.exit(1 if failures else 0)
