"""Reads a DXF file with ezdxf and audits it. Prints one line per problem and
a summary line "entities N errors E fixes F"; exits 1 when there are errors."""
import sys

import ezdxf


def main(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    for e in auditor.errors:
        print("error:", e.message)
    msp = doc.modelspace()
    kinds = sorted({e.dxftype() for e in msp})
    print("kinds", " ".join(kinds))
    print("entities %d errors %d fixes %d" % (len(msp), len(auditor.errors), len(auditor.fixes)))
    return 1 if auditor.errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
