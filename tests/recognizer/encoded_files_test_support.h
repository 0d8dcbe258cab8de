// A fixture that writes line-encoded dictionary and lexicon files into a folder of its own.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "line_codec.h"

class EncodedFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("vx_encoded_" +
                  std::string(
                      ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
                  "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Writes text through the line encoding under name and returns the file's path.
    std::string Write(const std::string& name, const std::string& text) {
        std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << Vantrix::EncodeLine(text);
        return path;
    }
    // Writes text to a fresh numbered file and returns its path.
    std::string Write(const std::string& text) {
        return Write("lexicon" + std::to_string(++files) + ".dat", text);
    }

    std::filesystem::path folder;
    int files = 0;
};
