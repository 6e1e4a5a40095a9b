// TopologicalEntity.
#include "graph/binding.hpp"

#include "binding/declare.hpp"

namespace velmarin::binding {

namespace {

TopologicalEntity make_entity(std::uint64_t id, std::string entity_type, std::optional<std::uint64_t> parent_id) {
    return {id, std::move(entity_type), parent_id};
}
constexpr Params entity_new{"TopologicalEntity", "__new__", "id", "entity_type", "parent_id"};

}  // namespace

template <>
const ClassDef& class_def<TopologicalEntity>() {
    static const ClassDef def = define_class<TopologicalEntity>({
        .name = "TopologicalEntity",
        .sentence = "Represents any entity inside the topological hierarchy.",
        .constructor = constructor<make_entity, entity_new>(),
        .properties =
            {
                field<&TopologicalEntity::id>("id"),
                field<&TopologicalEntity::entity_type>("entity_type"),
                field<&TopologicalEntity::parent_id>("parent_id"),
            },
    });
    return def;
}

}  // namespace velmarin::binding
