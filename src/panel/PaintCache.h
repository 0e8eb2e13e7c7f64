#pragma once

#include "panel/ShapedTexts.h"
#include "panel/SymbolImages.h"
#include "panel/raster/Rasterizer.h"

namespace trovimo {

// Everything painting keeps from one paint to the next: the pixel code's layers and graph
// tracks, the tinted symbols and the shaped texts. The owner (the panel's view) drops the
// lot when the palette or the scale changes: nothing made for the old look is drawn or kept
// after it. Whatever paints without a view (a snapshot, a benchmark) keeps one of its own.
struct PaintCache {
    Rasterizer raster;
    SymbolImages symbols;
    ShapedTexts texts;

    void clear() {
        raster.clear();
        symbols = SymbolImages();
        texts = ShapedTexts();
    }
};

} // namespace trovimo
