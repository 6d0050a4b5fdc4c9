# Reads a .dump of a drawing and prints, per component type, how many
# primary components (属性 = own handle, 主键) it has on its layer and how
# many of them have at least one twin on the type's "3D" layer.
import json
import sys
from collections import defaultdict

primaries = defaultdict(set)
twinned = defaultdict(set)
for line in open(sys.argv[1], encoding="utf-8"):
    e = json.loads(line)
    attrs = e.get("xdata", {}).get("属性", [])
    layer = e["layer"]
    if layer == "区域":  # region outlines are no components: they have no twin
        continue
    if len(attrs) >= 2 and attrs[1] == "主键" and attrs[0] == e["handle"]:
        primaries[layer].add(e["handle"])
    elif layer.endswith("3D") and attrs:
        twinned[layer[:-2]].add(attrs[0])
for t in sorted(set(primaries) | set(twinned)):
    print(t, len(primaries[t]), len(twinned[t] & primaries[t]) if t in primaries else len(twinned[t]))
