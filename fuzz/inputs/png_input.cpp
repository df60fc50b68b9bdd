// PNG thickness maps: refused with the file's name and the image untouched,
// or decoded into linear values that sample within [0, 1].
#include <png/grey_image.h>
#include <png/png_grey_reader.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "fuzz/inputs/input_checks.h"

namespace nacrelle::fuzzing {
namespace {

constexpr const char* kInputName = "input.png";

bool InUnitRange(float value) { return value >= 0.0f && value <= 1.0f; }

}  // namespace

Finding CheckPngBytes(std::span<const std::uint8_t> bytes) {
    standin::GreyImage image;
    image.width = 7;  // a marker: a refusal must leave the image as it was
    std::string error;
    if (!standin::DecodePngGrey(bytes, kInputName, image, error)) {
        if (error.rfind(kInputName, 0) != 0) return "refusal not naming the file: " + error;
        if (image.width != 7 || image.height != 0 || !image.pixels.empty()) {
            return "a refusal changed the image: " + error;
        }
        return {};
    }
    if (!error.empty()) return "success with an error message: " + error;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height ||
        image.pixels.size() > standin::kMaxGreyImagePixels) {
        return "decoded a " + std::to_string(image.width) + " x " + std::to_string(image.height) +
               " image holding " + std::to_string(image.pixels.size()) + " values";
    }
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        if (!InUnitRange(image.pixels[i])) {
            return "pixel " + std::to_string(i) + " decodes to " + std::to_string(image.pixels[i]);
        }
    }
    // Edges, centres, far tiles and non-finite coordinates.
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr std::array<std::array<float, 2>, 7> kCoordinates = {{
        {0.0f, 0.0f},
        {0.5f, 0.5f},
        {0.999999f, 1.0f},
        {-2.25f, 7.75f},
        {1e7f, -1e7f},
        {kInfinity, 0.5f},
        {kNaN, kNaN},
    }};
    for (const auto& [u, v] : kCoordinates) {
        const float value = standin::SampleBilinearTiled(image, u, v);
        if (!InUnitRange(value)) {
            return "sampling at (" + std::to_string(u) + ", " + std::to_string(v) + ") gives " +
                   std::to_string(value);
        }
    }
    return {};
}

}  // namespace nacrelle::fuzzing
