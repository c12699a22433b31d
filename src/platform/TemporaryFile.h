#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// One of the run's temporary files, "tarvoN.$$$" with N the first number free
// in its directory. The run holds it from its creation to its release: no
// other run takes its name, and no sweep, this run's or another's, removes it
// meanwhile. Released, it is removed unless it is to be kept (-k); a run that
// ends by a signal removes it too.
class TemporaryFile {
  public:
    enum class Content { Text, Binary };

    // Creates the file in `directory` (empty for the current one, else ending
    // in a separator). When that fails, created() is false and name() is the
    // name it would have had.
    static TemporaryFile create(const std::string& directory, Content content);
    // The name that a file created now would take; nothing is created.
    static std::string freeName(const std::string& directory);
    // Removes a temporary file unless a live run holds it. False when the entry
    // stays: held, or not removable (a directory).
    static bool removeUnlessHeld(const char* path);

    TemporaryFile() = default;
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { release(); }

    bool created() const { return hold_ != kNoHold; }
    const std::string& name() const { return name_; }
    // Open for update at its start, to be written and then, after a rewind,
    // read back; null once closed.
    std::FILE* stream() const { return stream_; }
    // Closes the stream; the file stays held. False when anything written to
    // it was lost.
    bool closeStream();
    // Leaves the file under its name when it is released.
    void keep();
    // Closes the file, removes it unless it is kept and lets go of it; the name
    // stays readable, for messages.
    void release();

  private:
    static constexpr std::intptr_t kNoHold = -1;
    static void closeHold(std::intptr_t hold);

    std::string name_;
    std::FILE* stream_ = nullptr;
    // What holds the file: a locked descriptor, or a handle that forbids its
    // removal on Windows.
    std::intptr_t hold_ = kNoHold;
    bool kept_ = false;
};
