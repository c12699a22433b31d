// The whole run, pass 1 and pass 2 and the making of the default target, on an
// arbitrary makefile with arbitrary include files, in a scratch directory;
// commands are recorded, never run.
//
// The input is split at lines "%%file": the first part is the makefile
// "tarvo", the following parts are the files "a", "b", "c" and "d", reachable
// with !include. A first line "%%env A=x B=y" gives the environment.
//
// Besides crashes, leaks and hangs it checks what every run promises: the
// exit status is 0, 1 or a command's code; no command starts after one has
// failed; the intermediate file is gone; no file but the tool's temporaries
// appears.
#include "driver/Driver.h"
#include "platform/TempNames.h"
#include "support/FuzzPlatform.h"
#include "support/ScratchDirectory.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kSeparator[] = "\n%%file\n";
const char kEnvironment[] = "%%env ";
const char* const kIncludeNames[] = {"a", "b", "c", "d"};

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

std::unique_ptr<ScratchDirectory> gScratch;

std::vector<std::string> splitAtBlanks(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            words.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The run's own output is of no interest here.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    gScratch = std::make_unique<ScratchDirectory>();
    std::atexit([] { gScratch.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    gScratch->enter();

    std::vector<std::string> environment = {"PATH=/bin"};
    if (input.compare(0, sizeof kEnvironment - 1, kEnvironment) == 0) {
        const std::size_t from = sizeof kEnvironment - 1;
        const std::size_t end = input.find('\n');
        const std::vector<std::string> entries = splitAtBlanks(
            input.substr(from, end == std::string::npos ? std::string::npos : end - from));
        environment.insert(environment.end(), entries.begin(), entries.end());
        input.erase(0, end == std::string::npos ? input.size() : end + 1);
    }
    std::vector<std::string> inputNames = {"tarvo"};
    std::size_t start = 0;
    for (std::size_t part = 0;; ++part) {
        const std::size_t end = input.find(kSeparator, start);
        const std::string name = part == 0 ? "tarvo" : kIncludeNames[part - 1];
        ScratchDirectory::write(name, input.substr(start, end - start));
        if (part > 0) {
            inputNames.push_back(name);
        }
        if (end == std::string::npos || part == std::size(kIncludeNames)) {
            break;
        }
        start = end + sizeof kSeparator - 1;
    }

    RunLimits limits;
    limits.expansionBytes = 1 << 14;
    FuzzPlatform platform;
    const int status = runTarvo({}, environment, platform, limits);

    check(status == 0 || status == 1 || status == static_cast<int>(FuzzPlatform::kFailureCode));
    if (status == static_cast<int>(FuzzPlatform::kFailureCode)) {
        check(!platform.started.empty() &&
              platform.started.back().find("fail") != std::string::npos);
    }
    // The first temporary name went to the intermediate file.
    const std::string intermediate = temporaryName(0);
    for (const std::string& name : ScratchDirectory::names()) {
        check(name != intermediate);
        bool expected = isTemporaryName(name);
        for (const std::string& inputName : inputNames) {
            expected = expected || name == inputName;
        }
        check(expected);
    }
    gScratch->leave();
    return 0;
}
