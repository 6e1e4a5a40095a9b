"""What the tests and the benchmarks share.

- `support.building`: the synthetic buildings (storeys of box rooms with
  doors, windows and columns) that the tests and benchmarks build graphs of;
- `support.reference_build`: the plain-Python builds the native ones are
  checked against and timed against;
- `support.reference_mesh`, `support.reference_ifc`: plain-Python welding and
  slicing, and a plain-Python IFC reader, that the native ones are checked
  and timed against; `support.exact`, floats compared by their bits;
- `support.space_boundaries`: the shared models and what their own space
  boundaries say of them;
- `support.examples`: the tour's own modules (the IFC model of its house, its
  embedded graph database), imported from examples/ by name.

The tests find the package because pytest puts tests/ on the module path; a
benchmark puts it there itself::

    sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
    from support.building import generate_building
"""
