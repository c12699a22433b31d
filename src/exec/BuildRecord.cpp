#include "exec/BuildRecord.h"

#include "platform/FileLock.h"
#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr char kHeader[] = "tarvo build record 1";
constexpr char kHeaderStem[] = "tarvo build record ";

// What the record holds of a file besides its digest and version.
enum Flag : std::uint8_t {
    kKnown = 1,        // its digest is known
    kChanged = 2,      // its digest changed in this run, or it was new
    kDirty = 4,        // its line is still to be written
    kUnsettled = 8,    // written too recently for its version to be kept
    kSameContent = 16, // a target made with the content its digest holds
    kMadeNothing = 32, // a target whose commands left no file
    kRecorded = 64,    // a target recorded in this run
};

// How long after its last write a file's stamp is trusted across runs: the
// coarsest resolution of file times in use (two seconds, FAT's), which also
// covers the lag of a file system's clock behind the system's.
constexpr FileTime kSettling = 2 * kFileTimeUnitsPerSecond;

constexpr char kHexDigits[] = "0123456789abcdef";

void putHex(std::string& out, std::uint64_t value) {
    char text[16];
    for (int i = 15; i >= 0; --i) {
        text[i] = kHexDigits[value & 15];
        value >>= 4;
    }
    out.append(text, 16);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool getHex(std::string_view text, std::size_t at, std::uint64_t& value) {
    if (text.size() < at + 16) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + 16; ++i) {
        const int digit = hexValue(text[i]);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return true;
}

// Names end their line: a line feed, carriage return or percent sign in one
// is written as "%0A", "%0D" or "%25".
void putName(std::string& out, std::string_view name) {
    for (const char c : name) {
        if (c == '%' || c == '\n' || c == '\r') {
            out += '%';
            out += "0123456789ABCDEF"[(static_cast<unsigned char>(c) >> 4) & 15];
            out += "0123456789ABCDEF"[static_cast<unsigned char>(c) & 15];
        } else {
            out += c;
        }
    }
}

int escapeDigit(char c) {
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : hexValue(c);
}

bool getName(std::string_view text, std::string& scratch, std::string_view& name) {
    if (text.empty() || text.find('\r') != std::string_view::npos) {
        return false;
    }
    if (text.find('%') == std::string_view::npos) {
        name = text;
        return true;
    }
    scratch.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            scratch += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? escapeDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? escapeDigit(text[i + 2]) : -1;
        if (low < 0) {
            return false;
        }
        scratch += static_cast<char>(high * 16 + low);
        i += 2;
    }
    name = scratch;
    return true;
}

std::string said(const std::string& path, const std::string& what) {
    return "the build record " + path + " " + what + "; it is started anew";
}

} // namespace

BuildRecord::BuildRecord(std::string path, bool writes) : path_(std::move(path)), writes_(writes) {}

// --- the files and targets --------------------------------------------------------------------

std::string_view BuildRecord::nameOf(std::uint32_t file) const {
    const std::uint32_t begin = file == 0 ? 0 : nameEnds_[file - 1];
    return std::string_view(names_).substr(begin, nameEnds_[file] - begin);
}

std::uint32_t BuildRecord::find(std::string_view name) const {
    if (slots_.empty()) {
        return kNone;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = ContentHash::of(name) & mask; slots_[i] != 0; i = (i + 1) & mask) {
        if (nameOf(slots_[i] - 1) == name) {
            return slots_[i] - 1;
        }
    }
    return kNone;
}

void BuildRecord::growSlots() {
    std::vector<std::uint32_t> slots(slots_.empty() ? 64 : slots_.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t file = 0; file < digests_.size(); ++file) {
        std::size_t i = ContentHash::of(nameOf(file)) & mask;
        while (slots[i] != 0) {
            i = (i + 1) & mask;
        }
        slots[i] = file + 1;
    }
    slots_.swap(slots);
}

// kNone only when the names outgrow what an index can reach (4 GiB).
std::uint32_t BuildRecord::findOrAdd(std::string_view name) {
    const std::uint32_t known = find(name);
    if (known != kNone) {
        return known;
    }
    if (names_.size() + name.size() >= kNone || digests_.size() + 1 >= kNone) {
        return kNone;
    }
    if ((digests_.size() + 1) * 4 > slots_.size() * 3) {
        growSlots();
    }
    const auto file = static_cast<std::uint32_t>(digests_.size());
    names_.append(name.data(), name.size());
    nameEnds_.push_back(static_cast<std::uint32_t>(names_.size()));
    digests_.push_back(0);
    versions_.push_back(0);
    flags_.push_back(0);
    targetOf_.push_back(kNone);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = ContentHash::of(name) & mask;
    while (slots_[i] != 0) {
        i = (i + 1) & mask;
    }
    slots_[i] = file + 1;
    return file;
}

std::uint32_t BuildRecord::targetFor(std::uint32_t file) {
    if (targetOf_[file] == kNone) {
        targetOf_[file] = static_cast<std::uint32_t>(commands_.size());
        commands_.push_back(0);
        inputs_.push_back(0);
    }
    return targetOf_[file];
}

// A target made with the file's old digest keeps that digest as its own.
void BuildRecord::setDigest(std::uint32_t file, Digest digest) {
    if ((flags_[file] & kSameContent) != 0 && digests_[file] != digest) {
        madeContents_[targetOf_[file]] = digests_[file];
        flags_[file] &= static_cast<std::uint8_t>(~kSameContent);
    }
    digests_[file] = digest;
    flags_[file] |= kKnown;
}

void BuildRecord::setMade(std::uint32_t file, std::optional<Digest> content) {
    const std::uint32_t target = targetOf_[file];
    madeContents_.erase(target);
    flags_[file] &= static_cast<std::uint8_t>(~(kSameContent | kMadeNothing));
    if (!content) {
        flags_[file] |= kMadeNothing;
    } else if ((flags_[file] & kKnown) != 0 && digests_[file] == *content) {
        flags_[file] |= kSameContent;
    } else {
        madeContents_[target] = *content;
    }
}

std::optional<BuildRecord::Digest> BuildRecord::madeContent(std::uint32_t file) const {
    if ((flags_[file] & kMadeNothing) != 0) {
        return std::nullopt;
    }
    if ((flags_[file] & kSameContent) != 0) {
        return digests_[file];
    }
    return madeContents_.at(targetOf_[file]);
}

void BuildRecord::clear() {
    names_.clear();
    nameEnds_.clear();
    digests_.clear();
    versions_.clear();
    flags_.clear();
    targetOf_.clear();
    slots_.clear();
    commands_.clear();
    inputs_.clear();
    madeContents_.clear();
}

std::optional<BuildRecord::Made> BuildRecord::target(std::string_view name) const {
    const std::uint32_t file = find(name);
    if (file == kNone || targetOf_[file] == kNone) {
        return std::nullopt;
    }
    const std::uint32_t target = targetOf_[file];
    return Made{commands_[target], inputs_[target], madeContent(file)};
}

std::optional<BuildRecord::Content>
BuildRecord::contentOf(const std::string& name, const FileStamp& now, Platform& platform) {
    if (!now.exists()) {
        return std::nullopt;
    }
    std::uint32_t file = find(name);
    if (file != kNone && (flags_[file] & kKnown) != 0 && versions_[file] != 0 &&
        versions_[file] == now.version) {
        return Content{digests_[file], (flags_[file] & kChanged) != 0};
    }
    const std::optional<FileDigest> read = platform.fileDigest(name);
    if (!read) {
        return std::nullopt;
    }
    if (file == kNone) {
        file = findOrAdd(name);
        if (file == kNone) {
            return Content{read->digest, true};
        }
    }
    std::uint8_t& flags = flags_[file];
    if ((flags & kKnown) == 0 || digests_[file] != read->digest) {
        flags |= kChanged;
    }
    setDigest(file, read->digest);
    versions_[file] = read->stamp.version;
    const FileTime written = read->stamp.time;
    const bool settled = read->readAt >= written && read->readAt - written >= kSettling;
    flags = static_cast<std::uint8_t>((flags & ~kUnsettled) | kDirty | (settled ? 0 : kUnsettled));
    return Content{read->digest, (flags & kChanged) != 0};
}

void BuildRecord::update(const std::string& name, Digest command, Digest inputs,
                         std::optional<Digest> content) {
    const std::uint32_t file = findOrAdd(name);
    if (file == kNone) {
        return;
    }
    const std::uint32_t target = targetFor(file);
    commands_[target] = command;
    inputs_[target] = inputs;
    setMade(file, content);
    flags_[file] |= kRecorded;
    // The target's line says as much as the file's line would of a file just
    // written: its digest, and no version to trust.
    if ((flags_[file] & (kUnsettled | kSameContent)) == (kUnsettled | kSameContent)) {
        flags_[file] &= static_cast<std::uint8_t>(~kDirty);
    }
    std::string line;
    putTargetLine(line, file);
    append(line, 1);
}

// --- the lines --------------------------------------------------------------------------------

void BuildRecord::putFileLine(std::string& out, std::uint32_t file) const {
    out += "F ";
    putHex(out, (flags_[file] & kUnsettled) != 0 ? 0 : versions_[file]);
    out += ' ';
    putHex(out, digests_[file]);
    out += ' ';
    putName(out, nameOf(file));
    out += '\n';
}

void BuildRecord::putTargetLine(std::string& out, std::uint32_t file) const {
    const std::uint32_t target = targetOf_[file];
    out += "T ";
    putHex(out, commands_[target]);
    out += ' ';
    putHex(out, inputs_[target]);
    out += ' ';
    const std::optional<Digest> content = madeContent(file);
    if (content) {
        putHex(out, *content);
    } else {
        out += '-';
    }
    out += ' ';
    putName(out, nameOf(file));
    out += '\n';
}

// A target's line gives its file the content it was made with and no version:
// a file line follows where the file is known otherwise.
bool BuildRecord::needsFileLine(std::uint32_t file) const {
    if ((flags_[file] & kKnown) == 0) {
        return false;
    }
    if (targetOf_[file] == kNone) {
        return true;
    }
    const std::uint64_t version = (flags_[file] & kUnsettled) != 0 ? 0 : versions_[file];
    return (flags_[file] & kSameContent) == 0 || version != 0;
}

bool BuildRecord::applyLine(std::string_view line, std::string& scratch) {
    // "F version digest name" and "T command inputs content name", where the
    // content may be "-".
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    if (line.size() < 37 || line[1] != ' ' || line[18] != ' ' || line[35] != ' ' ||
        !getHex(line, 2, first) || !getHex(line, 19, second)) {
        return false;
    }
    std::string_view name;
    if (line[0] == 'F') {
        if (!getName(line.substr(36), scratch, name)) {
            return false;
        }
        const std::uint32_t file = findOrAdd(name);
        if (file == kNone) {
            return false;
        }
        setDigest(file, second);
        versions_[file] = first;
        return true;
    }
    if (line[0] != 'T') {
        return false;
    }
    std::optional<Digest> content;
    std::size_t at = 38;
    if (line.size() < 39) {
        return false;
    }
    if (line[36] != '-' || line[37] != ' ') {
        Digest digest = 0;
        if (line.size() < 54 || line[52] != ' ' || !getHex(line, 36, digest)) {
            return false;
        }
        content = digest;
        at = 53;
    }
    if (!getName(line.substr(at), scratch, name)) {
        return false;
    }
    const std::uint32_t file = findOrAdd(name);
    if (file == kNone) {
        return false;
    }
    const std::uint32_t target = targetFor(file);
    commands_[target] = first;
    inputs_[target] = second;
    versions_[file] = 0;
    if (content) {
        setDigest(file, *content);
    } else {
        flags_[file] &= static_cast<std::uint8_t>(~kKnown);
    }
    setMade(file, content);
    return true;
}

// Reads in chunks: the record is never held whole. A last line without its
// line feed was cut short by a run that stopped while writing: it is left out,
// and the record rewritten at the first write.
BuildRecord::Read BuildRecord::readFrom(std::FILE* file, std::string& detail) {
    std::string carry;
    std::string scratch;
    std::size_t number = 0;
    char chunk[65536];
    const auto take = [&](std::string_view line) {
        ++number;
        if (number > 1) {
            if (applyLine(line, scratch)) {
                return Read::Fine;
            }
            detail = "line " + std::to_string(number);
            return Read::Damaged;
        }
        if (line == kHeader) {
            return Read::Fine;
        }
        if (line.substr(0, sizeof kHeaderStem - 1) == kHeaderStem) {
            detail = std::string(line.substr(0, 80));
            return Read::OtherVersion;
        }
        detail = "line 1";
        return Read::Damaged;
    };
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got == 0) {
            if (std::ferror(file)) {
                detail = std::strerror(errno);
                return Read::Unreadable;
            }
            break;
        }
        std::string_view rest(chunk, got);
        for (std::size_t end = rest.find('\n'); end != std::string_view::npos;
             end = rest.find('\n')) {
            Read state;
            if (carry.empty()) {
                state = take(rest.substr(0, end));
            } else {
                carry.append(rest.data(), end);
                state = take(carry);
                carry.clear();
            }
            if (state != Read::Fine) {
                return state;
            }
            rest.remove_prefix(end + 1);
        }
        carry.append(rest.data(), rest.size());
    }
    if (!carry.empty()) {
        rewrite_ = true;
    }
    lines_ = number;
    return Read::Fine;
}

std::string BuildRecord::load() {
    lock_ = File(std::fopen(lockPath().c_str(), writes_ ? "ab" : "rb"));
    std::optional<FileLock> lock;
    if (lock_) {
        lock.emplace(lock_.get(), FileLock::Mode::Shared);
    }
    const File file(std::fopen(path_.c_str(), "rb"));
    if (!file) {
        if (errno == ENOENT) {
            return std::string();
        }
        rewrite_ = true;
        return said(path_, std::string("cannot be read (") + std::strerror(errno) + ")");
    }
    std::string detail;
    const Read state = readFrom(file.get(), detail);
    if (state == Read::Fine) {
        return std::string();
    }
    clear();
    lines_ = 0;
    rewrite_ = true;
    switch (state) {
    case Read::Damaged:
        return said(path_, "is damaged (" + detail + ")");
    case Read::OtherVersion:
        return said(path_, "is of another version (\"" + detail + "\")");
    default:
        return said(path_, "cannot be read (" + detail + ")");
    }
}

// --- writing ----------------------------------------------------------------------------------

void BuildRecord::fail(const std::string& reason) {
    if (failure_.empty()) {
        failure_ = "the build record " + path_ + " cannot be written: " + reason;
    }
}

void BuildRecord::append(const std::string& lines, std::size_t count) {
    if (!writes_ || !failure_.empty()) {
        return;
    }
    if (!lock_) {
        fail(std::string("cannot open ") + lockPath() + ": " + std::strerror(errno));
        return;
    }
    const FileLock lock(lock_.get(), FileLock::Mode::Exclusive);
    const Appended appended = rewrite_ ? Appended::CutShort : appendLocked(lines, count);
    if (appended == Appended::CutShort) {
        const std::string why = compactLocked(true);
        if (!why.empty()) {
            fail(why);
        }
    }
}

BuildRecord::Appended BuildRecord::appendLocked(const std::string& lines, std::size_t count) {
    const File file(std::fopen(path_.c_str(), "a+b"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        fail(std::strerror(errno));
        return Appended::Failed;
    }
    std::string text;
    if (std::ftell(file.get()) == 0) {
        text = std::string(kHeader) + "\n";
        lines_ = 1;
    } else if (std::fseek(file.get(), -1, SEEK_END) != 0 || std::fgetc(file.get()) != '\n') {
        // Another run stopped while writing; appending would glue the lines.
        return Appended::CutShort;
    }
    text += lines;
    if (std::fseek(file.get(), 0, SEEK_END) != 0 ||
        std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
        fail(std::strerror(errno));
        return Appended::Failed;
    }
    lines_ += count;
    return Appended::Done;
}

std::string BuildRecord::save() {
    if (!writes_) {
        return std::string();
    }
    std::string lines;
    std::size_t count = 0;
    for (std::uint32_t file = 0; file < flags_.size(); ++file) {
        if ((flags_[file] & kDirty) != 0) {
            putFileLine(lines, file);
            ++count;
        }
    }
    if (count > 0) {
        append(lines, count);
        for (std::uint8_t& flags : flags_) {
            flags &= static_cast<std::uint8_t>(~kDirty);
        }
    }
    // Most lines superseded: the record is written anew.
    if (failure_.empty() && lines_ > 2 * (fileCount() + targetCount()) + 1000) {
        compact();
    }
    return failure_;
}

std::string BuildRecord::compact() {
    if (!writes_ || !failure_.empty()) {
        return failure_;
    }
    if (!lock_) {
        fail(std::string("cannot open ") + lockPath() + ": " + std::strerror(errno));
        return failure_;
    }
    const FileLock lock(lock_.get(), FileLock::Mode::Exclusive);
    const std::string why = compactLocked(rewrite_);
    if (!why.empty()) {
        fail(why);
    }
    return failure_;
}

// Starts from the record as it is on disk, with what other runs appended
// since this one read it; this run's own records go on top when the disk does
// not hold them, and alone when the disk holds no record.
std::string BuildRecord::compactLocked(bool withOwn) {
    BuildRecord disk(path_, false);
    std::string detail;
    Read state = Read::Damaged;
    {
        const File file(std::fopen(path_.c_str(), "rb"));
        if (file) {
            state = disk.readFrom(file.get(), detail);
        } else if (errno == ENOENT) {
            state = Read::Fine;
        }
    }
    if (state != Read::Fine) {
        return writeWhole(*this);
    }
    if (withOwn) {
        disk.mergeOwn(*this);
    }
    return writeWhole(disk);
}

void BuildRecord::mergeOwn(const BuildRecord& own) {
    for (std::uint32_t file = 0; file < own.flags_.size(); ++file) {
        const std::uint8_t flags = own.flags_[file];
        if ((flags & (kRecorded | kDirty)) == 0) {
            continue;
        }
        const std::uint32_t mine = findOrAdd(own.nameOf(file));
        if (mine == kNone) {
            continue;
        }
        if ((flags & kRecorded) != 0) {
            const std::uint32_t target = targetFor(mine);
            commands_[target] = own.commands_[own.targetOf_[file]];
            inputs_[target] = own.inputs_[own.targetOf_[file]];
            const std::optional<Digest> content = own.madeContent(file);
            if (content) {
                setDigest(mine, *content);
            }
            versions_[mine] = 0;
            setMade(mine, content);
        }
        if ((flags & kKnown) != 0) {
            setDigest(mine, own.digests_[file]);
            versions_[mine] = (flags & kUnsettled) != 0 ? 0 : own.versions_[file];
        }
    }
}

// The temporary file is renamed over the record only once it is written
// through: whatever stops the run, the record is the old one or the new one.
std::string BuildRecord::writeWhole(const BuildRecord& source) {
    const std::string temporary = path_ + ".new";
    File out(std::fopen(temporary.c_str(), "wb"));
    if (!out) {
        return "cannot create " + temporary + ": " + std::strerror(errno);
    }
    std::string text = std::string(kHeader) + "\n";
    std::size_t count = 1;
    bool written = true;
    for (std::uint32_t file = 0; file < source.flags_.size() && written; ++file) {
        if (source.targetOf_[file] != kNone) {
            source.putTargetLine(text, file);
            ++count;
        }
        if (source.needsFileLine(file)) {
            source.putFileLine(text, file);
            ++count;
        }
        if (text.size() >= 65536) {
            written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
            text.clear();
        }
    }
    written = written && std::fwrite(text.data(), 1, text.size(), out.get()) == text.size() &&
              flushToDisk(out.get());
    int error = errno;
    if (std::fclose(out.release()) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(temporary.c_str());
        return "cannot write " + temporary + ": " + std::strerror(error);
    }
    const std::string why = replaceFile(temporary, path_);
    if (!why.empty()) {
        std::remove(temporary.c_str());
        return "cannot rename " + temporary + ": " + why;
    }
    lines_ = count;
    rewrite_ = false;
    return std::string();
}

void InputsDigest::add(std::string_view name, std::optional<BuildRecord::Digest> content) {
    hash_.addNumber(name.size());
    hash_.add(name);
    hash_.addNumber(content ? 1 : 0);
    if (content) {
        hash_.addNumber(*content);
    }
}
