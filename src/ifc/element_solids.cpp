#include "ifc/element_solids.hpp"

#include "core/fault.hpp"
#include "core/parallel_tasks.hpp"
#include "geometry/solid_faces.hpp"
#include "ifc/element_bodies.hpp"
#include "ifc/length_unit.hpp"

namespace velmarin::ifc {

std::vector<std::optional<Mesh>> element_solids(const StepRecords& records, std::span<const std::uint64_t> elements,
                                                std::span<const FacesKept> kept, double metres, double weld) {
    check(kept.size() == elements.size(), "element_solids: a kind of faces for every element");
    ElementBodies bodies(records, metres);
    std::vector<std::optional<Mesh>> made(elements.size());
    for (std::size_t k = 0; k < elements.size(); ++k) made[k] = bodies.body(elements[k]);
    return run_by_position<std::optional<Mesh>>(made.size(), [&](std::size_t k) -> std::optional<Mesh> {
        if (!made[k]) return std::nullopt;
        // The bodies' faces index their own corners: welding cannot fail.
        Result<Mesh> solid = welded_solid_faces(*made[k], weld);
        check(solid.ok(), "element_solids: a body that its welding refuses");
        return kept_faces(solid.value(), kept[k]);
    });
}

std::optional<ModelSolids> model_solids(const StepRecords& records, std::span<const ElementType> types, double weld) {
    const std::optional<double> metres = length_unit(records);
    if (!metres) return std::nullopt;
    ModelSolids model{*metres, {}, {}};
    std::vector<FacesKept> kept;
    for (const ElementType& type : types) {
        for (const std::uint64_t element : records.numbers_of(type.type)) {
            model.elements.push_back(element);
            kept.push_back(type.kept);
        }
    }
    model.solids = element_solids(records, model.elements, kept, *metres, weld);
    return model;
}

}  // namespace velmarin::ifc
