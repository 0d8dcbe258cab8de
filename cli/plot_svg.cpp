#include "plot_svg.h"

namespace Vantrix {

bool RenderPlot(const TAnalysisResult&, const TOptions&, std::string&, std::string& error) {
    error = "plot is not available yet";
    return false;
}

} // namespace Vantrix
