#include "platform/File.h"

#include <filesystem>
#include <system_error>

File openForReading(const std::string& name) {
    std::error_code ignored;
    if (std::filesystem::is_directory(name, ignored)) {
        return File();
    }
    return File(std::fopen(name.c_str(), "rb"));
}
