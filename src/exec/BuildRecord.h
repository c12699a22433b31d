#pragma once

#include "containers/ContentHash.h"
#include "platform/File.h"
#include "platform/FileStamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class Platform;

// The record that TARVO_RECORD names (docs/record.md): for every target made,
// digests of the command text it ran, of what it was made from and of its
// content; for every file, its last digest with the version of the file it
// was taken from, so that a file is read again only when it changed. Loaded
// once per run; a target is appended the moment its commands have all ended,
// so that a run stopped at any point keeps what it finished; lines that later
// ones supersede are dropped by a rewrite, a temporary file renamed over the
// record. Runs sharing the record take turns through a lock on "PATH.lock".
class BuildRecord {
  public:
    using Digest = std::uint64_t;

    // What the record knows of a target.
    struct Made {
        Digest command = 0;            // of the text of its job (Rule::commandDigest)
        Digest inputs = 0;             // of its dependencies (InputsDigest)
        std::optional<Digest> content; // of the target after its commands; none: no file
    };

    // A file's content now.
    struct Content {
        Digest digest = 0;
        // Other than the record held when the run began, or a file it did not know.
        bool changed = false;
    };

    // `writes` false: read and never written, by a run that only looks.
    BuildRecord(std::string path, bool writes);
    BuildRecord(const BuildRecord&) = delete;
    BuildRecord& operator=(const BuildRecord&) = delete;

    // Reads the record, once, before anything else. A missing record is an
    // empty one. A damaged record, one of another version or one that cannot
    // be read leaves it empty, to be replaced at the first write; the text
    // says so, to be said once. Empty text otherwise.
    std::string load();

    std::optional<Made> target(std::string_view name) const;

    // The content of the file whose stamp, taken just now, is given: read
    // only when the stamp differs from the one of the digest the record holds.
    // Nothing when there is no file or it cannot be read. A file written in
    // the last seconds is trusted unread within the run only: a later write in
    // the same unit of file time would leave its stamp as it is.
    // `justMade`: the commands that wrote the file have just ended, so that
    // nothing else writes it; its version is kept across runs at once.
    std::optional<Content> contentOf(std::string_view name, const FileStamp& now,
                                     Platform& platform, bool justMade = false);
    // The content, read now: for a file that the record does not know, or
    // one just written, whose stamp would only say that it is to be read.
    std::optional<Content> contentRead(std::string_view name, Platform& platform,
                                       bool justMade = false);
    // Whether the record holds a digest of the file.
    bool knows(std::string_view name) const;

    // Records a target whose commands have all ended, written out at once.
    // `content` is what contentOf gives for it after the commands.
    void update(const std::string& name, Digest command, Digest inputs,
                std::optional<Digest> content);

    // Writes what is left to write (files read again) and rewrites the record
    // when most of its lines are superseded. The empty text, or why the record
    // could not be written (the first failure of the run, updates included).
    std::string save();
    // Rewrites the record as one line per target and file now.
    std::string compact();

    std::size_t targetCount() const { return commands_.size(); }
    std::size_t fileCount() const { return digests_.size(); }
    // Lines in the record file, as far as this run knows.
    std::size_t lineCount() const { return lines_; }

    static Digest commandDigest(std::string_view text) { return ContentHash::of(text); }

  private:
    static constexpr std::uint32_t kNone = 0xffffffffU;

    std::uint32_t find(std::string_view name) const;
    std::size_t slotOf(std::string_view name, std::uint64_t hash) const;
    std::uint32_t findOrAdd(std::string_view name);
    std::string_view nameOf(std::uint32_t file) const;
    void sizeSlots(std::size_t files);
    std::uint32_t targetFor(std::uint32_t file);
    void setDigest(std::uint32_t file, Digest digest);
    void setMade(std::uint32_t file, std::optional<Digest> content);

    std::optional<Digest> madeContent(std::uint32_t file) const;
    std::optional<Content> readContent(std::string_view name, std::uint32_t file,
                                       Platform& platform, bool justMade);
    void clear();

    enum class Read { Fine, Damaged, OtherVersion, Unreadable };
    Read readFrom(std::FILE* file, std::string& detail);
    bool applyLine(std::string_view line, std::string& scratch);
    void mergeOwn(const BuildRecord& own);

    std::uint64_t keptVersion(std::uint32_t file) const;
    void putFileLine(std::string& out, std::uint32_t file) const;
    void putTargetLine(std::string& out, std::uint32_t file) const;
    bool needsFileLine(std::uint32_t file) const;
    std::string lockPath() const { return path_ + ".lock"; }
    enum class Appended { Done, CutShort, Failed };
    void append(const std::string& lines, std::size_t count);
    Appended appendLocked(const std::string& lines, std::size_t count);
    std::string compactLocked(bool withOwn);
    std::string writeWhole(const BuildRecord& source);
    bool openLock();
    void fail(const std::string& reason);

    // The size of the lock file, which each rewrite of the record grows.
    long lockGeneration() const;

    std::string path_;
    bool writes_;
    File lock_; // "PATH.lock", open for the run
    // The record as appended to, held open between appends where the system
    // allows; the lock file's size when it was opened, and where this run's
    // last line ended.
    File appending_;
    long appendingGeneration_ = -1;
    long appendedEnd_ = -1;
    // The lines on disk do not hold this run's records: a damaged record or
    // a line cut short must be rewritten, not appended to.
    bool rewrite_ = false;
    std::string failure_;
    std::size_t lines_ = 0; // lines of the record file, as far as this run knows

    // Files, by index: names back to back, each ending where the next begins.
    std::string names_;
    std::vector<std::uint32_t> nameEnds_;
    std::vector<Digest> digests_;
    std::vector<std::uint64_t> versions_; // 0: not known
    std::vector<std::uint8_t> flags_;
    std::vector<std::uint32_t> targetOf_; // kNone when not a target
    // Open addressing over the files: index + 1, 0 when empty.
    std::vector<std::uint32_t> slots_;

    // Targets, by index.
    std::vector<Digest> commands_;
    std::vector<Digest> inputs_;
    // The content a target was made with, where it is not its file's digest.
    std::unordered_map<std::uint32_t, Digest> madeContents_;
};

// The digest of what a target is made from: the names of its dependencies in
// their order (those that dependency files list included), each with its
// content or the want of one.
class InputsDigest {
  public:
    void add(std::string_view name, std::optional<BuildRecord::Digest> content);
    BuildRecord::Digest value() const;

  private:
    // Each dependency: its name's length, the name, whether it has content,
    // and the content's digest, eight bytes a number, low byte first.
    ContentHash hash_;
    unsigned char buffer_[1024];
    std::size_t used_ = 0;
};
