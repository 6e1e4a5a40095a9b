// IfcParser.
#include "ifc/binding.hpp"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "binding/declare.hpp"
#include "binding/released_lock.hpp"
#include "core/parallel_tasks.hpp"
#include "geometry/binding.hpp"
#include "geometry/solid_faces.hpp"
#include "ifc/aperture_faces.hpp"
#include "ifc/element_bodies.hpp"
#include "ifc/reader.hpp"
#include "ifc/step_records.hpp"

namespace velmarin::binding {

namespace {

constexpr Params parse_params{"IfcParser", "parse_ifc_points_and_faces", "ifc_content"};

// Files run to hundreds of megabytes: the text is encoded and read piece by
// piece, never copied whole.
Result<Made> parse_points_and_faces(Utf8Pieces ifc_content) {
    ifc::PointsAndLoopsReader reader(ifc_content.length());
    if (!ifc_content.read_all([&](std::string_view piece) { reader.read(piece); }, parse_params.names[0]))
        return Made{};
    Result<Mesh> mesh = std::move(reader).finish();
    if (!mesh.ok()) return mesh.error();
    return Made{PyRef::steal(Converter<Mesh>::cast(std::move(mesh).value()))};
}

// clang-format off
constexpr Params element_solids_params{"IfcParser", "element_solids", "ifc_content", "elements", "metres_per_unit",
                                       "weld", DefaultsToNone{"faces"}};
// clang-format on

// What each element keeps of its solid, by name; all of it without names.
Result<std::vector<ifc::FacesKept>> faces_kept(const std::optional<std::vector<std::string>>& names,
                                               std::size_t elements) {
    std::vector<ifc::FacesKept> kept(elements, ifc::FacesKept::All);
    if (!names) return kept;
    if (names->size() != elements) return value_error("faces must name what each element keeps, one per element.");
    for (std::size_t k = 0; k < elements; ++k) {
        const std::string& name = (*names)[k];
        if (name == "opening") {
            kept[k] = ifc::FacesKept::Opening;
        } else if (name == "treads") {
            kept[k] = ifc::FacesKept::Treads;
        } else if (name != "all") {
            return value_error("faces holds '" + name + "'; each must be 'all', 'opening' or 'treads'.");
        }
    }
    return kept;
}

// The bodies are read one after the other (placements met once are kept
// for the elements after), then made into welded faces side by side.
Result<Made> element_solids(BytesView ifc_content, std::vector<std::uint64_t> elements, double metres_per_unit,
                            double weld, std::optional<std::vector<std::string>> faces) {
    if (!(metres_per_unit > 0.0) || !std::isfinite(metres_per_unit)) {
        return value_error("metres_per_unit must be a positive number.");
    }
    if (!(weld > 0.0) || !std::isfinite(weld)) return value_error("weld must be a positive number.");
    Result<std::vector<ifc::FacesKept>> kept = faces_kept(faces, elements.size());
    if (!kept.ok()) return kept.error();
    // The arguments are plain values now and the text is held by the call:
    // other Python threads may run while the solids are made.
    std::vector<std::optional<Result<Mesh>>> solids;
    {
        const ReleasedLock released;
        const ifc::StepRecords records(ifc_content.data);
        ifc::ElementBodies bodies(records, metres_per_unit);
        std::vector<std::optional<Mesh>> made(elements.size());
        for (std::size_t k = 0; k < elements.size(); ++k) made[k] = bodies.body(elements[k]);
        solids = run_by_position<std::optional<Result<Mesh>>>(
            made.size(), [&](std::size_t k) -> std::optional<Result<Mesh>> {
                if (!made[k]) return std::nullopt;
                Result<Mesh> solid = welded_solid_faces(*made[k], weld);
                if (!solid.ok()) return solid;
                return ifc::kept_faces(solid.value(), kept.value()[k]);
            });
    }
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(solids.size())));
    if (!list) return Made{};
    for (std::size_t k = 0; k < solids.size(); ++k) {
        PyObject* item = nullptr;
        if (!solids[k]) {
            Py_INCREF(Py_None);
            item = Py_None;
        } else if (!solids[k]->ok()) {
            return solids[k]->error();
        } else {
            item = Converter<Mesh>::cast(std::move(*solids[k]).value());
            if (!item) return Made{};
        }
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k), item);
    }
    return Made{std::move(list)};
}

}  // namespace

template <>
const ClassDef& class_def<IfcParser>() {
    static const ClassDef def = define_class<IfcParser>({
        .name = "IfcParser",
        .sentence = "Native IFC Parser Engine. Parses points and wire loops directly inside C++ with O(N) performance.",
        .constructor = Constructor{},  // Python cannot construct it
        .methods =
            {
                static_method<parse_points_and_faces, parse_params>(
                    "Extracts coordinate data and creates a compiled Mesh from raw IFC text streams."),
                static_method<element_solids, element_solids_params>(
                    "Returns the body of each element (by its step number) of an IFC text (bytes) as a Mesh\n"
                    "of planar faces facing out, in world coordinates and metres (metres_per_unit: the\n"
                    "model's length unit), vertices welded in cells of weld; None for an element whose\n"
                    "body is not of the kinds made here (extrusions of polylines, rectangles and circles,\n"
                    "faceted breps, shell-based surface models, polygonal and triangulated face sets,\n"
                    "mapped shapes of those), which a geometry engine can make instead. The interpreter\n"
                    "lock is given up while the solids are made. faces (None: 'all' for\n"
                    "each) names what each element keeps: 'all', 'opening' (standing, the faces that are\n"
                    "not level, |n.z| <= 0.707; lying lower than its plan is wide, the level ones) or\n"
                    "'treads' (the faces with n.z > 0.707). A mesh without faces: nothing with an area\n"
                    "was kept. ValueError for a unit or weld that is not positive, or faces not so named."),
            },
    });
    return def;
}

}  // namespace velmarin::binding
