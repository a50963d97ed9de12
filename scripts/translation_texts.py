"""The source texts of the interface: every C++ string literal under src/ that holds a non-ASCII
character (adjacent literals joined, as the compiler joins them), and the .po files' entries.

Shared by scripts/update-translations and scripts/check-translations.

A Japanese literal that is not shown to the user (part of a file format, or matched against what
a drive or a file holds) is marked with a comment holding "untranslated:" and a reason:
  - on the literal's own line:              {"ユーザー", 3},  // untranslated: file format
  - alone on the line above the literal:    // untranslated: matched against data-file names
  - around a whole table:                   // untranslated-begin: file format ... // untranslated-end
src/sim is left out: korvane-sim's texts are what scripts that drive it match against.
"""
import os
import re

SKIP_DIRS = ("sim",)
MARK = "untranslated:"
BEGIN = "untranslated-begin"
END = "untranslated-end"

_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\", "'": "'", "?": "?",
            "0": "\0", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}


def _unescape(body):
    out, i = bytearray(), 0
    raw = body.encode("utf-8")
    while i < len(raw):
        c = raw[i]
        if c == 0x5C and i + 1 < len(raw):
            n = chr(raw[i + 1])
            if n in "01234567":
                j = i + 1
                while j < len(raw) and j < i + 4 and chr(raw[j]) in "01234567":
                    j += 1
                out.append(int(raw[i + 1:j], 8) & 0xFF)
                i = j
                continue
            if n == "x":
                j = i + 2
                while j < len(raw) and chr(raw[j]) in "0123456789abcdefABCDEF":
                    j += 1
                out.append(int(raw[i + 2:j], 16) & 0xFF)
                i = j
                continue
            out += _ESCAPES.get(n, n).encode("utf-8")
            i += 2
        else:
            out.append(c)
            i += 1
    return out.decode("utf-8", errors="replace")


_TOKEN = re.compile(
    r'//[^\n]*|/\*.*?\*/'                          # comments
    r'|(?:u8|u|U|L)?R"([^(\s]*)\((.*?)\)\1"'       # raw strings
    r'|(?:u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"'         # strings
    r"|'(?:[^'\\\n]|\\.)*'"                        # characters
    r'|\S', re.S)


def literals(text):
    """Yields (line, joined text, marked) for each run of adjacent string literals."""
    line_of = lambda pos: text.count("\n", 0, pos) + 1
    lines = text.split("\n")
    marked_lines, skipping = set(), False
    for number, line in enumerate(lines, 1):
        if BEGIN in line:
            skipping = True
        if skipping or MARK in line:
            marked_lines.add(number)
        if MARK in line and line.strip().startswith("//"):
            marked_lines.add(number + 1)
        if END in line:
            skipping = False
    run, start = None, 0
    for m in _TOKEN.finditer(text):
        token = m.group(0)
        if token.startswith("//") or token.startswith("/*"):
            continue
        if m.group(2) is not None or m.group(3) is not None:
            piece = m.group(2) if m.group(2) is not None else _unescape(m.group(3))
            if run is None:
                run, start = piece, line_of(m.start())
            else:
                run += piece
            continue
        if run is not None:
            yield start, run, start in marked_lines
            run = None
    if run is not None:
        yield start, run, start in marked_lines


def source_texts(root, core_only=False):
    """{text: [file:line, ...]} of every non-ASCII literal under root/src not marked."""
    texts = {}
    src = os.path.join(root, "src")
    for folder, dirs, files in os.walk(src):
        rel = os.path.relpath(folder, src)
        parts = rel.split(os.sep)
        if parts[0] in SKIP_DIRS or (core_only and "ui" in parts):
            dirs[:] = []
            continue
        dirs.sort()
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                content = f.read()
            for line, text, marked in literals(content):
                if marked or text.isascii():
                    continue
                texts.setdefault(text, []).append(f"{os.path.relpath(path, root)}:{line}")
    return texts


def unquote(token):
    body = token.strip()
    if len(body) < 2 or body[0] != '"' or body[-1] != '"':
        raise ValueError(f"not a quoted string: {token!r}")
    return _unescape(body[1:-1])


def read_po(path):
    """[(msgid, msgstr, fuzzy)] of every entry but the header; obsolete (#~) entries left out."""
    entries, fields, fuzzy, key = [], {}, False, None

    def flush():
        nonlocal fields, fuzzy, key
        if fields.get("msgid"):
            entries.append((fields["msgid"], fields.get("msgstr", ""), fuzzy))
        fields, fuzzy, key = {}, False, None

    with open(path, encoding="utf-8") as po:
        for raw in po:
            line = raw.strip()
            if not line:
                flush()
            elif line.startswith("#,") and "fuzzy" in line:
                fuzzy = True
            elif line.startswith("#"):
                continue
            elif line.startswith('"'):
                fields[key] += unquote(line)
            else:
                if line.split(" ", 1)[0] in ("msgid", "msgctxt") and "msgstr" in fields:
                    flush()
                key, _, rest = line.partition(" ")
                fields[key] = unquote(rest)
    flush()
    return entries


_CONVERSION = re.compile(r"%(?:%|[-+ #0']*(?:\*|\d+)?(?:\.(?:\*|\d+))?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcspn])")


def conversions(text):
    """The printf conversions of a text in order, flags and widths dropped ("%-10s" -> "s")."""
    out = []
    for m in _CONVERSION.finditer(text):
        c = m.group(0)
        if c == "%%":
            continue
        length = re.search(r"(hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcspn]$", c).group(0)
        out.append(("*" if "*" in c else "") + length)
    return out
