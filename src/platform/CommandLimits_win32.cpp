#include "platform/CommandLimits.h"

#include "platform/InterpreterRoute_win32.h"

std::size_t fittingCommandLength() {
    return kInterpreterLimit;
}

std::optional<ExceededLimit> exceededCommandLimit(const std::string& commandLine) {
    if (commandLine.size() <= kInterpreterLimit) {
        return std::nullopt;
    }
    const std::size_t length = lengthInCharacters(commandLine);
    // Only a line this long is searched for its program: a shorter one fits
    // wherever it goes.
    if (length > kInterpreterLimit &&
        (needsInterpreter(commandLine) || startsBatchFile(commandLine) ||
         !startsProgramFound(commandLine))) {
        return ExceededLimit{length, kInterpreterLimit, true};
    }
    if (length > kSystemLimit) {
        return ExceededLimit{length, kSystemLimit, false};
    }
    return std::nullopt;
}
