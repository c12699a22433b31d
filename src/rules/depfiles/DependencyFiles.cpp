#include "rules/depfiles/DependencyFiles.h"

#include "platform/Platform.h"
#include "rules/depfiles/DependencyFile.h"
#include "text/Diagnostics.h"

const std::vector<std::string>& DependencyFiles::namesIn(const std::string& path, Platform& files,
                                                         Diagnostics& diagnostics) {
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
            diagnostics.warn("warning: %s: %s", path.c_str(), reason.c_str());
        }
    } else {
        known.names.clear();
        diagnostics.warn("warning: %s: %s", path.c_str(), file.failure().c_str());
    }
    return known.names;
}
