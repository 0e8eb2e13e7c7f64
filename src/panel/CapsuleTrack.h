#pragma once

#include "panel/RoundedShape.h"

namespace trovimo {

class Theme;

// The empty track behind the capacity and segmented bars: a capsule in the quaternary
// colour at half opacity, under the fills drawn after it.
[[nodiscard]] RoundedShape capsuleTrack(const QRectF& rect, const Theme& theme);

} // namespace trovimo
