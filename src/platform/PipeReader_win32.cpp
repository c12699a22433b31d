#include "platform/PipeReader_win32.h"

namespace {

constexpr DWORD kPipeSize = 64 * 1024;
constexpr SIZE_T kStackSize = 64 * 1024;

} // namespace

PipeReader::~PipeReader() {
    if (thread_.valid()) {
        finish();
    }
}

DWORD PipeReader::open(UniqueHandle& writeEnd) {
    SECURITY_ATTRIBUTES inheritable;
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inheritable, kPipeSize)) {
        return GetLastError();
    }
    pipe_.reset(read);
    writeEnd.reset(write);
    if (!SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0)) {
        const DWORD error = GetLastError();
        pipe_.reset();
        writeEnd.reset();
        return error;
    }
    thread_.reset(CreateThread(nullptr, kStackSize, readAll, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread_.valid()) {
        const DWORD error = GetLastError();
        pipe_.reset();
        writeEnd.reset();
        return error;
    }
    return 0;
}

DWORD WINAPI PipeReader::readAll(void* context) {
    PipeReader& reader = *static_cast<PipeReader*>(context);
    char buffer[16 * 1024];
    DWORD got = 0;
    // Ends at the pipe's end, or when finish cancels the read.
    while (!reader.stopping_ &&
           ReadFile(reader.pipe_.get(), buffer, sizeof buffer, &got, nullptr)) {
        reader.collected_.append(buffer, got);
    }
    return 0;
}

std::string PipeReader::finish() {
    if (thread_.valid()) {
        stopping_ = true;
        // A cancel that comes before the thread's next read misses it: it is
        // cancelled again until the thread has ended. What a cancelled read
        // would have taken stays in the pipe.
        DWORD waited = WaitForSingleObject(thread_.get(), 0);
        while (waited == WAIT_TIMEOUT) {
            CancelSynchronousIo(thread_.get());
            waited = WaitForSingleObject(thread_.get(), 1);
        }
        thread_.reset();
    }
    // What the writer left in the pipe; not more, so that a process it left
    // behind that writes on cannot keep this going.
    DWORD available = 0;
    if (pipe_.valid() && PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr) &&
        available > 0) {
        const std::size_t start = collected_.size();
        collected_.resize(start + available);
        DWORD total = 0;
        DWORD got = 0;
        while (
            total < available &&
            ReadFile(pipe_.get(), &collected_[start + total], available - total, &got, nullptr) &&
            got > 0) {
            total += got;
        }
        collected_.resize(start + total);
    }
    pipe_.reset();
    return std::move(collected_);
}
