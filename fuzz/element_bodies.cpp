// The bodies made from a model's records, on any text: every record number
// present (and a few that are not) is asked for its element's body, and each
// body made is a valid mesh of finite corners, every face of three or more,
// that the solid welding takes; nothing faults or runs away, however the
// records nest, loop or repeat. The whole model's solids, by type, are made
// too, their unit positive and finite; and its products read from the
// records, their texts valid UTF-8 and their storeys' elevations finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/fault.hpp"
#include "geometry/solid_faces.hpp"
#include "ifc/element_bodies.hpp"
#include "ifc/element_solids.hpp"
#include "ifc/model_products.hpp"
#include "ifc/step_records.hpp"

using namespace velmarin;

namespace {

// The welding cell the IFC companion gives the solids.
constexpr double weld = 1e-5;

// The numbers a text defines, read as the index reads them: `#` and digits
// at a statement's start. Asking for numbers never defined is harmless, so
// this need not agree with the index exactly.
std::vector<std::uint64_t> numbers_in(std::string_view text) {
    std::vector<std::uint64_t> numbers;
    for (std::size_t at = text.find('#'); at != std::string_view::npos; at = text.find('#', at + 1)) {
        std::uint64_t number = 0;
        std::size_t k = at + 1;
        for (; k < text.size() && k < at + 19 && text[k] >= '0' && text[k] <= '9'; ++k) {
            number = number * 10 + static_cast<std::uint64_t>(text[k] - '0');
        }
        if (k > at + 1) numbers.push_back(number);
    }
    return numbers;
}

void check_body(const Mesh& body) {
    // Valid: every face of three corners or more, each a vertex of the body.
    check(validate(body).ok(), "a body is not a valid mesh");
    for (const Vector3D& v : body.vertices) {
        check(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z), "a body has a corner not finite");
    }
    check(welded_solid_faces(body, weld).ok(), "the welding refuses a body");
}

bool is_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || at + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return false;
        }
        at += length;
    }
    return true;
}

void check_products(const ifc::StepRecords& records, bool ifc2x3) {
    const ifc::ProductType types[] = {{"IFCSPACE", ifc::FacesKept::All, ""},
                                      {"IFCOPENINGELEMENT", ifc::FacesKept::Opening, ""},
                                      {"IFCSTAIRFLIGHT", ifc::FacesKept::Treads, ""},
                                      {"IFCSTAIR", ifc::FacesKept::Treads, "IFCSTAIRFLIGHT"}};
    const std::optional<ifc::ModelProducts> model = ifc::model_products(records, types, ifc2x3, weld);
    if (!model) return;
    for (const ifc::ProductRecord& product : model->products) {
        if (product.solid) check(validate(*product.solid).ok(), "a product's solid is not a valid mesh");
        if (!model->unclear.empty()) continue;
        for (const std::string_view text :
             {std::string_view(product.identity.global_id), std::string_view(product.identity.name),
              std::string_view(product.long_name)}) {
            check(is_utf8(text), "a product's text is not UTF-8");
        }
        if (product.storey) {
            check(is_utf8(product.storey->name) && std::isfinite(product.storey->elevation), "a storey does not read");
        }
        check(!product.shaped || product.solid, "a product read with a body that was not made");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ifc::StepRecords records(text);
    // Models in millimetres as often as in metres.
    ifc::ElementBodies bodies(records, size % 2 == 0 ? 1.0 : 0.001);
    std::vector<std::uint64_t> asked = numbers_in(text);
    for (const std::uint64_t absent : {std::uint64_t{0}, std::uint64_t{1} << 40, ~std::uint64_t{0}}) {
        asked.push_back(absent);
    }
    for (const std::uint64_t element : asked) {
        if (const std::optional<Mesh> body = bodies.body(element)) check_body(*body);
    }
    const ifc::ElementType types[] = {
        {"IFCSPACE", ifc::FacesKept::All}, {"IFCDOOR", ifc::FacesKept::Opening}, {"IFCSTAIR", ifc::FacesKept::Treads}};
    if (const std::optional<ifc::ModelSolids> model = ifc::model_solids(records, types, weld)) {
        check(model->metres > 0 && std::isfinite(model->metres), "a model's unit is not a positive length");
        check(model->solids.size() == model->elements.size(), "a model's solids are not one an element");
        for (const std::optional<Mesh>& solid : model->solids) {
            if (solid) check(validate(*solid).ok(), "a model's solid is not a valid mesh");
        }
    }
    check_products(records, size % 3 == 0);
    return 0;
}
