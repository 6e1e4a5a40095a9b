// How the graph build searches. `Indexed` is the build's own; `Literal` is
// the plain algorithm (every aperture face for every contact, every triangle
// for every wire), kept so the tests can check that the two agree.
#pragma once

namespace velmarin {

enum class Search { Indexed, Literal };

}  // namespace velmarin
