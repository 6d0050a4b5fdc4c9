"""Times loading and saving the mixed floor drawing against ezdxf, and checks
that a round trip through ezdxf keeps every entity, handle and extended-data
value. Run with the system python, which has ezdxf:

    /usr/bin/python3 bench/cad/compare_ezdxf.py build/bin/bench_cad [--runs 5]

bench_cad writes the drawing into a fresh temporary folder (removed at the
end); the runs alternate which program goes first, and each figure is the
median of the runs, given as a ratio against ezdxf measured in the same run.
Peak memory is the loading process's peak resident size over the file size.
Exits 1 when the round trip loses anything.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

EZDXF_TIMED = r"""
import sys, time, ezdxf
t0 = time.perf_counter()
doc = ezdxf.readfile(sys.argv[1])
t1 = time.perf_counter()
doc.saveas(sys.argv[2])
t2 = time.perf_counter()
print("load_s=%.6f" % (t1 - t0))
print("save_s=%.6f" % (t2 - t1))
"""


def run(cmd):
    """Runs cmd; gives its output and its peak resident size in bytes."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("%s failed:\n%s" % (" ".join(cmd), out))
    return out, usage.ru_maxrss * 1024


def figure(out, name):
    m = re.search(name + r"=([0-9.]+)", out)
    if not m:
        sys.exit("no %s in:\n%s" % (name, out))
    return float(m.group(1))


def dump(path):
    """What a round trip must keep, as ezdxf reads it: per entity of model
    space its handle, type, attributes and extended data."""
    import ezdxf

    doc = ezdxf.readfile(path)
    out = {}
    for e in doc.modelspace():
        xdata = {}
        if e.xdata is not None:
            for app, tags in e.xdata.data.items():
                xdata[app] = [(t.code, tuple(t.value) if isinstance(t.value, tuple) else t.value) for t in tags]
        attribs = []
        if e.dxftype() == "INSERT":
            attribs = [(a.dxf.handle, a.dxf.tag, a.dxf.text) for a in e.attribs]
        out[e.dxf.handle] = (e.dxftype(), xdata, attribs)
    return out


def compare(name, a, b):
    lost = 0
    for handle, value in a.items():
        if handle not in b:
            lost += 1
            if lost <= 5:
                print("%s: entity %s (%s) lost" % (name, handle, value[0]))
        elif b[handle] != value:
            lost += 1
            if lost <= 5:
                print("%s: entity %s changed: %r became %r" % (name, handle, value, b[handle]))
    extra = len(set(b) - set(a))
    print("%s: %d entities, %d lost or changed, %d new" % (name, len(a), lost, extra))
    return lost == 0 and extra == 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bench_cad")
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="kiv-bench-ezdxf-")
    try:
        mixed = os.path.join(tmp, "mixed.dxf")
        run([args.bench_cad, "--write-mixed", mixed])
        size = os.path.getsize(mixed)
        ours = {"load": [], "save": [], "rss": []}
        theirs = {"load": [], "save": [], "rss": []}
        for i in range(args.runs):
            def ezdxf_run():
                out, rss = run([sys.executable, "-c", EZDXF_TIMED, mixed, os.path.join(tmp, "ez.dxf")])
                theirs["load"].append(figure(out, "load_s"))
                theirs["save"].append(figure(out, "save_s"))
                theirs["rss"].append(rss)

            def our_run():
                out, rss = run([args.bench_cad, "--read", mixed])
                ours["load"].append(figure(out, "load_s"))
                ours["rss"].append(rss)
                out, _ = run([args.bench_cad, "--save", mixed, os.path.join(tmp, "ours.dxf")])
                ours["save"].append(figure(out, "save_s"))

            for step in ((our_run, ezdxf_run) if i % 2 == 0 else (ezdxf_run, our_run)):
                step()
        med = {k: statistics.median(v) for k, v in ours.items()}
        ref = {k: statistics.median(v) for k, v in theirs.items()}
        print("mixed drawing: %.1f MB, %d runs (medians)" % (size / 1e6, args.runs))
        print("load: ours %.3f s, ezdxf %.3f s: %.1fx faster" % (med["load"], ref["load"], ref["load"] / med["load"]))
        print("save: ours %.3f s, ezdxf %.3f s: %.1fx faster" % (med["save"], ref["save"], ref["save"] / med["save"]))
        print("peak memory while loading: ours %.2fx the file, ezdxf %.2fx"
              % (med["rss"] / size, ref["rss"] / size))
        # The round trip: ezdxf's copy of our file, read and saved by us again.
        resaved = os.path.join(tmp, "resaved.dxf")
        run([args.bench_cad, "--save", os.path.join(tmp, "ez.dxf"), resaved])
        original = dump(mixed)
        ok = compare("ezdxf's save of our drawing", original, dump(os.path.join(tmp, "ez.dxf")))
        ok = compare("our save of ezdxf's save", original, dump(resaved)) and ok
        return 0 if ok else 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
