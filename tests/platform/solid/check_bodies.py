# Opens a saved drawing with ezdxf and prints, per polyface mesh on a layer,
# its layer, vertex and face counts: the bodies as any viewer sees them.
import sys

import ezdxf

doc = ezdxf.readfile(sys.argv[1])
for e in doc.modelspace():
    if e.dxftype() == "POLYLINE" and e.is_poly_face_mesh:
        faces = list(e.faces())
        print(e.dxf.layer, len(list(e.points())), len(faces))
