#include "exec/BuildRecord.h"
#include "containers/ContentHash.h"

#include "platform/FileLock.h"
#include "platform/Platform.h"
#include "platform/PlatformConventions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
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

// The record is read a piece at a time; a piece is on the stack for the
// run's lifetime in memory, and a larger one reads no faster.
constexpr std::size_t kChunk = 16384;

void putHex(std::string& out, std::uint64_t value) {
    char text[16];
    for (int i = 15; i >= 0; --i) {
        text[i] = kHexDigits[value & 15];
        value >>= 4;
    }
    out.append(text, 16);
}

// The value of each lowercase hex digit, and 16 for every other byte.
struct HexDigits {
    unsigned char value[256];
    constexpr HexDigits() : value() {
        for (int c = 0; c < 256; ++c) {
            value[c] = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 16;
        }
    }
};
constexpr HexDigits kHex;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndian = true;
#else
constexpr bool kBigEndian = false;
#endif

// Eight lowercase hex digits in the bytes of a word, the first in the lowest
// byte, as their value; false when one is not such a digit. All eight at once:
// the record's digits are most of what a run reads of it.
bool eightDigits(std::uint64_t word, std::uint32_t& value) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t letter = (word >> 6) & kOnes; // bit 6: 'a'-'f'
    const std::uint64_t nibble = (word & (kOnes * 0x0f)) + letter * 9;
    // A digit's nibble is at most 9, a letter's from 10 to 15; the high half
    // of a byte is 3 for digits and 6 for letters.
    if ((word & (kOnes * 0xf0)) != kOnes * 0x30 + letter * 0x30 ||
        ((nibble + kOnes * 6) & (kOnes * 0x10)) != letter << 4 || (nibble & (kOnes * 0xf0)) != 0) {
        return false;
    }
    // Pairs of nibbles to bytes, bytes to halves, halves to the whole.
    std::uint64_t v =
        ((nibble & 0x000f000f000f000fULL) << 4) | ((nibble >> 8) & 0x000f000f000f000fULL);
    v = ((v & 0x000000ff000000ffULL) << 8) | ((v >> 16) & 0x000000ff000000ffULL);
    value = static_cast<std::uint32_t>(((v & 0xffff) << 16) | ((v >> 32) & 0xffff));
    return true;
}

bool getHex(std::string_view text, std::size_t at, std::uint64_t& value) {
    if (text.size() < at + 16) {
        return false;
    }
    const char* p = text.data() + at;
    if (!kBigEndian) {
        std::uint64_t words[2];
        std::memcpy(words, p, 16);
        std::uint32_t high = 0;
        std::uint32_t low = 0;
        if (!eightDigits(words[0], high) || !eightDigits(words[1], low)) {
            return false;
        }
        value = (std::uint64_t(high) << 32) | low;
        return true;
    }
    std::uint64_t result = 0;
    for (int i = 0; i < 16; ++i) {
        const unsigned digit = kHex.value[static_cast<unsigned char>(p[i])];
        if (digit > 15) {
            return false;
        }
        result = (result << 4) | digit;
    }
    value = result;
    return true;
}

// Names end their line: a line feed, carriage return or percent sign in one
// is written as "%0A", "%0D" or "%25".
void putName(std::string& out, std::string_view name) {
    for (std::size_t at = name.find_first_of("%\n\r"); at != std::string_view::npos;
         at = name.find_first_of("%\n\r")) {
        const auto c = static_cast<unsigned char>(name[at]);
        out.append(name.data(), at);
        out += '%';
        out += "0123456789ABCDEF"[c >> 4];
        out += "0123456789ABCDEF"[c & 15];
        name.remove_prefix(at + 1);
    }
    out.append(name.data(), name.size());
}

int escapeDigit(char c) {
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    const unsigned digit = kHex.value[static_cast<unsigned char>(c)];
    return digit < 16 ? static_cast<int>(digit) : -1;
}

bool getName(std::string_view text, std::string& scratch, std::string_view& name) {
    bool escaped = false;
    for (const char c : text) {
        if (c == '\r') {
            return false;
        }
        escaped = escaped || c == '%';
    }
    if (!escaped) {
        name = text;
        return !text.empty();
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

// Names are short: a loop beats a call of memcmp.
bool sameBytes(const char* stored, std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (stored[i] != name[i]) {
            return false;
        }
    }
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

namespace {

// Where a name goes in the table, asked for every file a run looks at: eight
// bytes a step, each step a multiply and a shift. Not kept anywhere, so it
// may differ between machines.
std::uint64_t slotHash(std::string_view name) {
    std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ name.size();
    const char* p = name.data();
    std::size_t left = name.size();
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        hash = (hash ^ word) * 0xff51afd7ed558ccdULL;
        hash ^= hash >> 32;
    }
    if (left > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, left);
        hash = (hash ^ word) * 0xc4ceb9fe1a85ec53ULL;
        hash ^= hash >> 29;
    }
    hash *= 0x9e3779b97f4a7c15ULL;
    return hash ^ (hash >> 32);
}

} // namespace

std::uint32_t BuildRecord::find(std::string_view name) const {
    return slots_.empty() ? kNone : slots_[slotOf(name, slotHash(name))] - 1;
}

// The slot holding the name, or the empty one where it would go.
std::size_t BuildRecord::slotOf(std::string_view name, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i] != 0) {
        const std::uint32_t file = slots_[i] - 1;
        const std::uint32_t begin = file == 0 ? 0 : nameEnds_[file - 1];
        if (nameEnds_[file] - begin == name.size() && sameBytes(names_.data() + begin, name)) {
            break;
        }
        i = (i + 1) & mask;
    }
    return i;
}

// Room for `files` names, filled up to four fifths (a flat build's 200,001
// names fit 262,144 slots).
void BuildRecord::sizeSlots(std::size_t files) {
    std::size_t size = 64;
    while (files * 5 > size * 4) {
        size *= 2;
    }
    std::vector<std::uint32_t> slots(size, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t file = 0; file < digests_.size(); ++file) {
        std::size_t i = slotHash(nameOf(file)) & mask;
        while (slots[i] != 0) {
            i = (i + 1) & mask;
        }
        slots[i] = file + 1;
    }
    slots_.swap(slots);
}

// kNone only when the names outgrow what an index can reach (4 GiB).
std::uint32_t BuildRecord::findOrAdd(std::string_view name) {
    const std::uint64_t hash = slotHash(name);
    std::size_t free = 0;
    if (!slots_.empty()) {
        free = slotOf(name, hash);
        if (slots_[free] != 0) {
            return slots_[free] - 1;
        }
    }
    if (names_.size() + name.size() >= kNone || digests_.size() + 1 >= kNone) {
        return kNone;
    }
    std::size_t slot = free;
    if ((digests_.size() + 1) * 5 > slots_.size() * 4) {
        sizeSlots(2 * (digests_.size() + 1));
        slot = slotOf(name, hash);
    }
    const auto file = static_cast<std::uint32_t>(digests_.size());
    names_.append(name.data(), name.size());
    nameEnds_.push_back(static_cast<std::uint32_t>(names_.size()));
    digests_.push_back(0);
    versions_.push_back(0);
    flags_.push_back(0);
    targetOf_.push_back(kNone);
    slots_[slot] = file + 1;
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
    if (!madeContents_.empty()) {
        madeContents_.erase(target);
    }
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

std::optional<BuildRecord::Content> BuildRecord::contentOf(std::string_view name,
                                                           const FileStamp& now, Platform& platform,
                                                           bool justMade) {
    if (!now.exists()) {
        return std::nullopt;
    }
    const std::uint32_t file = find(name);
    if (file != kNone && (flags_[file] & kKnown) != 0 && versions_[file] != 0 &&
        versions_[file] == now.version) {
        return Content{digests_[file], (flags_[file] & kChanged) != 0};
    }
    return readContent(name, file, platform, justMade);
}

bool BuildRecord::knows(std::string_view name) const {
    const std::uint32_t file = find(name);
    return file != kNone && (flags_[file] & kKnown) != 0;
}

std::optional<BuildRecord::Content> BuildRecord::contentRead(std::string_view name,
                                                             Platform& platform, bool justMade) {
    return readContent(name, find(name), platform, justMade);
}

std::optional<BuildRecord::Content> BuildRecord::readContent(std::string_view name,
                                                             std::uint32_t file, Platform& platform,
                                                             bool justMade) {
    const std::optional<FileDigest> read = platform.fileDigest(std::string(name));
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
    const bool settled =
        justMade || (read->readAt >= written && read->readAt - written >= kSettling);
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
    // The target's line says what the file's line would.
    if ((flags_[file] & kSameContent) != 0) {
        flags_[file] &= static_cast<std::uint8_t>(~kDirty);
    }
    std::string line;
    putTargetLine(line, file);
    append(line, 1);
}

// --- the lines --------------------------------------------------------------------------------

// The version kept across runs: none for a file written too recently.
std::uint64_t BuildRecord::keptVersion(std::uint32_t file) const {
    return (flags_[file] & kUnsettled) != 0 ? 0 : versions_[file];
}

void BuildRecord::putFileLine(std::string& out, std::uint32_t file) const {
    out += "F ";
    putHex(out, keptVersion(file));
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
    putHex(out, (flags_[file] & kSameContent) != 0 ? keptVersion(file) : 0);
    out += ' ';
    putName(out, nameOf(file));
    out += '\n';
}

// A target's line gives its file the content it was made with: a file line
// follows where the file holds another by now.
bool BuildRecord::needsFileLine(std::uint32_t file) const {
    return (flags_[file] & kKnown) != 0 &&
           (targetOf_[file] == kNone || (flags_[file] & kSameContent) == 0);
}

bool BuildRecord::applyLine(std::string_view line, std::string& scratch) {
    // "F version digest name" and "T command inputs content version name",
    // where the content may be "-".
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
    if (line.size() < 38) {
        return false;
    }
    if (line[36] != '-' || line[37] != ' ') {
        Digest digest = 0;
        if (line.size() < 53 || line[52] != ' ' || !getHex(line, 36, digest)) {
            return false;
        }
        content = digest;
        at = 53;
    }
    std::uint64_t version = 0;
    if (line.size() < at + 18 || line[at + 16] != ' ' || !getHex(line, at, version) ||
        !getName(line.substr(at + 17), scratch, name)) {
        return false;
    }
    const std::uint32_t file = findOrAdd(name);
    if (file == kNone) {
        return false;
    }
    const std::uint32_t target = targetFor(file);
    commands_[target] = first;
    inputs_[target] = second;
    versions_[file] = version;
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
    char chunk[kChunk];
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
    // Counted first, so that the tables are made to size once and never
    // grow by doubling, which would hold up to twice their size for a moment:
    // each line holds one name, and a rewritten record each name once.
    std::size_t lines = 0;
    std::size_t targets = 0;
    std::size_t nameBytes = 0;
    {
        const auto count = [&](std::string_view line) {
            ++lines;
            // Where the name begins: after "F v d ", or "T c i - v " or "T c i n v ".
            std::size_t at = 36;
            if (line.size() > 36 && line[0] == 'T') {
                ++targets;
                at = line[36] == '-' ? 55 : 70;
            }
            nameBytes += line.size() > at ? line.size() - at : 0;
        };
        char chunk[kChunk];
        std::string partial;
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
            const char* begin = chunk;
            const char* const end = chunk + got;
            for (const char* at;
                 (at = static_cast<const char*>(std::memchr(begin, '\n', end - begin))) != nullptr;
                 begin = at + 1) {
                if (partial.empty()) {
                    count(std::string_view(begin, at - begin));
                } else {
                    partial.append(begin, at - begin);
                    count(partial);
                    partial.clear();
                }
            }
            partial.append(begin, end - begin);
        }
        std::rewind(file.get());
    }
    names_.reserve(nameBytes);
    nameEnds_.reserve(lines);
    digests_.reserve(lines);
    versions_.reserve(lines);
    flags_.reserve(lines);
    targetOf_.reserve(lines);
    commands_.reserve(targets);
    inputs_.reserve(targets);
    sizeSlots(lines);
    std::string detail;
    const Read state = readFrom(file.get(), detail);
    if (state == Read::Fine) {
        if (slots_.size() > 64 && fileCount() * 5 * 2 <= slots_.size() * 4) {
            sizeSlots(fileCount()); // most lines were superseded ones
        }
        // Sized by the lines: where most were superseded ones, much of it
        // would lie unused for the run.
        if (fileCount() * 2 < lines) {
            names_.shrink_to_fit();
            nameEnds_.shrink_to_fit();
            digests_.shrink_to_fit();
            versions_.shrink_to_fit();
            flags_.shrink_to_fit();
            targetOf_.shrink_to_fit();
        }
        if (targetCount() * 2 < targets) {
            commands_.shrink_to_fit();
            inputs_.shrink_to_fit();
        }
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

bool BuildRecord::openLock() {
    if (!lock_) {
        lock_ = File(std::fopen(lockPath().c_str(), "ab"));
    }
    if (!lock_) {
        fail(std::string("cannot open ") + lockPath() + ": " + std::strerror(errno));
    }
    return static_cast<bool>(lock_);
}

void BuildRecord::fail(const std::string& reason) {
    if (failure_.empty()) {
        failure_ = "the build record " + path_ + " cannot be written: " + reason;
    }
}

void BuildRecord::append(const std::string& lines, std::size_t count) {
    if (!writes_ || !failure_.empty()) {
        return;
    }
    if (!openLock()) {
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

namespace {

// The size of the file at the path; -1 when there is none. One query of the
// file system, where seeking a stream can take several.
long sizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long>(size);
}

// Whether the file's last byte is a line feed.
bool endsWithLineFeed(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    return file && std::fseek(file.get(), -1, SEEK_END) == 0 && std::fgetc(file.get()) == '\n';
}

} // namespace

long BuildRecord::lockGeneration() const {
    return sizeOf(lockPath());
}

BuildRecord::Appended BuildRecord::appendLocked(const std::string& lines, std::size_t count) {
    // Held open from one append to the next where the system allows, since
    // opening it again for each target costs more than the line. Every
    // rewrite leaves a byte in the lock file: the record held open is then no
    // longer the one that the path names, whose size is then ours.
    const long generation = lockGeneration();
    if (appending_ && generation != appendingGeneration_) {
        appending_ = File();
    }
    if (!appending_) {
        appending_ = File(std::fopen(path_.c_str(), "ab"));
        if (!appending_) {
            fail(std::strerror(errno));
            return Appended::Failed;
        }
        appendingGeneration_ = generation;
        appendedEnd_ = -1;
    }
    const long end = sizeOf(path_);
    std::string text;
    if (end <= 0) {
        text = std::string(kHeader) + "\n";
        lines_ = 1;
    } else if (end != appendedEnd_ && !endsWithLineFeed(path_)) {
        // Another run stopped while writing; appending would glue the lines.
        return Appended::CutShort;
    }
    text += lines;
    if (std::fwrite(text.data(), 1, text.size(), appending_.get()) != text.size() ||
        std::fflush(appending_.get()) != 0) {
        fail(std::strerror(errno));
        appending_ = File();
        return Appended::Failed;
    }
    appendedEnd_ = std::max(end, 0L) + static_cast<long>(text.size());
    lines_ += count;
    if (!openFilesCanBeReplaced()) {
        appending_ = File();
    }
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
    // A record found damaged is replaced even when the run made nothing, and
    // one with a fifth of its lines superseded is written anew (compact, it
    // holds a line a file): each run loads every line, and a run that read
    // every source again, after a touch, would otherwise leave the next
    // no-ops half as many lines again to load.
    if (failure_.empty() && (rewrite_ || lines_ > fileCount() + fileCount() / 4 + 1000)) {
        compact();
    }
    return failure_;
}

std::string BuildRecord::compact() {
    if (!writes_ || !failure_.empty()) {
        return failure_;
    }
    if (!openLock()) {
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
            versions_[mine] = own.keptVersion(file);
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
    // Not held open while it is replaced; and other runs learn of it.
    appending_ = File();
    const std::string why = replaceFile(temporary, path_);
    if (!why.empty()) {
        std::remove(temporary.c_str());
        return "cannot rename " + temporary + ": " + why;
    }
    if (lock_) {
        std::fputc('\n', lock_.get());
        std::fflush(lock_.get());
    }
    lines_ = count;
    rewrite_ = false;
    return std::string();
}

void InputsDigest::add(std::string_view name, std::optional<BuildRecord::Digest> content) {
    // Gathered in a buffer and hashed a buffer at a time: most names are
    // short, and the hash pays for each piece it is given.
    const std::size_t need = 17 + name.size();
    if (used_ + need > sizeof buffer_) {
        hash_.add(buffer_, used_);
        used_ = 0;
    }
    const std::uint64_t fields[2] = {name.size(), content ? *content : 0};
    const auto putNumber = [this](std::uint64_t number) {
        for (int i = 0; i < 8; ++i) {
            buffer_[used_++] = static_cast<unsigned char>((number >> (8 * i)) & 0xff);
        }
    };
    if (need > sizeof buffer_) {
        putNumber(fields[0]);
        hash_.add(buffer_, used_);
        used_ = 0;
        hash_.add(name);
    } else {
        putNumber(fields[0]);
        std::memcpy(buffer_ + used_, name.data(), name.size());
        used_ += name.size();
    }
    buffer_[used_++] = content ? 1 : 0;
    putNumber(fields[1]);
}

BuildRecord::Digest InputsDigest::value() const {
    ContentHash hash = hash_;
    hash.add(buffer_, used_);
    return hash.value();
}
