// voxtrail: runs analyses through the engine's public interface and prints or writes them;
// several sounds run in child processes.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis_output.h"
#include "batch.h"
#include "options.h"
#include "plot_svg.h"
#include "run_analysis.h"
#include "shapes.h"
#include "voxtrail.h"

namespace {

using namespace Vantrix;

// Writes text to path through a temporary file beside it, so that a failure leaves nothing
// half-written. Returns an empty string or the reason for the failure.
std::string WriteAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return std::strerror(errno);
    std::string problem;
    size_t written = 0;
    while (written < text.size() && problem.empty()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            problem = std::strerror(errno);
        } else {
            written += size_t(n);
        }
    }
    // The file keeps the permissions a plain create would give it.
    const mode_t mask = umask(0);
    umask(mask);
    if (problem.empty() && fchmod(fd, 0666 & ~mask) != 0) problem = std::strerror(errno);
    if (close(fd) != 0 && problem.empty()) problem = std::strerror(errno);
    if (problem.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
        problem = std::strerror(errno);
    if (!problem.empty()) unlink(temp.c_str());
    return problem;
}

int Emit(const std::string& out, const std::string& path) {
    if (path.empty() || path == "-") {
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
            std::fflush(stdout) != 0) {
            std::fprintf(stderr, "voxtrail: cannot write to standard output: %s\n",
                         std::strerror(errno));
            return kExitFailure;
        }
        return 0;
    }
    const std::string problem = WriteAtomically(path, out);
    if (!problem.empty()) {
        std::fprintf(stderr, "voxtrail: cannot write '%s': %s\n", path.c_str(), problem.c_str());
        return kExitFailure;
    }
    return 0;
}

int Run(TOptions& options) {
    std::string error;
    if (!ResolveShapes(options, error)) {
        std::fprintf(stderr, "voxtrail: %s\n", error.c_str());
        return kExitUsage;
    }
    const std::string data = DataFolder(options);
    const uint32_t code = VoxtrailStartupLibrary(data.c_str());
    if (code != VOXTRAIL_NOERR) {
        char text[1024] = {};
        VoxtrailGetErrorString(code, sizeof text, text);
        std::fprintf(stderr, "voxtrail: cannot start the engine with the data folder '%s': %s\n",
                     data.c_str(), text);
        VoxtrailShutdownLibrary();
        return kExitFailure;
    }
    TAnalysisResult result;
    const int status = AnalyseSound(options, options.sounds.front(), result, error);
    VoxtrailShutdownLibrary();
    if (status != 0) {
        std::fprintf(stderr, "voxtrail: %s\n", error.c_str());
        return status;
    }
    NameSpeechTargets(options, result);
    std::string out;
    if (options.command == "plot") {
        if (!RenderPlot(result, options, out, error)) {
            std::fprintf(stderr, "voxtrail: %s\n", error.c_str());
            return kExitFailure;
        }
    } else {
        out = Render(result, options);
    }
    return Emit(out, options.output);
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed < 0) return 0;
    if (parsed > 0) return parsed;
    if (options.sounds.size() > 1 || !options.outputDir.empty()) {
        // A wrong set is one usage error, not one failure per sound.
        TOptions checked = options;
        std::string error;
        if (!ResolveShapes(checked, error)) {
            std::fprintf(stderr, "voxtrail: %s\n", error.c_str());
            return kExitUsage;
        }
        PreloadWordRecognizer(options);
        return RunBatch(options, Run);
    }
    return Run(options);
}
