#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

// A fresh directory under the system's temporary directory, entered for each
// input (and left again, so that relative paths of the fuzzer keep their
// meaning), emptied before each input and removed at exit.
class ScratchDirectory {
  public:
    ScratchDirectory() : home_(std::filesystem::current_path()) {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0;; ++attempt) {
            path_ = base /
                    ("tarvo-fuzz-" + std::to_string(std::rand()) + "-" + std::to_string(attempt));
            std::error_code error;
            if (std::filesystem::create_directory(path_, error)) {
                break;
            }
        }
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::current_path(home_, error);
        std::filesystem::remove_all(path_, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // Empties the directory and makes it the current one.
    void enter() const {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(path_, error)) {
            std::filesystem::remove_all(entry.path(), error);
        }
        std::filesystem::current_path(path_);
    }
    void leave() const { std::filesystem::current_path(home_); }

    static void write(const std::string& name, const std::string& content) {
        std::ofstream(name, std::ios::binary | std::ios::trunc) << content;
    }

    // Names in the current directory.
    static std::vector<std::string> names() {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
            found.push_back(entry.path().filename().string());
        }
        return found;
    }

  private:
    std::filesystem::path home_;
    std::filesystem::path path_;
};
