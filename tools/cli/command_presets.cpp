// `nacrelle presets` and `nacrelle gallery`.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/errors.h"
#include "app/render/parallel_rows.h"
#include "app/session/host_session.h"
#include "cli/image_output.h"
#include "cli/preset_commands.h"
#include "app/presets/presets.h"
#include "app/render/render.h"
#include "app/render/render_gallery.h"
#include "app/session/value_parser.h"

namespace nacrelle::tools {

namespace {

constexpr int kMinSwatch = 16;
constexpr int kMaxSwatch = 2048;
constexpr int kMaxColumns = 64;
constexpr int kMaxSheetSide = 16384;

std::string valuesText(const std::vector<PresetValue>& values) {
    std::string text;
    for (const PresetValue& v : values) {
        text += (text.empty() ? "" : "  ") + std::string(v.name) + "=" + formatNumber(v.value);
    }
    return text;
}

void printInFull(const Preset& preset) {
    std::printf("%.*s: %.*s\n", static_cast<int>(preset.name.size()), preset.name.data(),
                static_cast<int>(preset.description.size()), preset.description.data());
    std::printf("  set            %s\n", valuesText(preset.values).c_str());
    if (!preset.thicknessMap.empty()) {
        std::printf("  thickness map  %.*s  %s\n", static_cast<int>(preset.thicknessMap.size()),
                    preset.thicknessMap.data(), valuesText(preset.thicknessMapValues).c_str());
    }
    if (!preset.outputValues.empty())
        std::printf("  output         %s\n", valuesText(preset.outputValues).c_str());
    const std::pair<const char*, std::string_view> lines[] = {{"medium", preset.medium},
                                                              {"film", preset.film},
                                                              {"base", preset.base},
                                                              {"thickness", preset.thickness},
                                                              {"note", preset.note}};
    for (const auto& [label, text] : lines) {
        if (text.empty()) continue;
        std::printf("  %-13s  %.*s\n", label, static_cast<int>(text.size()), text.data());
    }
}

void checkGallery(const GalleryOptions& options) {
    if (options.swatchSize < kMinSwatch || options.swatchSize > kMaxSwatch) {
        throw BadValue("--swatch " + std::to_string(options.swatchSize) + " must lie between " +
                         std::to_string(kMinSwatch) + " and " + std::to_string(kMaxSwatch));
    }
    if (options.columns < 1 || options.columns > kMaxColumns) {
        throw BadValue("--columns " + std::to_string(options.columns) +
                         " must lie between 1 and " + std::to_string(kMaxColumns));
    }
    checkThreadCount(options.threads);
    const GallerySize size = gallerySize(options);
    if (size.width > kMaxSheetSide || size.height > kMaxSheetSide) {
        throw BadValue("the gallery would be " + std::to_string(size.width) + "x" +
                         std::to_string(size.height) + " pixels, more than " +
                         std::to_string(kMaxSheetSide) + " a side: use a smaller --swatch");
    }
}

}  // namespace

int runPresets(const PresetsCommand& command) {
    if (command.name) {
        const Preset& preset = findPreset(*command.name);
        if (command.json) {
            std::printf("%s\n", presetJson(preset).dump(2).c_str());
        } else {
            printInFull(preset);
        }
        return 0;
    }
    if (command.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Preset& preset : allPresets()) list.push_back(presetJson(preset));
        std::printf("%s\n", list.dump(2).c_str());
        return 0;
    }
    for (const Preset& preset : allPresets()) {
        std::printf("%-20.*s %.*s\n", static_cast<int>(preset.name.size()), preset.name.data(),
                    static_cast<int>(preset.description.size()), preset.description.data());
    }
    return 0;
}

int runGallery(const CommonOptions& common, const GalleryCommand& command) {
    checkGallery(command.options);  // usage errors before the module loads
    checkPngName(command.image.file);
    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    const Image sheet = renderGallery(session, command.options);
    writeImage(sheet, command.image.file, command.image.encoding(command.options.threads),
               command.image.policy());
    return 0;
}

CLI::Option* addPresetOption(CLI::App& app, MapOptions& map) {
    return app
        .add_option("--preset", map.preset,
                    "Start from a preset of a real coating; --set and the other options adjust "
                    "it (nacrelle presets lists them)")
        ->type_name("NAME");
}

void addPresetCommands(CLI::App& app, const CommonOptions& common, int& result) {
    auto presets = std::make_shared<PresetsCommand>();
    auto* presetsApp = app.add_subcommand("presets", "List the presets of real coatings");
    presetsApp->add_option("name", presets->name, "Show this preset in full, with its sources");
    presetsApp->add_flag("--json", presets->json, "Print JSON, every preset in full");
    presetsApp->callback([presets, &result] { result = runPresets(*presets); });

    auto gallery = std::make_shared<GalleryCommand>();
    auto* galleryApp =
        app.add_subcommand("gallery", "Render a contact sheet with a swatch of every preset");
    addImageOutputOptions(*galleryApp, gallery->image);
    galleryApp
        ->add_option("--swatch", gallery->options.swatchSize, "Swatch width and height in pixels")
        ->capture_default_str();
    galleryApp->add_option("--columns", gallery->options.columns, "Swatches per row")
        ->capture_default_str();
    galleryApp
        ->add_option("--threads", gallery->options.threads, "Render threads (0: one per core)")
        ->capture_default_str();
    galleryApp->callback([gallery, &common, &result] { result = runGallery(common, *gallery); });
}

}  // namespace nacrelle::tools
