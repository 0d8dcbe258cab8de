// What the tool's process tests share: running it, quoting, reading files, and a scratch folder
// holding hello.wav with its transcript hello.txt.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "../core/test_folders.h"

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline size_t Occurrences(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.empty());
        fs::copy_file(fs::path(VX_EVALUATION_SOUNDS) / "hello_world.wav", dir / "hello.wav");
        fs::copy_file(fs::path(VX_EVALUATION_SOUNDS) / "hello_world.txt", dir / "hello.txt");
    }

    // Runs the tool with args (and the environment prefix env) and collects what it wrote.
    Outcome Run(const std::vector<std::string>& args, const std::string& env = "") {
        std::string command = env + " " + Quote(VX_CLI);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        const fs::path out = dir / "stdout", err = dir / "stderr";
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
        const int raw = std::system(command.c_str());
        Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
        fs::remove(out);
        fs::remove(err);
        return o;
    }
    // hello.wav analysed with a fixed seed and the data folder dataDir, plus extra.
    Outcome Analyze(std::vector<std::string> extra, const char* command = "analyze") {
        std::vector<std::string> args = {
            command, (dir / "hello.wav").string(), "--data", dataDir, "--seed", "8"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }

    TempFolder scratch;
    fs::path dir = scratch.path;
    std::string dataDir = VX_SHIPPED_DATA;
};
