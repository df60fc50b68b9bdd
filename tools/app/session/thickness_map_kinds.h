// The kinds of thickness map the program can plug into the map: the one table
// that the command line, `info`, the studio's server and its page read.
#pragma once

#include <iparamb2.h>

#include <span>
#include <string_view>

namespace nacrelle::tools {

struct ThicknessMapKind {
    const char* name;   ///< as typed: --thickness-map NAME, or NAME:FILE when it takes a PNG
    const char* label;  ///< as the studio's chooser shows it
    bool takesPng;      ///< reads a greyscale PNG file
    ClassDesc2* (*desc)();
};

/// Every kind, in the order they are listed.
std::span<const ThicknessMapKind> ThicknessMapKinds();

/// The kind named `name`, or null.
const ThicknessMapKind* FindThicknessMapKind(std::string_view name);

/// The kind of the map of class `id`, or null for a map of another class.
const ThicknessMapKind* ThicknessMapKindOf(const Class_ID& id);

}  // namespace nacrelle::tools
