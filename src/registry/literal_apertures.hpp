// The aperture step as plainly written: every face of every aperture, its
// plane computed anew, for every contact region. The reference that the
// aperture index must agree with.
#pragma once

#include <vector>

#include "registry/cell_contacts.hpp"

namespace velmarin {

class LiteralApertures final : public ApertureCut {
public:
    LiteralApertures(const std::vector<Mesh>& apertures, double tolerance)
        : apertures_(apertures), tolerance_(tolerance) {}

    std::optional<MultiPolygon2D> cut(const MultiPolygon2D& region, const ContactFace& face,
                                      std::vector<ApertureTake>* takes) const override;

private:
    const std::vector<Mesh>& apertures_;
    double tolerance_;
};

}  // namespace velmarin
