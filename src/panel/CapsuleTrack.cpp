#include "panel/CapsuleTrack.h"

#include "panel/Theme.h"

namespace trovimo {
namespace {

constexpr double trackOpacity = 0.5;

} // namespace

RoundedShape capsuleTrack(const QRectF& rect, const Theme& theme) {
    const double radius = rect.height() / 2.0;
    return {rect, radius, radius, theme.color(ColorRole::quaternary), trackOpacity};
}

} // namespace trovimo
