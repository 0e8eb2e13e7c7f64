#pragma once

#include <QColor>
#include <QRectF>

#include <span>

class QPainter;

namespace trovimo {

// A rounded rectangle in one colour: what the bars are made of. Radii larger than half the
// width or height are taken as half of it, as QPainter takes them.
struct RoundedShape {
    QRectF rect;
    double xRadius = 0.0;
    double yRadius = 0.0;
    QColor color;
    double opacity = 1.0; // times the colour's own alpha
};

// The shapes, back to front, each one antialiased drawRoundedRect: how the bars look.
void paintRoundedShapes(QPainter& painter, std::span<const RoundedShape> shapes);

} // namespace trovimo
