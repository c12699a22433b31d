#include "rules/DependencyFiles.h"

#include "platform/Platform.h"
#include "rules/DependencyFile.h"
#include "text/Note.h"

const std::vector<std::string>& DependencyFiles::namesIn(const std::string& path, Platform& files) {
    static const std::vector<std::string> kNone;
    const FileTime time = files.fileTime(path);
    if (time == 0) {
        return kNone;
    }
    auto found = known_.find(path);
    if (found != known_.end() && found->second.time == time) {
        return found->second.names;
    }
    Known& known = known_[path];
    known.time = time;
    DependencyFile file;
    if (file.read(path)) {
        known.names = file.names();
        for (const std::string& reason : file.passedOver()) {
            note("warning: %s: %s", path.c_str(), reason.c_str());
        }
    } else {
        known.names.clear();
        note("warning: %s: %s", path.c_str(), file.failure().c_str());
    }
    return known.names;
}
