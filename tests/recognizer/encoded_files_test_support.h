// A fixture that writes line-encoded dictionary and lexicon files into a scratch folder.
#pragma once

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "../core/test_folders.h"
#include "line_codec.h"

class EncodedFilesTest : public ::testing::Test {
protected:
    // Writes text through the line encoding to a fresh numbered file and returns its path.
    std::string Write(const std::string& text) {
        const std::string path = scratch.File("file" + std::to_string(++files) + ".dat");
        std::ofstream(path, std::ios::binary) << Vantrix::EncodeLine(text);
        return path;
    }
    // A file name in the folder that nothing writes.
    std::string Missing() const { return scratch.File("missing.dat"); }

    TempFolder scratch;
    int files = 0;
};
