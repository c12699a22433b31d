#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDirectory {
  public:
    TempDirectory() {
        std::random_device seed;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / ("tarvo-unit-" + std::to_string(seed()) + std::to_string(attempt));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate.generic_string();
                return;
            }
        }
        throw std::runtime_error("no fresh temporary directory");
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // The directory with a trailing "/", ready to prefix a name.
    std::string prefix() const { return path_ + "/"; }

    static std::string read(const std::string& path) {
        std::ifstream in(path); // text mode, as inline files are written
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    std::string path_;
};
