#!/usr/bin/env python3
"""The built-in pages run in the Windows browser control's default mode: each asks for the
newest document mode and its scripts use only ES5. Usage: pages_es5_test.py PAGES_DIR"""
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
]

failures = []
pages = sorted(pathlib.Path(sys.argv[1]).rglob("*.html"))
if not pages:
    failures.append("no pages in " + sys.argv[1])
for page in pages:
    text = page.read_text(encoding="utf-8")
    if not META.search(text):
        failures.append(f"{page}: no X-UA-Compatible IE=edge")
    for script in SCRIPT.findall(text):
        code = STRING.sub('""', COMMENT.sub("\n", script))
        for name, pattern in LATER_THAN_ES5:
            if pattern.search(code):
                failures.append(f"{page}: {name}")
for failure in failures:
    print("FAIL:", failure)
print(f"{len(pages)} pages checked")
sys.exit(1 if failures else 0)
