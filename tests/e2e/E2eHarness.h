#pragma once

#include <ctime>
#include <string>
#include <vector>

// Runs the built tarvo in a fresh temporary directory with a controlled environment.
namespace e2e {

struct Result {
    std::string output; // standard output, byte for byte
    int status = -1;    // exit status; 128 + signal when killed
};

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const { return path_ + "/" + name; }

    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    void makeDirectory(const std::string& name) const;
    // Sets a file's modification time, in seconds since 1970.
    void setTime(const std::string& name, std::time_t seconds) const;
    std::time_t modificationTime(const std::string& name) const;
    // Names in the directory, sorted, without "." and "..".
    std::vector<std::string> list(const std::string& directory = ".") const;

    // Runs tarvo with the arguments; the environment is exactly `environment`.
    Result run(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = defaultEnvironment()) const;

    static std::vector<std::string> defaultEnvironment();

  private:
    std::string path_;
};

// A fixed base time for file-time tests (2024-01-01 00:00:00 UTC); one
// file-time unit is about 6.7 s, so times 60 s apart always differ.
constexpr std::time_t kBaseTime = 1704067200;

const char* const kBanner = "TARVO version 1.0\n\n";

} // namespace e2e
