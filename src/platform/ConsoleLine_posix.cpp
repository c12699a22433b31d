#include "platform/ConsoleLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A VT100 line: a carriage return, the text, and "erase to the end of line".
class TerminalLine : public ConsoleLine {
  public:
    std::size_t width() override {
        struct winsize size = {};
        if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
            return size.ws_col - 1;
        }
        return 79;
    }
    void show(const std::string& text) override { write("\r" + text + "\x1b[K"); }
    void clear() override { write("\r\x1b[K"); }

  private:
    static void write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t wrote = ::write(STDERR_FILENO, bytes.data() + done, bytes.size() - done);
            if (wrote <= 0) {
                return;
            }
            done += static_cast<std::size_t>(wrote);
        }
    }
};

} // namespace

std::unique_ptr<ConsoleLine> standardErrorLine(bool force) {
    if (!force && isatty(STDERR_FILENO) == 0) {
        return nullptr;
    }
    return std::make_unique<TerminalLine>();
}
