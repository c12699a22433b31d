#include "platform/Jobserver.h"

#include "platform/JobserverAuth.h"
#include "platform/UniqueHandle_win32.h"
#include "text/Diagnostics.h"

#include <windows.h>

#include <string>

namespace {

// Tokens are the counts of a named semaphore; the name is all that the
// commands need, so nothing is left behind when the last handle closes.
class SemaphoreJobserver : public Jobserver {
  public:
    explicit SemaphoreJobserver(UniqueHandle semaphore) : semaphore_(std::move(semaphore)) {}
    ~SemaphoreJobserver() override {
        while (taken_ > 0) {
            release();
        }
    }

    bool tryAcquire() override {
        if (WaitForSingleObject(semaphore_.get(), 0) != WAIT_OBJECT_0) {
            return false;
        }
        ++taken_;
        return true;
    }

    void release() override {
        if (taken_ > 0) {
            --taken_;
            ReleaseSemaphore(semaphore_.get(), 1, nullptr);
        }
    }

  private:
    UniqueHandle semaphore_;
    unsigned taken_ = 0;
};

} // namespace

CreatedJobserver createJobserver(unsigned jobs, JobserverStyle, Diagnostics& diagnostics) {
    const LONG tokens = static_cast<LONG>(jobs - 1);
    std::string name;
    UniqueHandle semaphore;
    for (int attempt = 0; attempt < 100 && !semaphore.valid(); ++attempt) {
        name = "tarvo_jobserver_" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(attempt);
        semaphore.reset(CreateSemaphoreA(nullptr, tokens, tokens, name.c_str()));
        if (semaphore.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
            semaphore.reset();
        }
    }
    if (!semaphore.valid()) {
        diagnostics.note("no jobserver: cannot create a semaphore (error %lu)", GetLastError());
        return {};
    }
    return {std::make_unique<SemaphoreJobserver>(std::move(semaphore)),
            "-j" + std::to_string(jobs) + " --jobserver-auth=" + name};
}

std::unique_ptr<Jobserver> openJobserver(const std::string& makeflags, Diagnostics& diagnostics) {
    const JobserverAuth auth = jobserverAuthIn(makeflags);
    if (auth.kind == JobserverAuth::Kind::None) {
        return nullptr;
    }
    if (auth.kind != JobserverAuth::Kind::Semaphore) {
        diagnostics.note("jobserver %s ignored: not a semaphore", auth.name.c_str());
        return nullptr;
    }
    UniqueHandle semaphore(
        OpenSemaphoreA(SEMAPHORE_MODIFY_STATE | SYNCHRONIZE, FALSE, auth.name.c_str()));
    if (!semaphore.valid()) {
        diagnostics.note("jobserver %s ignored: cannot open it (error %lu)", auth.name.c_str(),
                         GetLastError());
        return nullptr;
    }
    return std::make_unique<SemaphoreJobserver>(std::move(semaphore));
}
