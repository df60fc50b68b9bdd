// What the fuzz targets check for each input, shared with the regression
// tests that replay the seed corpus and every input a fuzzer ever failed on.
// Each check feeds the bytes to one reader of outside input and returns a
// finding: empty when the reader behaved, otherwise what went wrong. Memory
// errors, leaks and undefined behaviour are left to the sanitizers; an
// exception of an unexpected type escapes to the caller.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace nacrelle::fuzzing {

/// Empty when every check held; otherwise why not.
using Finding = std::string;

/// Loads the plug-in module for the rest of the process, so that scene files
/// can hold its maps and command-line values can be applied to one. Loading
/// it again is harmless; a module that cannot be loaded throws.
void UseModule(const std::filesystem::path& module);

/// A scene file. A refusal must name the file and a byte offset inside it; a
/// scene that loads must evaluate without NaN, save again, and load from
/// those bytes to the very same bytes.
Finding CheckSceneBytes(std::span<const std::uint8_t> bytes);

/// A compiled-resource (.res) image: its string tables and dialog templates.
/// A refusal must give an offset inside the image; every string of an image
/// that parses must load through LoadStringW into buffers of any size, cut
/// and terminated.
Finding CheckResourceImage(std::span<const std::uint8_t> bytes);

/// A PNG thickness map. A refusal must start with the file's name and leave
/// the image alone; an image that decodes must hold width x height values in
/// [0, 1] and sample to values in [0, 1].
Finding CheckPngBytes(std::span<const std::uint8_t> bytes);

/// Command-line map options, one per line: "set NAME=VALUE", "key
/// NAME@FRAME=VALUE", "mapset NAME=VALUE" (a noise thickness map's
/// parameter), "output NAME=VALUE", "usemap on|off", "frame N", "time N",
/// "number TEXT", "vector X,Y,Z"; a line without a known word is a "set".
/// Malformed text must be a usage error; accepted values must lie in their
/// parameters' ranges, and the map must then evaluate to colours in [0, 1].
Finding CheckCommandValues(std::span<const std::uint8_t> bytes);

/// Values stored in the map's block as a script or a scene file may store
/// them, five bytes each: a parameter (the byte modulo the block's twelve
/// value parameters: the eight floats, the map switch, the three optics
/// options) and its value's four bytes, little-endian (a float's bits or a
/// 32-bit integer). The map, with a gradient thickness map plugged in, is
/// updated and evaluated: every colour in [0, 1], and the same on two
/// threads at once as on one.
Finding CheckBlockValues(std::span<const std::uint8_t> bytes);

/// Requests to the studio, separated by lines "====": "METHOD TARGET",
/// header lines, a blank line and the body; the token and Host are added
/// unless given. Every answer must be 200 or 4xx, a refusal must carry a
/// message, a picture must be a PNG, and no control may show a value
/// outside its range. Files go to a scratch folder of the process.
Finding CheckStudioRequests(std::span<const std::uint8_t> bytes);

}  // namespace nacrelle::fuzzing
