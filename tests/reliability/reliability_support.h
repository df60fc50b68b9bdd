// What the reliability tests share: the built module, scratch folders, small
// PNG thickness maps, and maps dressed the way users dress them.
#pragma once

#include <imtl.h>
#include <scene/scene.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace nacrelle::reliability {

/// The built Nacrelle.dlt.
std::filesystem::path ModulePath();

/// An empty folder of the test's own, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    /// The names of the files in the folder, sorted.
    std::vector<std::string> Listing() const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

/// Writes a width x height PNG whose pixel (x, y) is the grey level
/// `(x * 37 + y * 11) % 256` (sRGB-encoded, as image editors save it).
void WriteGreyPng(const std::filesystem::path& file, int width, int height);

/// Sets a parameter of `map` (or of its thickness map, with `onSubMap`) at
/// time t by script name, as the command line does; fails the test on refusal.
void SetParam(Texmap& map, const std::string& name, const std::string& value, TimeValue t = 0);
/// The same as a key at time t (animate mode).
void SetKey(Texmap& map, const std::string& name, const std::string& value, TimeValue t);

/// Plugs a new grey map of the built-in class `kind` ("noise", "gradient",
/// "bitmap:FILE" or "constant") into the map's thickness slot and switches it
/// on. Returns the sub-map.
Texmap& PlugThicknessMap(Texmap& map, const std::string& kind);

}  // namespace nacrelle::reliability
