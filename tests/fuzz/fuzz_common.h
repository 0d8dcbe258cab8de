// Helpers shared by the file-reader fuzz harnesses.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

// Writes the input to a file private to this process and returns its name; the readers take names.
inline std::string WriteFuzzInput(const uint8_t* data, size_t size, const char* suffix) {
    std::string name = "/tmp/vx_fuzz_" + std::to_string(getpid()) + suffix;
    if (FILE* f = std::fopen(name.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return name;
}
