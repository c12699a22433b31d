#include "driver/Makeflags.h"

#include <cstring>
#include <vector>

namespace {

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
        const std::size_t end = text.find_first_of(" \t", at);
        words.push_back(text.substr(at, end == std::string::npos ? end : end - at));
        at = end;
    }
    return words;
}

// Options of GNU make that take what follows them in the word as their argument.
bool takesArgument(char option) {
    return std::strchr("CfIjloOWE", option) != nullptr;
}

void takeLetter(char letter, MakeflagsFlags& flags) {
    if (letter == 'n') {
        flags.dryRun = true;
    } else if (letter == 'k') {
        flags.keepGoing = true;
    }
}

bool isJobserverWord(const std::string& word) {
    return word.compare(0, 2, "-j") == 0 || word.compare(0, 12, "--jobserver-") == 0;
}

} // namespace

MakeflagsFlags flagsIn(const std::string& makeflags) {
    MakeflagsFlags flags;
    const std::vector<std::string> words = wordsOf(makeflags);
    for (std::size_t i = 0; i < words.size() && words[i] != "--"; ++i) {
        const std::string& word = words[i];
        if (word.compare(0, 2, "--") == 0) {
            const std::string name = word.substr(0, word.find('='));
            if (name == "--dry-run" || name == "--just-print" || name == "--recon") {
                flags.dryRun = true;
            } else if (name == "--keep-going") {
                flags.keepGoing = true;
            }
            continue;
        }
        // The first word may be letters without a "-"; a definition is none.
        if (word[0] != '-' && (i != 0 || word.find('=') != std::string::npos)) {
            continue;
        }
        for (std::size_t k = word[0] == '-' ? 1 : 0; k < word.size(); ++k) {
            if (takesArgument(word[k])) {
                break;
            }
            takeLetter(word[k], flags);
        }
    }
    return flags;
}

std::string makeflagsForCommands(const std::string& given, const std::string& jobserver,
                                 bool keepGoing) {
    const bool addsK = keepGoing && !flagsIn(given).keepGoing;
    if (jobserver.empty() && !addsK) {
        return given;
    }
    std::vector<std::string> words = wordsOf(given);
    std::string letters = addsK ? "k" : "";
    std::size_t first = 0;
    if (!words.empty() && words[0][0] != '-' && words[0].find('=') == std::string::npos) {
        letters += words[0];
        first = 1;
    }
    std::string result = letters;
    const auto add = [&result](const std::string& text) {
        if (!text.empty()) {
            result += result.empty() ? "" : " ";
            result += text;
        }
    };
    add(jobserver);
    bool definitions = false;
    for (std::size_t i = first; i < words.size(); ++i) {
        definitions = definitions || words[i] == "--";
        if (definitions || jobserver.empty() || !isJobserverWord(words[i])) {
            add(words[i]);
        }
    }
    return result;
}
