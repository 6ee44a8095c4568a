// Which face the text box shows a report in, as text only.
#pragma once

#include <string_view>

enum class BoxFace {
    // The box's own raster face.
    Raster,
    // A fixed-pitch TrueType face, which the system's font linking completes.
    TrueType,
};

// The raster face while every character of the report lies in its code
// page, for it has no fallback of its own; else the TrueType face.
BoxFace ChooseBoxFace(std::u16string_view report, unsigned rasterCodePage);
