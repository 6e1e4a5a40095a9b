// The point and direction record, and the linear element made of two of them.
// Plain values: every float is kept as given, NaN and -0.0 included.
#pragma once

namespace velmarin {

struct Vector3D {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct Wire {
    Vector3D start;
    Vector3D end;
};

}  // namespace velmarin
