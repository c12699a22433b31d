#include "platform/InterpreterRoute_win32.h"

#include "containers/NameCompare.h"

#include <windows.h>

#include <cstring>

namespace {

// Variables that cmd makes up as it expands them: none is in the environment.
bool isDynamicVariable(const std::string& name) {
    for (const char* dynamic : {"CD", "DATE", "TIME", "RANDOM", "ERRORLEVEL", "CMDEXTVERSION",
                                "CMDCMDLINE", "HIGHESTNUMANODENUMBER"}) {
        if (sameName(name, dynamic)) {
            return true;
        }
    }
    return false;
}

// Whether %NAME% (or %NAME:...%, a substring or replacement) expands.
bool isVariable(std::string name) {
    name = name.substr(0, name.find(':'));
    if (name.empty()) {
        return false;
    }
    return GetEnvironmentVariableA(name.c_str(), nullptr, 0) != 0 || isDynamicVariable(name);
}

bool holdsVariableReference(const std::string& line) {
    std::size_t open = line.find('%');
    while (open != std::string::npos) {
        const std::size_t close = line.find('%', open + 1);
        if (close == std::string::npos) {
            return false;
        }
        if (isVariable(line.substr(open + 1, close - open - 1))) {
            return true;
        }
        open = close;
    }
    return false;
}

// The program word as CreateProcess reads it: up to the first blank, or
// within the double quotes that begin the line.
std::string programOf(const std::string& commandLine) {
    const std::size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return std::string();
    }
    if (commandLine[start] == '"') {
        const std::size_t close = commandLine.find('"', start + 1);
        return commandLine.substr(start + 1, close == std::string::npos ? std::string::npos
                                                                        : close - start - 1);
    }
    const std::size_t end = commandLine.find_first_of(" \t", start);
    return commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool endsWith(const std::string& name, const char* extension) {
    const std::size_t length = std::strlen(extension);
    return name.size() > length && sameName(name.substr(name.size() - length), extension);
}

bool isWindows95Family() {
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    const DWORD version = GetVersion();
    return (version & 0x80000000u) != 0;
}

} // namespace

bool needsInterpreter(const std::string& commandLine) {
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '>' || c == '<' || c == '|' || c == '&')) {
            return true;
        }
    }
    // cmd expands variables inside quotes too.
    return holdsVariableReference(commandLine);
}

bool startsBatchFile(const std::string& commandLine) {
    const std::string program = programOf(commandLine);
    return endsWith(program, ".bat") || endsWith(program, ".cmd");
}

bool startsProgramFound(const std::string& commandLine) {
    const std::string program = programOf(commandLine);
    // CreateProcess adds ".exe" to a name without extension, and searches the
    // places that SearchPath searches.
    return !program.empty() &&
           SearchPathA(nullptr, program.c_str(), ".exe", 0, nullptr, nullptr) != 0;
}

std::string interpreterLine(const std::string& commandLine) {
    if (isWindows95Family()) {
        return "command.com /C " + commandLine;
    }
    return "cmd /S /C \"" + commandLine + "\"";
}

std::size_t lengthInCharacters(const std::string& commandLine) {
    if (commandLine.empty()) {
        return 0;
    }
    const int characters = MultiByteToWideChar(CP_ACP, 0, commandLine.data(),
                                               static_cast<int>(commandLine.size()), nullptr, 0);
    return characters > 0 ? static_cast<std::size_t>(characters) : commandLine.size();
}
