#include "batch.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace Vantrix {

namespace {

namespace fs = std::filesystem;

struct Worker {
    pid_t pid = -1;
    int fd = -1; // the read end of the child's standard error
    size_t index = 0;
    std::string err;
};

// Starts the analysis of one sound in a child whose standard error comes back through a pipe.
bool Start(const TOptions& options, size_t index, const std::string& target,
           const std::function<int(TOptions&)>& runOne, Worker& worker) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    if (pid == 0) {
        dup2(ends[1], STDERR_FILENO);
        close(ends[0]);
        close(ends[1]);
        TOptions one = options;
        one.sounds = {options.sounds[index]};
        one.output = target;
        one.outputDir.clear();
        one.batchList.clear();
        one.jobs = 1;
        const int status = runOne(one);
        std::fflush(nullptr);
        _exit(status);
    }
    close(ends[1]);
    worker = {pid, ends[0], index, ""};
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (line.rfind("voxtrail: ", 0) == 0) line.erase(0, 10);
        if (!line.empty()) lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

// The progress line of a finished child, after its warnings; false when it failed.
bool Report(const Worker& worker, int status, const std::string& name, size_t done, size_t total) {
    std::vector<std::string> lines = Lines(worker.err);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::string reason;
    if (!ok) {
        if (WIFSIGNALED(status))
            reason = std::string("stopped by signal ") + strsignal(WTERMSIG(status));
        else if (!lines.empty()) {
            reason = lines.back();
            lines.pop_back();
        } else {
            reason = "exit status " + std::to_string(WEXITSTATUS(status));
        }
    }
    for (const std::string& line : lines)
        std::fprintf(stderr, "voxtrail: %s: %s\n", name.c_str(), line.c_str());
    std::fprintf(stderr, "voxtrail: [%zu/%zu] %s: %s%s\n", done, total, name.c_str(),
                 ok ? "done" : "failed: ", reason.c_str());
    return ok;
}

} // namespace

std::string ResultFileName(const std::string& sound, const std::string& format) {
    static const std::map<std::string, std::string> extensions = {
        {"json", "json"},      {"tsv", "tsv"},          {"phonemedata", "txt"},  {"moho", "dat"},
        {"shapes-tsv", "tsv"}, {"shapes-json", "json"}, {"textgrid", "TextGrid"}};
    const auto found = extensions.find(format);
    std::string stem = fs::path(sound).stem().string();
    if (stem.empty() || stem == "." || stem == "..") stem = "sound";
    return stem + "." + (found != extensions.end() ? found->second : format);
}

int RunBatch(const TOptions& options, const std::function<int(TOptions&)>& runOne) {
    const std::vector<std::string>& sounds = options.sounds;
    std::error_code error;
    fs::create_directories(options.outputDir, error);
    if (!fs::is_directory(options.outputDir)) {
        std::fprintf(stderr, "voxtrail: cannot make the output folder '%s': %s\n",
                     options.outputDir.c_str(),
                     error ? error.message().c_str() : "a file of that name is in the way");
        return kExitFailure;
    }
    // Every target is known before anything runs: two sounds must not write one file, nor a
    // result replace a sound or the transcript beside it.
    std::map<fs::path, std::string> inputs;
    for (const std::string& sound : sounds) {
        fs::path transcript = sound;
        inputs.emplace(fs::weakly_canonical(sound, error), sound);
        inputs.emplace(fs::weakly_canonical(transcript.replace_extension(".txt"), error), sound);
    }
    std::vector<std::string> targets;
    std::map<fs::path, std::string> results;
    for (const std::string& sound : sounds) {
        const fs::path target = fs::path(options.outputDir) / ResultFileName(sound, options.format);
        const fs::path canonical = fs::weakly_canonical(target, error);
        targets.push_back(target.string());
        if (inputs.count(canonical)) {
            std::fprintf(stderr, "voxtrail: the result of '%s' would replace '%s', an input\n",
                         sound.c_str(), target.c_str());
            return kExitUsage;
        }
        if (!results.emplace(canonical, sound).second) {
            std::fprintf(stderr, "voxtrail: the results of '%s' and '%s' would both be '%s'\n",
                         results[canonical].c_str(), sound.c_str(), target.c_str());
            return kExitUsage;
        }
    }

    std::vector<Worker> running;
    std::vector<std::string> failed;
    size_t next = 0, done = 0;
    const size_t jobs = size_t(options.jobs);
    while (next < sounds.size() || !running.empty()) {
        while (running.size() < jobs && next < sounds.size()) {
            Worker worker;
            if (!Start(options, next, targets[next], runOne, worker)) {
                std::fprintf(stderr, "voxtrail: [%zu/%zu] %s: failed: cannot start a worker: %s\n",
                             ++done, sounds.size(), sounds[next].c_str(), std::strerror(errno));
                failed.push_back(sounds[next++]);
                continue;
            }
            running.push_back(worker);
            ++next;
        }
        if (running.empty()) continue;
        std::vector<pollfd> polls;
        for (const Worker& worker : running)
            polls.push_back({worker.fd, POLLIN, 0});
        if (poll(polls.data(), polls.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("voxtrail: poll");
            return kExitFailure;
        }
        for (size_t w = polls.size(); w-- > 0;) {
            if (!(polls[w].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Worker& worker = running[w];
            char buffer[4096];
            const ssize_t got = read(worker.fd, buffer, sizeof buffer);
            if (got > 0) {
                worker.err.append(buffer, size_t(got));
                continue;
            }
            if (got < 0 && errno == EINTR) continue;
            close(worker.fd);
            int status = 0;
            while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
            }
            if (!Report(worker, status, sounds[worker.index], ++done, sounds.size()))
                failed.push_back(sounds[worker.index]);
            running.erase(running.begin() + long(w));
        }
    }
    if (failed.empty()) return 0;
    std::string names;
    for (const std::string& name : failed)
        names += (names.empty() ? "" : ", ") + name;
    std::fprintf(stderr, "voxtrail: %zu of %zu sounds failed: %s\n", failed.size(), sounds.size(),
                 names.c_str());
    return kExitFailure;
}

} // namespace Vantrix
