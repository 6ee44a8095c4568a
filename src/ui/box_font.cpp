#include "ui/box_font.h"

#include "common/code_page.h"

BoxFace ChooseBoxFace(std::u16string_view report, unsigned rasterCodePage) {
    return FitsCodePage(report, rasterCodePage) ? BoxFace::Raster : BoxFace::TrueType;
}
