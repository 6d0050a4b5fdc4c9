"""Compares what a save must keep of a drawing made by another program:
every header variable, and every layout with its page setup. Reads both
files with ezdxf; prints one line per difference and exits 1 when any.
    ezdxf_compare.py ORIGINAL SAVED
"""
import sys

import ezdxf

# Numbers a save makes afresh: the handle seed and the drawing's extents.
SKIP_HEADER = {"$HANDSEED", "$EXTMIN", "$EXTMAX"}
# Variables ezdxf sets itself at every load ($TDCREATE to the time of the
# load): compared as the files hold them.
SET_AT_LOAD = {"$TDCREATE"}


def raw_header(path):
    """The header variables as the file's text holds them: name -> values."""
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = [line.strip() for line in f.read().split("\n")]
    out, name = {}, None
    for code, value in zip(lines[0::2], lines[1::2]):
        if code == "0" and value == "ENDSEC":
            break
        if code == "9":
            name = value
            out[name] = []
        elif name:
            out[name].append(value)
    return out


def layouts(doc):
    out = {}
    for layout in doc.layouts:
        attribs = layout.dxf_layout.dxfattribs()
        out[layout.name] = attribs
    return out


def main(original, saved):
    a = ezdxf.readfile(original)
    b = ezdxf.readfile(saved)
    diffs = []
    raw_a, raw_b = raw_header(original), raw_header(saved)
    for name in a.header.varnames():
        if name in SKIP_HEADER:
            continue
        if name in SET_AT_LOAD:
            if raw_a.get(name) != raw_b.get(name):
                diffs.append("header %s: %r became %r" % (name, raw_a.get(name), raw_b.get(name)))
            continue
        if name not in b.header:
            diffs.append("header %s missing" % name)
        elif a.header[name] != b.header[name]:
            diffs.append("header %s: %r became %r" % (name, a.header[name], b.header[name]))
    la, lb = layouts(a), layouts(b)
    for name, attribs in la.items():
        if name not in lb:
            diffs.append("layout %s missing" % name)
            continue
        for key, value in attribs.items():
            if lb[name].get(key) != value:
                diffs.append("layout %s %s: %r became %r" % (name, key, value, lb[name].get(key)))
    for d in diffs:
        print(d)
    print("header %d layouts %d differences %d" % (len(list(a.header.varnames())), len(la), len(diffs)))
    return 1 if diffs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
