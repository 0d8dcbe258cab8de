// Scratch folders of the suites: removed with the object, and one holding the six data files
// made of the small test networks and dictionary.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempFolder {
    TempFolder() {
        char pattern[] = "/tmp/vx_test_XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

// forward16k, a file of the test networks, stands in for the 16 kHz forward network.
struct DataFolder : TempFolder {
    explicit DataFolder(const char* forward16k = "Wt16M9fs.dat") {
        const std::filesystem::path data = std::filesystem::path(VX_TEST_DATA) / "recognizer";
        for (const char* name : {"Wt16M9bs.dat", "Wt8S9fs.dat", "Wt8S9bs.dat"})
            std::filesystem::create_symlink(data / "networks" / name, path / name);
        std::filesystem::create_symlink(data / "networks" / forward16k, path / "Wt16M9fs.dat");
        for (const char* name : {"DtC6dal.dat", "DtC6dl.dat"})
            std::filesystem::create_symlink(data / "dictionary" / name, path / name);
    }
};
