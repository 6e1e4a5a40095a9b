// IfcParser.
#include "ifc/binding.hpp"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "binding/declare.hpp"
#include "binding/released_lock.hpp"
#include "geometry/binding.hpp"
#include "ifc/aperture_faces.hpp"
#include "ifc/element_solids.hpp"
#include "ifc/model_products.hpp"
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
constexpr Params model_solids_params{"IfcParser", "model_solids", "ifc_content", "types", "faces", "weld"};
constexpr Params model_products_params{"IfcParser", "model_products", "ifc_content", "schema", "types", "faces",
                                       "part_types", "weld"};
// clang-format on

// The faces an element keeps, by name.
Result<ifc::FacesKept> faces_named(const std::string& name) {
    if (name == "all") return ifc::FacesKept::All;
    if (name == "opening") return ifc::FacesKept::Opening;
    if (name == "treads") return ifc::FacesKept::Treads;
    return value_error("faces holds '" + name + "'; each must be 'all', 'opening' or 'treads'.");
}

// What each of so many elements keeps; all of it without names.
Result<std::vector<ifc::FacesKept>> faces_kept(const std::optional<std::vector<std::string>>& names,
                                               std::size_t elements, const char* what) {
    std::vector<ifc::FacesKept> kept(elements, ifc::FacesKept::All);
    if (!names) return kept;
    if (names->size() != elements) {
        return value_error(std::string("faces must name what each ") + what + " keeps, one per " + what + ".");
    }
    for (std::size_t k = 0; k < elements; ++k) {
        Result<ifc::FacesKept> named = faces_named((*names)[k]);
        if (!named.ok()) return named.error();
        kept[k] = named.value();
    }
    return kept;
}

Result<void> check_weld(double weld) {
    if (!(weld > 0.0) || !std::isfinite(weld)) return value_error("weld must be a positive number.");
    return {};
}

// A list of the meshes, None where there is none.
PyRef mesh_list(std::vector<std::optional<Mesh>> meshes) {
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(meshes.size())));
    if (!list) return {};
    for (std::size_t k = 0; k < meshes.size(); ++k) {
        PyObject* item = Converter<std::optional<Mesh>>::cast(std::move(meshes[k]));
        if (!item) return {};
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k), item);
    }
    return list;
}

// The arguments are plain values by the time the solids are made, and the
// text is held by the call: other Python threads run meanwhile.
Result<Made> element_solids(BytesView ifc_content, std::vector<std::uint64_t> elements, double metres_per_unit,
                            double weld, std::optional<std::vector<std::string>> faces) {
    if (!(metres_per_unit > 0.0) || !std::isfinite(metres_per_unit)) {
        return value_error("metres_per_unit must be a positive number.");
    }
    if (Result<void> checked = check_weld(weld); !checked.ok()) return checked.error();
    Result<std::vector<ifc::FacesKept>> kept = faces_kept(faces, elements.size(), "element");
    if (!kept.ok()) return kept.error();
    std::vector<std::optional<Mesh>> solids;
    {
        const ReleasedLock released;
        const ifc::StepRecords records(ifc_content.data);
        solids = ifc::element_solids(records, elements, kept.value(), metres_per_unit, weld);
    }
    return Made{mesh_list(std::move(solids))};
}

Result<Made> model_solids(BytesView ifc_content, std::vector<std::string> types, std::vector<std::string> faces,
                          double weld) {
    if (Result<void> checked = check_weld(weld); !checked.ok()) return checked.error();
    Result<std::vector<ifc::FacesKept>> kept = faces_kept(faces, types.size(), "type");
    if (!kept.ok()) return kept.error();
    std::vector<ifc::ElementType> element_types;
    for (std::size_t k = 0; k < types.size(); ++k) element_types.push_back({types[k], kept.value()[k]});
    std::optional<ifc::ModelSolids> model;
    {
        const ReleasedLock released;
        const ifc::StepRecords records(ifc_content.data);
        model = ifc::model_solids(records, element_types, weld);
    }
    if (!model) return Made{PyRef::borrow(Py_None)};
    PyRef metres = PyRef::steal(PyFloat_FromDouble(model->metres));
    PyRef elements = metres ? PyRef::steal(Converter<std::vector<std::uint64_t>>::cast(model->elements)) : PyRef();
    PyRef solids = elements ? mesh_list(std::move(model->solids)) : PyRef();
    if (!solids) return Made{};
    return Made{PyRef::steal(PyTuple_Pack(3, metres.get(), elements.get(), solids.get()))};
}

using IdentityTuple = std::tuple<std::string, std::string, std::string>;
using ProductTuple =
    std::tuple<std::uint64_t, std::string, std::string, std::string, std::string,
               std::optional<std::tuple<std::string, double>>, std::optional<IdentityTuple>, std::optional<Mesh>>;

// (number, global_id, type, name, long_name, storey, filling, solid).
ProductTuple product_tuple(ifc::ProductRecord&& product) {
    std::optional<std::tuple<std::string, double>> storey;
    if (product.storey) storey.emplace(std::move(product.storey->name), product.storey->elevation);
    std::optional<IdentityTuple> filling;
    if (product.filling) {
        filling.emplace(std::move(product.filling->global_id), std::string(product.filling->type),
                        std::move(product.filling->name));
    }
    ifc::Identity& identity = product.identity;
    return {product.number,           std::move(identity.global_id), std::string(identity.type),
            std::move(identity.name), std::move(product.long_name),  std::move(storey),
            std::move(filling),       std::move(product.solid)};
}

Result<Made> model_products(BytesView ifc_content, std::string schema, std::vector<std::string> types,
                            std::vector<std::string> faces, std::vector<std::string> part_types, double weld) {
    if (schema != "IFC2X3" && schema != "IFC4") return value_error("schema must be 'IFC2X3' or 'IFC4'.");
    if (Result<void> checked = check_weld(weld); !checked.ok()) return checked.error();
    Result<std::vector<ifc::FacesKept>> kept = faces_kept(faces, types.size(), "type");
    if (!kept.ok()) return kept.error();
    if (part_types.size() != types.size()) return value_error("part_types must hold one name for each type.");
    std::vector<ifc::ProductType> product_types;
    for (std::size_t k = 0; k < types.size(); ++k) product_types.push_back({types[k], kept.value()[k], part_types[k]});
    std::optional<ifc::ModelProducts> model;
    {
        const ReleasedLock released;
        const ifc::StepRecords records(ifc_content.data);
        model = ifc::model_products(records, product_types, schema == "IFC2X3", weld);
    }
    if (!model) return Made{PyRef::borrow(Py_None)};
    std::vector<ProductTuple> products;
    products.reserve(model->products.size());
    for (ifc::ProductRecord& product : model->products) products.push_back(product_tuple(std::move(product)));
    return Made{PyRef::steal(Converter<std::tuple<double, std::vector<ProductTuple>, std::string>>::cast(
        {model->metres, std::move(products), std::move(model->unclear)}))};
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
                static_method<model_solids, model_solids_params>(
                    "Returns (metres_per_unit, elements, solids) for an IFC text (bytes): its project's\n"
                    "length unit in metres, the step numbers of the records of the types named (in\n"
                    "capitals, as the text writes them; subtypes are types of their own), and each one's\n"
                    "solid as element_solids makes it, keeping the faces named for its type (faces: one\n"
                    "name for each type). None when the text gives no length unit that reads. The\n"
                    "interpreter lock is given up while the solids are made."),
                static_method<model_products, model_products_params>(
                    "Returns (metres_per_unit, products, unclear) for an IFC text (bytes) of the schema\n"
                    "('IFC2X3' or 'IFC4'): the products of the types named (in capitals; each type's by\n"
                    "step number, the types in the order given; where a type's part_types entry names a\n"
                    "type, only the products that aggregate none of it), each as (number, global_id,\n"
                    "type, name, long_name, storey, filling, solid): texts decoded, '' where unset; a\n"
                    "space's storey as (name, elevation in metres) or None; an opening's filling as\n"
                    "(global_id, type, name) or None; the solid as model_solids makes it (faces: one\n"
                    "name for each type), None for a product without a shape representation. unclear\n"
                    "names the first thing the records alone leave open ('' when nothing): a body only a\n"
                    "geometry engine makes, a loop or a missing record, a number long enough to be absurd,\n"
                    "a reference a geometry engine follows unchecked, a relation that does not read or\n"
                    "that a reader with the schema might take otherwise. Where it is not '', only the\n"
                    "numbers and solids are filled in. None when the text gives no length unit that\n"
                    "reads. The interpreter lock is given up while the records are read."),
            },
    });
    return def;
}

}  // namespace velmarin::binding
