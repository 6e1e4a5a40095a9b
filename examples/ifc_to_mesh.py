"""An IFC text to a mesh, welded and sliced.

The faceted boundary of one room, as an IFC exporter writes it: points and
poly loops among other records, some loops before the points they name, and
two corners written twice a hair apart. The reader keeps only points and
loops; `clean` welds the near-duplicates; `slice_by_plane` cuts the room at
table height into the part above and the part below.
"""

from velmarin import IfcParser, Vector3D

IFC_TEXT = """ISO-10303-21;
HEADER;
FILE_DESCRIPTION(('ViewDefinition [CoordinationView]'),'2;1');
FILE_SCHEMA(('IFC4'));
ENDSEC;
DATA;
#10=IFCPOLYLOOP((#101,#102,#103,#104));
#11=IFCPOLYLOOP((#105,#108,#107,#106));
#100=IFCCARTESIANPOINT((0.,0.,0.));
#101=IFCCARTESIANPOINT((0.,0.,0.));
#102=IFCCARTESIANPOINT((0.,3.,0.));
#103=IFCCARTESIANPOINT((4.,3.,0.));
#104=IFCCARTESIANPOINT((4.,0.,0.));
#105=IFCCARTESIANPOINT((0.,0.,2.7));
#106=IFCCARTESIANPOINT((4.,0.,2.7));
#107=IFCCARTESIANPOINT((4.,3.,2.7));
#108=IFCCARTESIANPOINT((0.,3.,2.7));
#109=IFCCARTESIANPOINT((4.0000004,0.,0.));
#110=IFCCARTESIANPOINT((0.,3.0000002,2.7));
#12=IFCPOLYLOOP((#101,#109,#106,#105));
#13=IFCPOLYLOOP((#102,#108,#107,#103));
#14=IFCPOLYLOOP((#101,#105,#110,#102));
#15=IFCPOLYLOOP((#104,#103,#107,#106));
#20=IFCFACEOUTERBOUND(#10,.T.);
#30=IFCCLOSEDSHELL((#40,#41,#42,#43,#44,#45));
ENDSEC;
END-ISO-10303-21;
"""

room = IfcParser.parse_ifc_points_and_faces(IFC_TEXT)
print(f"read: {len(room.vertices)} vertices, {len(room.faces)} faces")

welded = room.clean(0.001)
print(f"welded at 1 mm: {len(welded.vertices)} vertices, {len(welded.faces)} faces")

above, below = welded.slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, 0.75))
for name, part in (("above", above), ("below", below)):
    zs = [v.z for v in part.vertices]
    print(f"{name} the cut at z = 0.75: {len(part.faces)} triangles, z from {min(zs):g} to {max(zs):g}")
