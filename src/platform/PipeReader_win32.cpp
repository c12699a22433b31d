#include "platform/PipeReader_win32.h"

#include <algorithm>
#include <utility>

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
        reader.take(buffer, got);
    }
    return 0;
}

OutputSpool PipeReader::finish() {
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
    if (pipe_.valid() && PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr)) {
        char buffer[16 * 1024];
        DWORD got = 0;
        while (available > 0 &&
               ReadFile(pipe_.get(), buffer, std::min<DWORD>(available, sizeof buffer), &got,
                        nullptr) &&
               got > 0) {
            take(buffer, got);
            available -= got;
        }
    }
    pipe_.reset();
    if (carriageReturnHeld_) {
        collected_.append("\r", 1);
        carriageReturnHeld_ = false;
    }
    return std::move(collected_);
}

void PipeReader::take(const char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    // A CR that ended the last read counts unless this one starts with LF.
    if (carriageReturnHeld_ && data[0] != '\n') {
        collected_.append("\r", 1);
    }
    carriageReturnHeld_ = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != '\r') {
            continue;
        }
        if (i + 1 == size) {
            collected_.append(data + start, i - start);
            carriageReturnHeld_ = true;
            return;
        }
        if (data[i + 1] == '\n') {
            collected_.append(data + start, i - start);
            start = i + 1;
        }
    }
    collected_.append(data + start, size - start);
}
