#include "rules/depfiles/DependencyFile.h"
#include "platform/File.h"
#include "platform/NarrowText.h"
#include "rules/depfiles/JsonReader.h"
#include "rules/JsonValue.h"
#include "rules/depfiles/MakeDependencyParser.h"
#include "text/Blanks.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

bool DependencyFile::read(const std::string& path) {
    names_.clear();
    failure_.clear();
    passedOver_.clear();
    // Only a regular file is read: a FIFO would block the run, and a device
    // such as /dev/zero would never end.
    std::error_code statusError;
    const std::filesystem::file_status status = std::filesystem::status(path, statusError);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    if (status.type() != std::filesystem::file_type::none) {
        if (!std::filesystem::is_regular_file(status)) {
            return fail("cannot be read: not a regular file");
        }
        std::error_code sizeError;
        const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
        if (!sizeError && size > kLargest) {
            return tooLarge();
        }
    }
    errno = 0;
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return true;
        }
        return fail(std::string("cannot be opened: ") + std::strerror(errno));
    }
    // One byte beyond the largest tells a file that grew since it was measured.
    std::string content;
    std::size_t used = 0;
    while (used <= kLargest) {
        if (used == content.size()) {
            content.resize(std::min(content.empty() ? 16384 : content.size() * 2, kLargest + 1));
        }
        const std::size_t got = std::fread(&content[used], 1, content.size() - used, file.get());
        used += got;
        if (got == 0) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        return fail(std::string("cannot be read: ") + std::strerror(errno));
    }
    if (used > kLargest) {
        return tooLarge();
    }
    content.resize(used);
    return parse(content);
}

bool DependencyFile::parse(std::string_view content) {
    names_.clear();
    failure_.clear();
    passedOver_.clear();
    // Editors on Windows like to start UTF-8 with a byte-order mark.
    if (content.substr(0, 3) == "\xef\xbb\xbf") {
        content.remove_prefix(3);
    }
    std::size_t first = 0;
    while (first < content.size() && isBlankOrLineEnd(content[first])) {
        ++first;
    }
    if (first < content.size() && content[first] == '{') {
        return parseSourceDependencies(content);
    }
    std::string reason;
    if (!MakeDependencyParser::parse(content, names_, reason)) {
        return fail(reason);
    }
    return true;
}

// MSVC writes {"Version": "1.1", "Data": {"Source": ..., "Includes": [...], ...}};
// only the includes matter, and only their shape is checked.
bool DependencyFile::parseSourceDependencies(std::string_view content) {
    JsonValue root;
    std::string reason;
    if (!JsonReader::read(content, root, reason)) {
        return fail(reason);
    }
    const JsonValue* data = root.member("Data");
    if (data == nullptr || data->kind != JsonValue::Kind::Object) {
        return fail("no \"Data\" object");
    }
    const JsonValue* includes = data->member("Includes");
    if (includes == nullptr || includes->kind != JsonValue::Kind::Array) {
        return fail("no \"Includes\" array in \"Data\"");
    }
    for (const JsonValue& include : includes->items) {
        if (include.kind != JsonValue::Kind::String) {
            return fail("\"Includes\" holds something other than a string");
        }
        if (include.text.find('\0') != std::string::npos) {
            return fail("\"Includes\" holds a name with a zero byte");
        }
        // An empty name names no file.
        if (include.text.empty()) {
            continue;
        }
        std::string name;
        if (narrowFromUtf8(include.text, name)) {
            names_.add(name);
        } else {
            passedOver_.push_back("\"" + name + "\" has no name in " + narrowEncodingName() +
                                  ": passed over");
        }
    }
    return true;
}

bool DependencyFile::tooLarge() {
    return fail("larger than " + std::to_string(kLargest >> 20) + " MB: not read");
}

bool DependencyFile::fail(std::string reason) {
    names_.clear();
    passedOver_.clear();
    failure_ = std::move(reason);
    return false;
}
