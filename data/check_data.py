#!/usr/bin/env python3
"""Sanity check for the drive data sources under data/.

Catches the mistakes that the builder would turn into a data file the program loads but shows
wrongly: a default outside its range, a range that does not fit a 16-bit word, two parameters
on one address, an item naming a type or option list that is not there, and missing addresses
that the connection and download code look up by number.

Usage: check_data.py [data-dir]   (defaults to the directory of this script)
"""
import json
import os
import re
import sys

SERIES = {4: "Elm", 5: "Fir", 8: "Hazel", 9: "Ivy", 10: "Juniper", 11: "Kapok", 13: "Larch"}

# First hex digit of every parameter address of a series.
ADDRESS_PAGE = {4: 0x5, 5: 0x7, 8: 0x8, 9: 0x9, 10: 0xA, 11: 0x1, 13: 0xD}

# Read right after identification: the acceleration/deceleration time scale.
TIME_SCALE = {4: 0x5347, 8: 0x8347, 9: 0x924A, 10: 0xA347, 11: 0x1209}

# Written first, or never, by a download; every one must exist in each file of the series.
DOWNLOAD_ORDER = {
    4: [0x5214, 0x542E, 0x542F, 0x560A, 0x560B, 0x5611, 0x5614, 0x5634],
    5: [0x7404, 0x725F, 0x7260, 0x7603, 0x7604, 0x7605, 0x7609, 0x761E,
        0x763D, 0x763E, 0x763F, 0x7640, 0x7641, 0x7642],
    8: [0x8215, 0x843C, 0x843D],
    9: [0x921E, 0x945A, 0x945B, 0x960A, 0x960B, 0x9611, 0x9614,
        0x963C, 0x963D, 0x963E, 0x963F, 0x9640, 0x9641, 0x9642],
    10: [0xA215, 0xA43B, 0xA43C, 0xA43D, 0xA441],
    11: [0x120A, 0x1114, 0x110A, 0x134B] + list(range(0x1701, 0x171A)),
    13: [0xD210, 0xD24F, 0xD250, 0xD254],
}

TOP_KEYS = {"title", "series", "header_words", "version", "types", "option_lists", "groups"}
TYPE_KEYS = {"name", "unit", "numerator", "denominator", "flags"}
ITEM_KEYS = {"address", "name", "type", "options", "min", "max", "default", "writable",
             "run_writable", "placeholder"}
FLAG_HEX, FLAG_BINARY = 2, 4


class Checker:
    def __init__(self, path):
        self.path = path
        self.errors = []

    def fail(self, text):
        self.errors.append("%s: %s" % (self.path, text))

    def expect(self, cond, text):
        if not cond:
            self.fail(text)
        return cond


def is_int(v):
    return isinstance(v, int) and not isinstance(v, bool)


def parse_word(v):
    """Address or version: a "0x..." string or a plain integer."""
    if is_int(v):
        return v
    if isinstance(v, str) and re.fullmatch(r"0x[0-9A-Fa-f]{1,4}", v):
        return int(v, 16)
    return None


def check_text(c, text, what):
    c.expect(isinstance(text, str) and text != "", "%s must be a non-empty string" % what)
    if isinstance(text, str):
        # The loader trims every string, so padding would silently change a name.
        c.expect(text == text.strip(), "%s has leading or trailing blanks: %r" % (what, text))


def check_types(c, types):
    by_name = {}
    for t in types:
        c.expect(set(t) == TYPE_KEYS, "type keys %s" % sorted(t))
        name = t.get("name")
        check_text(c, name, "type name")
        c.expect(name not in by_name, "type %s defined twice" % name)
        c.expect(isinstance(t.get("unit"), str), "type %s: unit must be a string" % name)
        n, d, f = t.get("numerator"), t.get("denominator"), t.get("flags")
        if not (c.expect(is_int(n) and is_int(d) and is_int(f), "type %s: integers" % name)):
            continue
        c.expect(n > 0 and d > 0, "type %s: numerator and denominator must be positive" % name)
        c.expect(f in (0, FLAG_HEX, FLAG_BINARY), "type %s: flags %d" % (name, f))
        if f in (FLAG_HEX, FLAG_BINARY):
            # n is the digit or bit count; d == n keeps the raw value unscaled.
            c.expect(n == d, "type %s: hex/binary needs numerator == denominator" % name)
        if f == FLAG_BINARY:
            c.expect(n <= 16, "type %s: more than 16 bits" % name)
        if f == FLAG_HEX:
            c.expect(n <= 4, "type %s: more than 4 hex digits" % name)
        by_name[name] = t
    for needed in ("FREQ3", "TIME1"):
        c.expect(needed in by_name, "no %s type" % needed)
    return by_name


def check_options(c, lists):
    by_name = {}
    for o in lists:
        c.expect(set(o) == {"name", "texts"}, "option list keys %s" % sorted(o))
        name = o.get("name")
        check_text(c, name, "option list name")
        c.expect(name not in by_name, "option list %s defined twice" % name)
        texts = o.get("texts")
        if c.expect(isinstance(texts, list) and texts, "option list %s: texts" % name):
            for t in texts:
                check_text(c, t, "option text in %s" % name)
        by_name[name] = o
    return by_name


def check_item(c, it, series, types, options, seen):
    c.expect(set(it) <= ITEM_KEYS and ITEM_KEYS - {"options"} <= set(it),
             "item keys %s" % sorted(it))
    name = it.get("name")
    check_text(c, name, "item name")
    addr = parse_word(it.get("address"))
    if not c.expect(addr is not None, "%s: bad address %r" % (name, it.get("address"))):
        return None
    where = "0x%04X %s" % (addr, name)
    c.expect(addr >> 12 == ADDRESS_PAGE[series], "%s: outside the series' address range" % where)
    c.expect(addr not in seen, "%s: address already used by %s" % (where, seen.get(addr)))
    seen[addr] = name

    type_name = it.get("type")
    t = types.get(type_name)
    c.expect(t is not None, "%s: unknown type %r" % (where, type_name))
    if type_name == "MSG":
        c.expect(it.get("options") in options, "%s: unknown option list %r" % (where, it.get("options")))
    else:
        c.expect("options" not in it, "%s: options given for a non-MSG item" % where)

    lo, hi, dflt = it.get("min"), it.get("max"), it.get("default")
    if not c.expect(all(is_int(v) for v in (lo, hi, dflt)), "%s: min/max/default integers" % where):
        return addr
    c.expect(lo <= dflt <= hi, "%s: default %d outside [%d, %d]" % (where, dflt, lo, hi))
    if lo < 0:
        c.expect(-32768 <= lo and hi <= 32767, "%s: signed range does not fit a word" % where)
    else:
        c.expect(hi <= 0xFFFF, "%s: range does not fit a word" % where)
    if t is not None and t["flags"] == FLAG_BINARY:
        c.expect(lo >= 0 and hi < (1 << t["numerator"]), "%s: range wider than its bit string" % where)

    for flag in ("writable", "run_writable", "placeholder"):
        c.expect(it.get(flag) in (0, 1), "%s: %s must be 0 or 1" % (where, flag))
    c.expect(not (it.get("run_writable") and not it.get("writable")),
             "%s: run-writable but read-only" % where)
    marked = "@@@@" in name or "$$$$" in name
    c.expect(it.get("placeholder") == (1 if marked else 0), "%s: placeholder flag" % where)
    return addr


def check_file(path, data_dir):
    c = Checker(os.path.relpath(path, data_dir))
    try:
        with open(path, encoding="utf-8") as f:
            doc = json.load(f)
    except (OSError, ValueError) as e:
        c.fail(str(e))
        return c, None
    c.expect(set(doc) <= TOP_KEYS and TOP_KEYS - {"header_words"} <= set(doc),
             "top-level keys %s" % sorted(doc))
    series = doc.get("series")
    if not c.expect(series in SERIES, "unknown series %r" % series):
        return c, None
    version = parse_word(doc.get("version"))
    c.expect(version is not None, "bad version %r" % doc.get("version"))
    check_text(c, doc.get("title"), "title")
    hw = doc.get("header_words", [0, 0, 0, 0])
    c.expect(isinstance(hw, list) and len(hw) == 4 and all(is_int(w) and 0 <= w <= 0xFFFF for w in hw),
             "header_words must be four words")

    name = SERIES[series]
    expected = os.path.join(name, "%s_%04X.json" % (name, version or 0))
    c.expect(os.path.relpath(path, data_dir) == expected, "file should be %s" % expected)

    types = check_types(c, doc.get("types", []))
    options = check_options(c, doc.get("option_lists", []))
    groups = doc.get("groups", [])
    c.expect(4 <= len(groups) <= 8, "%d groups" % len(groups))
    seen = {}
    used_lists = set()
    for g in groups:
        check_text(c, g.get("name"), "group name")
        c.expect(g.get("items"), "group %s is empty" % g.get("name"))
        for it in g.get("items", []):
            check_item(c, it, series, types, options, seen)
            used_lists.add(it.get("options"))
    for unused in set(options) - used_lists:
        c.fail("option list %s is never used" % unused)
    c.expect(100 <= len(seen) <= 400, "%d parameters" % len(seen))

    items = {parse_word(it.get("address")): it for g in groups for it in g.get("items", [])}
    for addr in DOWNLOAD_ORDER.get(series, []):
        c.expect(addr in items, "missing address 0x%04X" % addr)
    ts = TIME_SCALE.get(series)
    if ts is not None and c.expect(ts in items, "missing time-scale address 0x%04X" % ts):
        it = items[ts]
        # 0 = hundredths, 1 = tenths, 2 = whole seconds.
        c.expect(it.get("type") == "MSG" and it.get("min") == 0 and it.get("max") == 2,
                 "time-scale parameter must offer 0..2")
    return c, (name, version, len(groups), len(seen))


def main():
    data_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(__file__))
    errors, rows = [], []
    for root, _, files in sorted(os.walk(data_dir)):
        for f in sorted(files):
            if f.endswith(".json"):
                c, row = check_file(os.path.join(root, f), data_dir)
                errors += c.errors
                if row:
                    rows.append(row)
    for name, version, groups, count in rows:
        print("%-8s 0x%04X  %d groups  %3d parameters" % (name, version, groups, count))
    sys.stdout.flush()
    missing = sorted(set(SERIES.values()) - {r[0] for r in rows})
    if missing:
        errors.append("no data file for %s" % ", ".join(missing))
    for e in errors:
        print("error:", e, file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
