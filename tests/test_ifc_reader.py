import math
import random

import pytest

from graph_support import needs_probe, probe
from helpers import assert_noted
from mesh_support import exact_mesh, exact_points, mesh_points
from support.reference_ifc import coordinate, reference_read
from velmarin import IfcParser, Mesh

parse = IfcParser.parse_ifc_points_and_faces


def read(text):
    return exact_mesh(parse(text))


TRIANGLE = [
    "#1=IFCCARTESIANPOINT((0.,0.,0.));",
    "#2=IFCCARTESIANPOINT((1.,0.,0.));",
    "#3=IFCCARTESIANPOINT((0.,1.,0.));",
    "#4=IFCPOLYLOOP((#1,#2,#3));",
]


def points_and_faces(text):
    mesh = parse(text)
    return mesh_points(mesh), mesh.faces


# --- records -------------------------------------------------------------------


class TestRecords:
    def test_triangle(self):
        assert points_and_faces("\n".join(TRIANGLE)) == ([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [[0, 1, 2]])

    def test_vertices_follow_first_reference(self):
        text = "\n".join(TRIANGLE[:3] + ["#4=IFCPOLYLOOP((#3,#1,#2));", "#5=IFCPOLYLOOP((#2,#3,#1,#2));"])
        assert points_and_faces(text) == ([(0, 1, 0), (0, 0, 0), (1, 0, 0)], [[0, 1, 2], [2, 0, 1, 2]])

    def test_unreferenced_points_and_short_loops(self):
        text = "\n".join(TRIANGLE[:3] + ["#9=IFCCARTESIANPOINT((5.,5.,5.));", "#4=IFCPOLYLOOP((#2,#1));"])
        assert points_and_faces(text) == ([(1, 0, 0), (0, 0, 0)], [])

    def test_redefinition_only_changes_later_first_references(self):
        text = "\n".join(
            TRIANGLE
            + ["#2=IFCCARTESIANPOINT((7.,7.,7.));", "#5=IFCCARTESIANPOINT((3.,3.,3.));", "#6=IFCPOLYLOOP((#2,#5,#1));"]
        )
        assert points_and_faces(text) == ([(0, 0, 0), (1, 0, 0), (0, 1, 0), (3, 3, 3)], [[0, 1, 2], [1, 3, 0]])

    def test_line_ends_and_spacing(self):
        text = " \t#1 = IFCCARTESIANPOINT((0.,0.,0.));\r\n\u3000#2\u00a0=IFCCARTESIANPOINT(( 1. , 0. , 0. ));\r\n#3=IFCCARTESIANPOINT((0.,1.,0.));\r\n  #4=IFCPOLYLOOP(( #1 ,\t#2,\t##3 ));\r\n"
        assert points_and_faces(text) == ([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [[0, 1, 2]])

    def test_carriage_returns_alone_make_one_line(self):
        assert points_and_faces("\r".join(TRIANGLE)) == ([], [])

    def test_ignored_records(self):
        text = "\n".join(
            [
                "#1=ifccartesianpoint((0.,0.,0.));",
                "#2=IFCCARTESIANPOINT((1.,2.));",
                "#3=IFCCARTESIANPOINT(",
                "(1.,2.,3.));",
                "#-4=IFCCARTESIANPOINT((1.,2.,3.));",
                "4=IFCCARTESIANPOINT((1.,2.,3.));",
                "#5 IFCCARTESIANPOINT((1.,2.,3.));",
                "#6=IFCCARTESIANPOINT))1.,2.,3.((;",
                "#18446744073709551616=IFCCARTESIANPOINT((1.,2.,3.));",
                "#7=IFCPOLYLOOP((#1,#2,#3,#4,#5,#6,#18446744073709551616,#x,#));",
            ]
        )
        assert points_and_faces(text) == ([], [])

    def test_largest_entity_number(self):
        text = "#+18446744073709551615=IFCCARTESIANPOINT((1.,2.,3.));\n#9=IFCPOLYLOOP((#18446744073709551615,18446744073709551615,#+018446744073709551615));"
        assert points_and_faces(text) == ([(1, 2, 3)], [[0, 0, 0]])

    @pytest.mark.parametrize("digits", range(1, 23))
    def test_numbers_of_every_length(self, digits):
        """Entity numbers, references and coordinates of every length, some
        running up to the end of their line."""
        n, z = "7" * digits, "0" * (digits - 1) + "5"
        text = "\n".join(
            [
                f"#{n}=IFCCARTESIANPOINT((1.,2.,3.));",
                f"#{z}=IFCCARTESIANPOINT(({n},-{z}.{n},{n}.))",
                f"#1=IFCPOLYLOOP((#{n},#{z},#{n}))",
                f"#2=IFCPOLYLOOP((#{z},#{n},#{z}));\r",
            ]
        )
        assert read(text) == reference_read(text)
        assert len(parse(text).faces) == (2 if digits < 20 else 0)

    def test_point_list_record_reads_like_a_point(self):
        text = "#1=IFCCARTESIANPOINTLIST3D(((1.,2.,3.),(4.,5.,6.)));\n#2=IFCPOLYLOOP((#1,#1,#1));"
        assert points_and_faces(text) == ([(0, 2, 0)], [[0, 0, 0]])

    def test_only_the_first_record_of_a_line_is_read(self):
        text = "#1=IFCCARTESIANPOINT((1.,1.,1.)); #2=IFCCARTESIANPOINT((2.,2.,2.));\n#3=IFCPOLYLOOP((#1,#2,#1,#1));"
        assert points_and_faces(text) == ([(1, 1, 1)], [[0, 0, 0]])


class TestCoordinates:
    @pytest.mark.parametrize(
        "text, value",
        [
            ("1.5E-3", 0.0015),
            ("-2.", -2.0),
            ("4", 4.0),
            (".5", 5.0),
            ("5.", 5.0),
            ("-.5", -0.5),
            ("+7", 7.0),
            (" ;3.25; ", 3.25),
            ("1.e2", 100.0),
            ("1e400", math.inf),
            ("-1e400", -math.inf),
            ("1e-400", 0.0),
            ("2.5e-324", 5e-324),
            ("INFINITY", math.inf),
            ("-Inf", -math.inf),
            ("0.1", 0.1),
            ("9007199254740993", 9007199254740992.0),
            ("9007199254740992.", 9007199254740992.0),
            ("900719925474099.3", 900719925474099.3),
            ("0.0000000000000000001", 1e-19),
            ("1234567890123456789", 1234567890123456789.0),
            ("12345678901234567890", 12345678901234567890.0),
            ("-0.0", -0.0),
            ("+.25", 0.25),
            ("-.25", -0.25),
            ("00000000000000000000000.5", 0.5),
            ("1e22", 1e22),
            ("1E+2", 100.0),
            ("5.e-1", 0.5),
            ("a", 0.0),
            ("\t1", 0.0),
            ("1_0", 0.0),
            ("0x10", 0.0),
            ("--1", 0.0),
            ("1.2.3", 0.0),
            ("1e", 0.0),
            ("e5", 0.0),
            ("infinit", 0.0),
            ("nan(1)", 0.0),
            ("", 0.0),
            ("\u0661", 0.0),
            ("1 2", 0.0),
            ("1.5x", 0.0),
            ("0x1p3", 0.0),
            ("1e+", 0.0),
            ("+-1", 0.0),
            ("1.5\x00", 0.0),
        ],
    )
    def test_strict_and_correctly_rounded(self, text, value):
        (point,), _ = points_and_faces(f"#1=IFCCARTESIANPOINT((0,0,{text}));\n#2=IFCPOLYLOOP((#1,#1,#1));")
        assert repr(point[2]) == repr(value)

    def test_nan(self):
        (point,), _ = points_and_faces("#1=IFCCARTESIANPOINT((nan,NaN,-nan));\n#2=IFCPOLYLOOP((#1,#1,#1));")
        assert all(math.isnan(c) for c in point)

    @pytest.mark.parametrize("longest, exponent", [(800, True), (25, False), (25, True)])
    def test_digit_strings_round_correctly(self, longest, exponent):
        rng = random.Random(5)
        for _ in range(300):
            digits = "".join(rng.choice("0123456789") for _ in range(rng.randint(1, longest)))
            point = rng.randint(0, len(digits))
            text = f"{rng.choice(['', '-'])}{digits[:point]}.{digits[point:]}".rstrip(".")
            if exponent:
                text += f"e{rng.randint(-700, 400)}"
            (p,), _ = points_and_faces(f"#1=IFCCARTESIANPOINT(({text},0,0));\n#2=IFCPOLYLOOP((#1,#1,#1));")
            assert repr(p[0]) == repr(coordinate(text)), text


class TestForwardReferences:
    """A loop may come before the points it names: the file orders entities freely."""

    def test_loop_before_its_points(self):
        text = "\n".join(TRIANGLE[3:] + TRIANGLE[:3])
        assert points_and_faces(text) == ([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [[0, 1, 2]])

    def test_later_point_uses_its_first_definition(self):
        text = "\n".join(
            [
                "#4=IFCPOLYLOOP((#1,#2,#3,#8));",
                "#1=IFCCARTESIANPOINT((1.,1.,1.));",
                "#2=IFCCARTESIANPOINT((2.,2.,2.));",
                "#1=IFCCARTESIANPOINT((9.,9.,9.));",
                "#3=IFCCARTESIANPOINT((3.,3.,3.));",
                "#5=IFCPOLYLOOP((#3,#1,#6));",
                "#6=IFCCARTESIANPOINT((6.,6.,6.));",
                "#6=IFCCARTESIANPOINT((7.,7.,7.));",
            ]
        )
        assert points_and_faces(text) == ([(1, 1, 1), (2, 2, 2), (3, 3, 3), (6, 6, 6)], [[0, 1, 2], [2, 0, 3]])

    def test_numbers_never_defined_take_no_vertex(self):
        text = "\n".join(
            [
                "#4=IFCPOLYLOOP((#1,#9,#2,#3));",
                "#5=IFCPOLYLOOP((#9,#1,#8,#2));",
                "#1=IFCCARTESIANPOINT((1.,1.,1.));",
                "#2=IFCCARTESIANPOINT((2.,2.,2.));",
                "#3=IFCCARTESIANPOINT((3.,3.,3.));",
                "#6=IFCPOLYLOOP((#3,#8,#7,#9,#2));",
                "#7=IFCCARTESIANPOINT((7.,7.,7.));",
            ]
        )
        assert points_and_faces(text) == ([(1, 1, 1), (2, 2, 2), (3, 3, 3), (7, 7, 7)], [[0, 1, 2], [2, 3, 1]])

    def test_earlier_definition_wins_over_a_later_one(self):
        text = "#1=IFCCARTESIANPOINT((1.,0.,0.));\n#9=IFCPOLYLOOP((#1,#1,#1));\n#1=IFCCARTESIANPOINT((5.,0.,0.));"
        assert points_and_faces(text) == ([(1, 0, 0)], [[0, 0, 0]])


# --- real-looking files --------------------------------------------------------

HEADER = [
    "ISO-10303-21;",
    "HEADER;",
    "FILE_DESCRIPTION(('ViewDefinition [CoordinationView]'),'2;1');",
    "FILE_NAME('room.ifc','2024-03-01T10:00:00',('Architect'),('Office'),'Modeller 7','Exporter 2.1','');",
    "FILE_SCHEMA(('IFC2X3'));",
    "ENDSEC;",
    "DATA;",
    "#1=IFCPERSON($,$,'',$,$,$,$,$);",
    "#5=IFCSIUNIT(*,.LENGTHUNIT.,.MILLI.,.METRE.);",
    "#9=IFCDIRECTION((0.,0.,1.));",
    "#10=IFCAXIS2PLACEMENT3D(#11,#9,$);",
    "#11=IFCCARTESIANPOINT((0.,0.,0.));",
]
FOOTER = ["ENDSEC;", "END-ISO-10303-21;", ""]


def faceted_cube(origin, size, first, loops_first=False):
    """The records of a faceted brep box; entity numbers start at `first`."""
    corners = [
        (origin[0] + dx * size, origin[1] + dy * size, origin[2] + dz * size)
        for dz in (0, 1)
        for dy in (0, 1)
        for dx in (0, 1)
    ]
    points = [f"#{first + i}=IFCCARTESIANPOINT(({x:.4f},{y:.4f},{z:.4f}));" for i, (x, y, z) in enumerate(corners)]
    quads = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]
    loops, faces = [], []
    for k, quad in enumerate(quads):
        n = first + 8 + 3 * k
        loops.append(f"#{n}=IFCPOLYLOOP(({','.join(f'#{first + q}' for q in quad)}));")
        loops.append(f"#{n + 1}=IFCFACEOUTERBOUND(#{n},.T.);")
        loops.append(f"#{n + 2}=IFCFACE((#{n + 1}));")
        faces.append(f"#{n + 2}")
    shell = [f"#{first + 26}=IFCCLOSEDSHELL(({','.join(faces)}));", f"#{first + 27}=IFCFACETEDBREP(#{first + 26});"]
    return (loops + points if loops_first else points + loops) + shell


class TestRealFiles:
    def test_faceted_breps_with_mixed_records_and_crlf(self):
        body = faceted_cube((0, 0, 0), 3000, 100) + faceted_cube((3000, 0, 0), 3000, 200, loops_first=True)
        text = "\r\n".join(HEADER + body + FOOTER)
        mesh = parse(text)
        assert len(mesh.vertices) == 16 and len(mesh.faces) == 12
        assert mesh.faces[0] == [0, 1, 2, 3] and mesh.faces[6] == [8, 9, 10, 11]
        assert mesh_points(mesh)[:2] == [(0, 0, 0), (0, 3000, 0)]
        assert read(text) == reference_read(text)

    @pytest.mark.parametrize("size", [1 << 16, 1 << 17])
    def test_records_cut_anywhere(self, size):
        """A long text is read in pieces; a record across a cut reads whole,
        after characters of one byte or of several."""
        record = "\u3000#12=IFCCARTESIANPOINT((1.5,-2.25,3.)); \r"
        for filler in ("x", "\u00e9", "\U0001f3e0"):
            for shift in range(len(record) + 2):
                text = filler * (size - shift - 1) + "\n" + record + "\n#13=IFCPOLYLOOP((#12,#12,#12));"
                assert points_and_faces(text) == ([(1.5, -2.25, 3)], [[0, 0, 0]]), (filler, shift)

    def test_many_loops_over_shared_points(self):
        rng = random.Random(11)
        lines = HEADER + [
            f"#{i}=IFCCARTESIANPOINT(({rng.uniform(-1e4, 1e4)!r},{rng.uniform(-1e4, 1e4)!r},{rng.random()!r}));"
            for i in range(12, 512)
        ]
        lines += [
            f"#{1000 + k}=IFCPOLYLOOP(({','.join(f'#{rng.randrange(12, 600)}' for _ in range(rng.randint(3, 8)))}));"
            for k in range(2000)
        ]
        text = "\n".join(lines + FOOTER)
        assert read(text) == reference_read(text)


# --- randomised cross-check ----------------------------------------------------

COORDINATES = [
    "0.",
    "1.",
    "-2.5",
    ".5",
    "5.",
    "1.5E-3",
    "-0.",
    "1e400",
    "nan",
    "INF",
    " 3 ",
    "\t4",
    "a",
    ";;7.;",
    "",
    "1..",
    "+.25",
    "12345678901234567890.5",
]
SPACES = [" ", "\t", "\u3000", "\xa0", "\x1c", "\u200b"]


def random_line(rng, spread=1):
    """Mostly well-formed records, each part spoilt now and then; entity
    numbers are multiples of `spread` (large spreads leave wide gaps)."""

    def usually(good, *spoilt):
        return rng.choice(spoilt) if rng.random() < 0.08 else good

    def num():
        return usually(
            str(rng.randint(0, 30) * spread),
            f"+{rng.randint(0, 30) * spread}",
            f"0{rng.randint(0, 30)}",
            "-3",
            "x",
            "",
            "99999999999999999999",
            "9999999999999999999",
            f"{rng.randint(0, 30):021d}",
            f"{rng.randint(0, 30)} ",
        )

    def tail():  # after the closing brackets; a keyword there still counts
        return usually("", " IFCCARTESIANPOINT", " IFCPOLYLOOP((#1,#2,#3))", ",(#4))", ")")

    def space():
        return rng.choice(SPACES) if rng.random() < 0.15 else ""

    kind = rng.random()
    if kind < 0.45:
        coords = ",".join(
            rng.choice(COORDINATES) if rng.random() < 0.3 else repr(rng.uniform(-9, 9)) for _ in range(usually(3, 2, 4))
        )
        body = (
            usually("IFCCARTESIANPOINT", "ifccartesianpoint", "IFCCARTESIANPOINTLIST3D")
            + f"(({coords}))"
            + tail()
            + usually(";", ");", "", "))")
        )
    elif kind < 0.9:
        refs = ",".join(space() + usually("#", "", "##") + num() + space() for _ in range(rng.randint(0, 7)))
        body = (
            usually("IFCPOLYLOOP", "IFCPOLYLOOPX", "ifcpolyloop")
            + usually(f"(({refs}))", f"({refs})", f"))({refs}((", f"(({refs}")
            + tail()
            + ";"
        )
    elif kind < 0.95:
        body = rng.choice(
            [
                "IFCFACE((#3));",
                "IFCDIRECTION((0.,0.,1.));",
                "=",
                "((#1,#2,#3))",
                "IFCCARTESIANPOINT IFCPOLYLOOP((#1,#2,#3))",
                "IFCLABEL('#1=IFCCARTESIANPOINT((1.,2.,3.));');",
                "IFCPROPERTYSINGLEVALUE('#7;',$,IFCLABEL('((1,2,3))'),$);",
            ]
        )
    else:  # the rules know no comments: one is a line like any other
        return "/* " + random_line(rng, spread) + " */"
    return (
        space()
        + usually("#", "", "##")
        + space()
        + num()
        + space()
        + usually("=", " = ", "")
        + body
        + space()
        + usually("", "\r")
    )


class TestAgainstReference:
    @pytest.mark.parametrize("seed", range(20))
    @pytest.mark.parametrize("spread", [1, 200, 10**12])
    def test_random_texts(self, seed, spread):
        rng = random.Random(seed)
        text = "\n".join(random_line(rng, spread) for _ in range(rng.randint(0, 400)))
        assert read(text) == reference_read(text)

    @needs_probe
    @pytest.mark.parametrize("piece_length", [1, 2, 3, 5, 8, 13, 64, 1000])
    def test_texts_read_in_pieces(self, piece_length):
        """Pieces cut anywhere, inside a line, a number or a character, read
        as the whole text does."""
        for seed in range(6):
            rng = random.Random(seed)
            text = "\n".join(random_line(rng, 1 + seed % 3 * 100) for _ in range(rng.randint(0, 300)))
            vertices, faces = probe.ifc_in_pieces(text, piece_length)
            assert (exact_points(vertices), faces) == read(text)

    @pytest.mark.parametrize("seed", range(2))
    def test_long_random_texts(self, seed):
        rng = random.Random(seed)
        text = "\n".join(random_line(rng, 1 + seed * 10**6) for _ in range(25_000))
        assert read(text) == reference_read(text)


# --- bad input -----------------------------------------------------------------


class TestBadInput:
    def test_empty_and_blank_text(self):
        for text in ["", "\n\n\n", "   ", "#", "#=", "=#"]:
            assert points_and_faces(text) == ([], [])

    @pytest.mark.parametrize("seed", range(5))
    def test_binary_noise(self, seed):
        rng = random.Random(seed)
        noise = bytes(rng.randrange(256) for _ in range(200_000)).decode("latin-1")
        salted = noise.replace("\xff", "#1=IFCCARTESIANPOINT((").replace("\xfe", "#2=IFCPOLYLOOP((#1,#2,#1,")
        for text in (noise, salted, noise + "\n" + "\n".join(TRIANGLE)):
            assert isinstance(parse(text), Mesh)
        assert read(salted) == reference_read(salted)

    def test_nul_characters(self):
        text = "\n".join(TRIANGLE).replace("0.,0.,0.", "0.,\x000.,0.").replace("#2,", "#2\x00,")
        assert points_and_faces(text) == ([(0, 0, 0), (0, 1, 0)], [])
        assert points_and_faces("\x00\n" + "\n".join(TRIANGLE) + "\x00") == (
            [(0, 0, 0), (1, 0, 0), (0, 1, 0)],
            [[0, 1, 2]],
        )

    def test_huge_numbers(self):
        huge = "9" * 100_000
        text = f"#{huge}=IFCCARTESIANPOINT((1.,1.,1.));\n#1=IFCCARTESIANPOINT(({huge},-{huge}.{huge},1e{huge}));\n#2=IFCPOLYLOOP((#1,#{huge},#1,#1));"
        assert points_and_faces(text) == ([(math.inf, -math.inf, math.inf)], [[0, 0, 0]])

    def test_megabyte_lines(self):
        long_loop = "#9=IFCPOLYLOOP((" + ",".join(["#1", "#2", "#3"] * 400_000) + "));"
        junk = "#8=" + "((" * 500_000 + "IFCPOLYLOOP" + "))" * 500_000
        spaces = "#7=IFCCARTESIANPOINT((" + " " * 2_000_000 + "1" + " " * 2_000_000 + ",2,3));"
        mesh = parse("\n".join(TRIANGLE[:3] + [junk, spaces, long_loop]))
        assert len(mesh.faces) == 1 and len(mesh.faces[0]) == 1_200_000
        assert mesh_points(parse(spaces + "\n#1=IFCPOLYLOOP((#7,#7,#7));")) == [(1, 2, 3)]

    def test_millions_of_references(self):
        refs = ",".join(f"#{i}" for i in range(1, 2_000_001))
        mesh = parse("#5=IFCCARTESIANPOINT((1.,2.,3.));\n#1=IFCPOLYLOOP((" + refs + "));")
        assert mesh.faces == [] and mesh_points(mesh) == [(1, 2, 3)]

    @pytest.mark.parametrize("before", [33, 70_000, (1 << 16) - 1, (1 << 17) - 2])
    def test_surrogates_raise_unicode_encode_error(self, before):
        """As the whole text's encoding fails, wherever they stand."""
        text = ("#1=IFCCARTESIANPOINT((0.,0.,0.));\n" * before)[:before] + "\ud800\udfff\ud801\n" + "\n".join(TRIANGLE)
        with pytest.raises(UnicodeEncodeError) as info:
            parse(text)
        with pytest.raises(UnicodeEncodeError) as encoding:
            text.encode()
        assert (str(info.value), info.value.start, info.value.end) == (
            str(encoding.value),
            encoding.value.start,
            encoding.value.end,
        )
        assert_noted(info.value, "ifc_content")

    @pytest.mark.parametrize(
        "value, text",
        [
            (b"#1=", "'bytes' object is not an instance of 'str'"),
            (["#1="], "'list' object is not an instance of 'str'"),
            (None, "'None' is not an instance of 'str'"),
        ],
    )
    def test_only_str_is_accepted(self, value, text):
        with pytest.raises(TypeError) as info:
            parse(value)
        assert str(info.value) == text
        assert_noted(info.value, "ifc_content")


class TestInterface:
    def test_class_without_instances(self):
        with pytest.raises(TypeError, match=r"^cannot create 'builtins\.IfcParser' instances$"):
            IfcParser()
        assert (
            IfcParser.__doc__
            == "Native IFC Parser Engine. Parses points and wire loops directly inside C++ with O(N) performance."
        )
        assert IfcParser.__text_signature__ is None

    def test_static_method(self):
        method = IfcParser.parse_ifc_points_and_faces
        assert method.__text_signature__ == "(ifc_content)"
        assert method.__doc__ == "Extracts coordinate data and creates a compiled Mesh from raw IFC text streams."
        assert method(ifc_content="\n".join(TRIANGLE)).faces == [[0, 1, 2]]
        with pytest.raises(TypeError, match="missing 1 required positional argument: 'ifc_content'"):
            method()


# --- element solids ---------------------------------------------------------------

# A room extruded 3.5 m from a 4 x 3 rectangle (in millimetres) placed 10 m
# along x, and a column of a boolean.
ELEMENTS = """
#1=IFCGEOMETRICREPRESENTATIONCONTEXT($,'Model',3,1.E-05,#4,$);
#2=IFCCARTESIANPOINT((10000.,0.,0.));
#3=IFCCARTESIANPOINT((0.,0.,0.));
#4=IFCAXIS2PLACEMENT3D(#3,$,$);
#5=IFCLOCALPLACEMENT($,#6);
#6=IFCAXIS2PLACEMENT3D(#2,$,$);
#7=IFCDIRECTION((0.,0.,1.));
#8=IFCRECTANGLEPROFILEDEF(.AREA.,$,#9,4000.,3000.);
#9=IFCAXIS2PLACEMENT2D(#10,$);
#10=IFCCARTESIANPOINT((2000.,1500.));
#11=IFCEXTRUDEDAREASOLID(#8,#4,#7,3500.);
#12=IFCSHAPEREPRESENTATION(#1,'Body','SweptSolid',(#11));
#13=IFCPRODUCTDEFINITIONSHAPE($,$,(#12));
#14=IFCSPACE('0aaaaaaaaaaaaaaaaaaaaa',$,'room',$,$,#5,#13,$,.ELEMENT.,.INTERNAL.,$);
#20=IFCBOOLEANCLIPPINGRESULT(.DIFFERENCE.,#11,#11);
#21=IFCSHAPEREPRESENTATION(#1,'Body','Clipping',(#20));
#22=IFCPRODUCTDEFINITIONSHAPE($,$,(#21));
#23=IFCCOLUMN('0bbbbbbbbbbbbbbbbbbbbb',$,'column',$,$,#5,#22,$,$);
"""


def solids(text=ELEMENTS, elements=(14, 23), metres=0.001, weld=1e-5, faces=None):
    return IfcParser.element_solids(text.encode(), list(elements), metres, weld, faces)


def test_element_solids_are_made_in_metres_where_they_stand_and_left_to_the_engine_otherwise():
    room, column = solids()
    vertices, _ = room.to_arrays()
    assert vertices.min(axis=0).tolist() == [10.0, 0.0, 0.0] and vertices.max(axis=0).tolist() == [14.0, 3.0, 3.5]
    assert len(room.faces) == 6 and column is None  # six faces facing out; a boolean is the engine's
    assert solids(elements=[99, 13]) == [None, None]  # no such record; not an element
    # Standing (taller than its plan is wide), an opening keeps the four upright faces; a flight its top.
    assert len(solids(elements=[14], faces=["opening"])[0].faces) == 4
    treads = solids(elements=[14], faces=["treads"])[0]
    assert len(treads.faces) == 1 and treads.face_normals().tolist() == [[0.0, 0.0, 1.0]]


@pytest.mark.parametrize(
    "arguments, error",
    [
        ({"metres": 0.0}, "metres_per_unit must be a positive number."),
        ({"weld": math.nan}, "weld must be a positive number."),
        ({"faces": ["all"]}, "faces must name what each element keeps, one per element."),
        ({"faces": ["all", "walls"]}, "faces holds 'walls'; each must be 'all', 'opening' or 'treads'."),
    ],
)
def test_element_solids_refuse_what_they_cannot_use(arguments, error):
    with pytest.raises(ValueError, match=error.replace("(", r"\(").replace(".", r"\.")):
        solids(**arguments)
    with pytest.raises(TypeError):
        IfcParser.element_solids(ELEMENTS, [14], 1.0, 1e-5)  # the text as bytes, not str
