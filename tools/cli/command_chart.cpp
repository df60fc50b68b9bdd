// `nacrelle chart`: film thickness across, viewing angle up.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>

#include <memory>
#include <string>

#include "cli/command_registration.h"
#include "cli/command_render.h"
#include "cli/image_output.h"
#include "cli/map_options.h"
#include "cli/preset_commands.h"
#include "common/errors.h"
#include "app/render/parallel_rows.h"
#include "app/render/render.h"
#include "app/session/host_session.h"
#include "app/session/map_settings.h"
#include "app/session/value_parser.h"

namespace nacrelle::tools {
namespace {

struct ChartCommand {
    MapOptions map;
    ImageOutput image{"nacrelle-chart.png"};
    std::string thickness = "0:1000";  ///< FROM:TO nm
    int width = 800, height = 560;
    int threads = 0;
    bool compare = false;
    bool orders = false;
    bool throughMapValues = false;
};

int runChart(const CommonOptions& common, const ChartCommand& command) {
    const MapSettings settings = toSettings(command.map);
    const std::size_t colon = command.thickness.find(':');
    if (colon == std::string::npos) {
        throw BadValue("--thickness \"" + command.thickness + "\" is not a range: expected FROM:TO");
    }
    ChartOptions options;
    options.thicknessFrom =
        static_cast<float>(parseNumber(command.thickness.substr(0, colon), "--thickness"));
    options.thicknessTo =
        static_cast<float>(parseNumber(command.thickness.substr(colon + 1), "--thickness"));
    if (options.thicknessFrom == options.thicknessTo) {
        throw BadValue("--thickness \"" + command.thickness + "\" is an empty range");
    }
    if (!settings.thicknessMap.empty()) {
        throw BadValue("chart drives the thickness itself; --thickness-map does not apply");
    }
    checkSize(command.width, command.height);
    checkThreadCount(command.threads);
    checkPngName(command.image.file);
    (void)timeOf(command.map);
    options.throughMapValues = command.throughMapValues;
    options.width = command.width;
    options.height = command.height;
    options.threads = command.threads;
    options.orders = command.orders;

    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    Texmap& map = session.createMap();
    applySettings(map, settings, timeOf(command.map));
    const Image image = command.compare ? renderChartComparison(map, timeOf(command.map), options)
                                        : renderChart(map, timeOf(command.map), options);
    writeImage(image, command.image.file,
               command.image.encoding(command.threads), command.image.policy());
    return 0;
}

}  // namespace

void addChartCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto chart = std::make_shared<ChartCommand>();
    auto* chartApp = app.add_subcommand("chart", "Render a thickness / viewing-angle chart");
    addMapOptions(*chartApp, chart->map);
    addPresetOption(*chartApp, chart->map);
    addImageOutputOptions(*chartApp, chart->image);
    chartApp->add_option("--thickness", chart->thickness, "Thickness range in nm")
        ->type_name("FROM:TO")
        ->capture_default_str();
    chartApp->add_option("--width", chart->width, "Width in pixels")->capture_default_str();
    chartApp->add_option("--height", chart->height, "Height in pixels")->capture_default_str();
    chartApp->add_option("--threads", chart->threads, "Render threads (0: one per core)");
    chartApp->add_flag("--through-map-values", chart->throughMapValues,
                       "Let --thickness run past the thickness parameters' range, through "
                       "thickness-map values above 1");
    chartApp->add_flag("--compare", chart->compare,
                       "Draw the three-wavelength model and the spectral colour side by side");
    chartApp->add_flag("--orders", chart->orders,
                       "Mark the fringe orders: where each begins (dotted) and their numbers");
    chartApp->callback([chart, &common, &result] { result = runChart(common, *chart); });
}

}  // namespace nacrelle::tools
