#include <imtl.h>
#include <maps/viewport_textures.h>

#include "common/errors.h"
#include "app/render/render.h"

namespace nacrelle::tools {

namespace {

/// Turns the map's viewport display off again however the picture ends, as
/// the viewport does when the map leaves it.
struct ActiveTexDisplay {
    explicit ActiveTexDisplay(Texmap& map) : map(map) { map.ActivateTexDisplay(TRUE); }
    ~ActiveTexDisplay() { map.ActivateTexDisplay(FALSE); }
    ActiveTexDisplay(const ActiveTexDisplay&) = delete;
    ActiveTexDisplay& operator=(const ActiveTexDisplay&) = delete;
    Texmap& map;
};

}  // namespace

Image renderViewport(Texmap& map, TimeValue t, int size) {
    if (!map.SupportTexDisplay()) {
        throw Failure("the map has no viewport display (its SupportTexDisplay is FALSE)");
    }
    standin::ViewportTextures viewport(size);
    const ActiveTexDisplay active(map);
    const standin::ViewportPicture* picture =
        viewport.Picture(map.GetActiveTexHandle(t, viewport));
    if (picture == nullptr) throw Failure("the map made no viewport texture");
    Image image(picture->width, picture->height, Image::Unfilled{});
    const std::uint8_t* byte = picture->rgba.data();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x, byte += 4) {
            image.at(x, y) = {byte[0] / 255.0f, byte[1] / 255.0f, byte[2] / 255.0f, 1.0f};
        }
    }
    return image;
}

}  // namespace nacrelle::tools
