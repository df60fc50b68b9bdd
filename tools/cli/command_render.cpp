// `nacrelle render`: the map on a sample sphere, one image or one per frame.
#include <CLI/CLI.hpp>
#include <platform/atomic_file.h>
#include <platform/command_line.h>

#include <algorithm>
#include <map>
#include <memory>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/command_registration.h"
#include "cli/command_render.h"
#include "cli/preset_commands.h"
#include "common/errors.h"
#include "app/render/parallel_rows.h"
#include "app/session/host_session.h"
#include "cli/map_options.h"
#include "app/session/map_settings.h"
#include "app/render/progress_bar.h"
#include "app/render/render.h"
#include "cli/write_policy.h"

namespace nacrelle::tools {

namespace {

constexpr int kMaxImageSide = 16384;
// The progress bar counts in int.
constexpr long kMaxProgressSteps = 1L << 30;

struct FrameRange {
    long first, last;
};

FrameRange parseFrameRange(const std::string& text) {
    // A-B; the separator is the first '-' after the first character, so that
    // a negative first frame still reads.
    const std::size_t dash = text.find('-', 1);
    if (dash == std::string::npos) {
        throw BadValue("--frames \"" + text + "\" is not a range: expected FIRST-LAST");
    }
    const FrameRange range{parseInteger(text.substr(0, dash), "--frames"),
                           parseInteger(text.substr(dash + 1), "--frames")};
    if (range.last < range.first) {
        throw BadValue("--frames \"" + text + "\": the last frame comes before the first");
    }
    if (!isFrameInTimeRange(static_cast<double>(range.first)) ||
        !isFrameInTimeRange(static_cast<double>(range.last))) {
        throw BadValue("--frames \"" + text + "\" reaches outside the host's time range");
    }
    return range;
}

/// The files of a frame range: "swatch.png" and frame 7 give "swatch-0007.png".
/// Every number has the width of the widest (at least four digits), so that
/// the names sort as the frames do. A minus sign would not sort: a range that
/// reaches below frame 0 numbers its files from 0 at its first frame.
struct FrameFiles {
    std::string file;
    long offset = 0;  ///< file number minus frame
    int width = 4;

    FrameFiles(std::string name, FrameRange range) : file(std::move(name)) {
        if (range.first < 0) offset = -range.first;
        for (long widest = range.last + offset; widest >= 10000; widest /= 10) ++width;
    }
    std::string operator()(long frame) const;
};

std::string FrameFiles::operator()(long frame) const {
    char number[32];
    std::snprintf(number, sizeof number, "-%0*ld", width, frame + offset);
    const std::size_t dot = file.find_last_of('.');
    const std::size_t slash = file.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return file + number;
    }
    return file.substr(0, dot) + number + file.substr(dot);
}

Texmap& mapToRender(HostSession& session, const std::string& sceneFile) {
    if (sceneFile.empty()) return session.createMap();
    session.loadScene(standin::PathFromUtf8(sceneFile));
    Texmap* map = session.findMap();
    if (map == nullptr) throw Failure("scene \"" + sceneFile + "\" holds no Nacrelle map");
    return *map;
}

/// What a render command asks for, checked.
struct RenderJob {
    MapSettings settings;
    RenderOptions options;
    PngEncoding encoding;
    std::optional<FrameRange> frames;
};

RenderJob prepareRender(const RenderCommand& command) {
    RenderJob job;
    job.settings = toSettings(command.map);
    job.options.width = command.width.value_or(command.size);
    job.options.height = command.height.value_or(command.size);
    checkSize(job.options.width, job.options.height);
    if (command.viewport) {
        if (command.width || command.height) {
            throw BadValue("the viewport's texture is square: give --size, not --width or --height");
        }
        if (command.size > kMaxViewportSide) {
            throw BadValue("--viewport --size " + std::to_string(command.size) +
                             " must lie between 1 and " + std::to_string(kMaxViewportSide));
        }
    }
    checkThreadCount(command.threads);
    job.options.threads = command.threads;
    job.encoding = command.image.encoding(command.threads);
    checkPngName(command.image.file);
    (void)timeOf(command.map);
    if (!command.frames.empty()) {
        if (command.map.frame || command.map.time) {
            throw BadValue("give --frames or a single --frame/--time, not both");
        }
        if (command.image.file == "-") {
            throw BadValue("--frames writes one file per frame; -o - can take only one image");
        }
        job.frames = parseFrameRange(command.frames);
    }
    return job;
}

}  // namespace

void checkSize(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) {
        throw BadValue("image size " + std::to_string(width) + "x" + std::to_string(height) +
                         " must lie between 1 and " + std::to_string(kMaxImageSide) + " a side");
    }
}

void checkRenderCommand(const RenderCommand& command) { (void)prepareRender(command); }

namespace {

Image renderPicture(Texmap& map, TimeValue t, const RenderCommand& command,
                    const RenderOptions& options) {
    return command.viewport ? renderViewport(map, t, command.size) : renderSwatch(map, t, options);
}

}  // namespace

int renderMap(Texmap& map, const RenderCommand& command) {
    const RenderJob job = prepareRender(command);
    const TimeValue t = timeOf(command.map);
    applySettings(map, job.settings, t);
    requireThicknessImage(map, t);
    standin::WritePolicy policy = command.image.policy();
    if (!command.scene.empty()) policy.inputs.push_back(standin::PathFromUtf8(command.scene));
    if (const auto image = thicknessImageFile(map); !image.empty()) policy.inputs.push_back(image);
    if (!job.frames) {
        writeImage(renderPicture(map, t, command, job.options), command.image.file, job.encoding,
                   policy);
        return 0;
    }
    const FrameRange range = *job.frames;
    const FrameFiles files(command.image.file, range);
    // A refused name (an input, a read-only file, a pipe nobody reads) ends
    // the command before the first frame is written: a mistake changes no
    // file. Pipes and devices are opened now and held until their frame, so
    // that the reader found is the one written to.
    std::map<long, std::unique_ptr<standin::ByteSink>> streams;
    for (long frame = range.first; frame <= range.last; ++frame) {
        const std::string name = files(frame);
        std::string why = standin::WriteRefusal(standin::PathFromUtf8(name), policy);
        if (why.empty()) {
            if (auto stream = standin::OpenStreamTarget(standin::PathFromUtf8(name), why)) {
                streams.emplace(frame, std::move(stream));
            }
        }
        if (!why.empty()) {
            throw Failure("cannot write \"" + name + "\": " + why + "; no frame was written");
        }
    }
    RenderOptions options = job.options;
    options.showProgress = false;  // one bar across the frames instead
    {
        const long count = range.last - range.first + 1;
        ProgressBar progress("frames", static_cast<int>(std::min<long>(count, kMaxProgressSteps)));
        for (long frame = range.first; frame <= range.last; ++frame) {
            const Image image = renderPicture(map, frameToTime(static_cast<double>(frame)), command, options);
            if (const auto stream = streams.find(frame); stream != streams.end()) {
                writeImage(image, *stream->second, files(frame), job.encoding);
                streams.erase(stream);
            } else {
                writeImage(image, files(frame), job.encoding, policy);
            }
            progress.update(static_cast<int>(std::min<long>(frame - range.first + 1, kMaxProgressSteps)));
        }
    }
    std::printf("wrote frames %ld to %ld: %s to %s", range.first, range.last,
                files(range.first).c_str(), files(range.last).c_str());
    if (files.offset != 0) std::printf(" (file number = frame + %ld)", files.offset);
    std::printf("\n");
    return 0;
}

int runRender(const CommonOptions& common, const RenderCommand& command) {
    checkRenderCommand(command);  // usage errors before the module loads
    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    return renderMap(mapToRender(session, command.scene), command);
}

void addRenderOptions(CLI::App& app, RenderCommand& render) {
    addImageOutputOptions(app, render.image);
    app.add_option("--size", render.size, "Width and height in pixels")->capture_default_str();
    app.add_option("--width", render.width, "Width in pixels (overrides --size)");
    app.add_option("--height", render.height, "Height in pixels (overrides --size)");
    app.add_option("--frames", render.frames,
                   "Render every frame of a range, one numbered file each")
        ->type_name("FIRST-LAST");
    app.add_option("--threads", render.threads, "Render threads (0: one per core)")
        ->capture_default_str();
    app.add_flag("--viewport", render.viewport,
                 "What the viewport shows instead: the map's texture, seen head on across its "
                 "UV space, --size pixels a side");
}

void addRenderCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto render = std::make_shared<RenderCommand>();
    auto* renderApp = app.add_subcommand("render", "Render the map on a sample sphere (swatch)");
    addMapOptions(*renderApp, render->map);
    addRenderOptions(*renderApp, *render);
    renderApp->add_option("--scene", render->scene, "Render the map of this scene file")
        ->excludes(addPresetOption(*renderApp, render->map));
    renderApp->callback([render, &common, &result] { result = runRender(common, *render); });
}

}  // namespace nacrelle::tools
