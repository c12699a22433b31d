#include "exec/RebuiltCommand.h"

#include "text/Words.h"

RebuiltCommand rebuildCommand(std::string_view pending) {
    RebuiltCommand command;
    std::size_t i = 0;
    for (; i < pending.size(); ++i) {
        if (pending[i] == '-') {
            command.stopOnError = false;
        } else if (pending[i] == '@') {
            command.echo = false;
        } else {
            break;
        }
    }
    command.text.reserve(pending.size() - i + 1);
    forEachWord(pending.substr(i), [&command](std::string_view word) {
        command.text += word;
        command.text += ' ';
    });
    return command;
}
