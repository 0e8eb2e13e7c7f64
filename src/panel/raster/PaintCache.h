#pragma once

#include "panel/ShapedTexts.h"
#include "panel/raster/ShapeLayer.h"
#include "panel/raster/SparklineRaster.h"
#include "panel/raster/SymbolImages.h"

namespace trovimo {

// Everything painting keeps from one paint to the next: the pixels the bars are written
// into, the graphs' tracks and buffers, the tinted symbols and the shaped texts. The owner
// (the panel's view) drops the lot when the palette or the scale changes: nothing made for
// the old look is drawn or kept after it. Whatever paints without a view (a snapshot, a
// benchmark) keeps one of its own.
struct PaintCache {
    ShapeLayer::Pixels shapes;
    SparklineImages sparklines;
    SymbolImages symbols;
    ShapedTexts texts;

    void clear() { *this = PaintCache(); }
};

} // namespace trovimo
