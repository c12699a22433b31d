#include "exec/BuildRecord.h"
#include "containers/ContentHash.h"
#include "support/FakePlatform.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using Names = std::vector<std::string>;
using Made = BuildRecord::Made;

constexpr FileTime kSecond = kFileTimeUnitsPerSecond;

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool sameMade(const std::optional<Made>& a, const std::optional<Made>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->command == b->command && a->inputs == b->inputs && a->content == b->content));
}

class BuildRecordTest : public ::testing::Test {
  protected:
    BuildRecordTest() : path(directory.prefix() + "record") {
        fake.clock = 100 * kSecond; // files written at 10 s are settled by then
    }
    void file(const std::string& name, const std::string& content, FileTime time = 10 * kSecond) {
        fake.times[name] = time;
        fake.contents[name] = content;
    }
    std::optional<BuildRecord::Content> content(BuildRecord& record, const std::string& name) {
        return record.contentOf(name, fake.fileStamp(name), fake);
    }

    TempDirectory directory;
    std::string path;
    FakePlatform fake;
};

// Every kind of entry comes back as it was written, appended or rewritten.
TEST_F(BuildRecordTest, RoundTrip) {
    const Names names = {"app.exe", "odd 100%\nname\r", "made-nothing", "edited"};
    file(names[0], "program");
    file(names[1], "odd");
    file("main.c", "int main;");
    file(names[3], "as made");
    {
        BuildRecord record(path, true);
        ASSERT_EQ(record.load(), "");
        EXPECT_TRUE(content(record, "main.c")->changed); // unknown to the record
        InputsDigest inputs;
        inputs.add("main.c", content(record, "main.c")->digest);
        record.update(names[0], 1, inputs.value(), content(record, names[0])->digest);
        record.update(names[1], 2, 22, content(record, names[1])->digest);
        record.update(names[2], 3, 33, std::nullopt);
        record.update(names[3], 4, 44, content(record, names[3])->digest);
        file(names[3], "edited by hand", 20 * kSecond); // the target's made content stays apart
        EXPECT_TRUE(content(record, names[3])->changed);
        EXPECT_EQ(record.save(), "");
    }
    std::vector<std::optional<Made>> expected = {
        Made{1, 0, ContentHash::of("program")}, Made{2, 22, ContentHash::of("odd")},
        Made{3, 33, std::nullopt}, Made{4, 44, ContentHash::of("as made")}};
    InputsDigest inputs;
    inputs.add("main.c", ContentHash::of("int main;"));
    expected[0]->inputs = inputs.value();
    for (const bool compacted : {false, true}) {
        BuildRecord record(path, true);
        ASSERT_EQ(record.load(), "");
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(sameMade(record.target(names[i]), expected[i])) << names[i] << compacted;
        }
        EXPECT_FALSE(record.target("main.c"));
        fake.digestReads.clear();
        EXPECT_EQ(content(record, "main.c")->digest, ContentHash::of("int main;"));
        EXPECT_FALSE(content(record, names[3])->changed);
        EXPECT_EQ(fake.digestReads, Names{}) << compacted;
        EXPECT_EQ(record.compact(), "");
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

// A damaged record, one of another version or one that cannot be read is
// said once and started anew; a line cut short by a stopped run is not
// damage. Either way the next write leaves a record that reads cleanly.
TEST_F(BuildRecordTest, DamagedOtherVersionUnreadableAndCutShort) {
    const std::string header = "tarvo build record 1\n";
    const std::string line = "T 0000000000000001 0000000000000002 - 0000000000000000 kept\n";
    const struct {
        std::string text; // std::nullopt-like: "/" makes the record a directory
        std::string said;
        Names kept;
    } cases[] = {
        {"garbage\n", "is damaged (line 1)", {}},
        {header + line + "T 0000000000000001 zz - bad\n", "is damaged (line 3)", {}},
        // Next to the digits: ':' after '9', '`' before 'a', 'g' after 'f', capitals.
        {header + "F 000000000000000: 0000000000000000 x\n", "is damaged (line 2)", {}},
        {header + "F 0000000000000000 `000000000000000 x\n", "is damaged (line 2)", {}},
        {header + "F 0000000000000000 00000000g0000000 x\n", "is damaged (line 2)", {}},
        {header + "F 00000000000000A0 0000000000000000 x\n", "is damaged (line 2)", {}},
        {header + line + "F 0000000000000001 0000000000000002 cr\r\n", "is damaged (line 3)", {}},
        {"tarvo build record 2\n" + line, "is of another version (\"tarvo build record 2\")", {}},
        {"/", "cannot be read", {}},
        {header + line + "T 00000000000000", "", {"kept"}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(path);
        if (c.text == "/") {
            std::filesystem::create_directory(path);
        } else {
            writeText(path, c.text);
        }
        {
            BuildRecord record(path, true);
            const std::string said = record.load();
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
            EXPECT_EQ(said.empty(), c.said.empty()) << said;
            EXPECT_EQ(record.targetCount(), c.kept.size()) << c.text;
            if (c.text == "/") {
                record.update("new", 5, 6, std::nullopt);
                EXPECT_NE(record.save().find("cannot be written"), std::string::npos);
                continue;
            }
            record.update("new", 5, 6, std::nullopt);
            EXPECT_EQ(record.save(), "");
        }
        BuildRecord again(path, false);
        EXPECT_EQ(again.load(), "") << c.text;
        EXPECT_EQ(again.targetCount(), c.kept.size() + 1) << c.text;
        EXPECT_EQ(readText(path).substr(0, header.size()), header);
    }
    // Replaced even by a run that made nothing.
    writeText(path, "garbage\n");
    {
        BuildRecord record(path, true);
        EXPECT_NE(record.load(), "");
        EXPECT_EQ(record.save(), "");
    }
    EXPECT_EQ(readText(path), header);
    // Cut short by another run after this one read it.
    std::filesystem::remove_all(path);
    BuildRecord record(path, true);
    ASSERT_EQ(record.load(), "");
    record.update("first", 1, 1, std::nullopt);
    std::ofstream(path, std::ios::binary | std::ios::app) << "T 00000000";
    record.update("second", 2, 2, std::nullopt);
    BuildRecord again(path, false);
    EXPECT_EQ(again.load(), "");
    EXPECT_EQ(again.targetCount(), 2u);
}

// A file is read only when its stamp moved, and once in a run; one written in
// the last seconds is read again in the next run.
TEST_F(BuildRecordTest, LazyDigests) {
    file("settled", "s");
    file("fresh", "f", fake.clock - kSecond);
    const struct {
        std::function<void()> change;
        Names read;
        Names changed;
    } runs[] = {
        {[] {}, {"settled", "fresh"}, {"settled", "fresh"}},
        {[] {}, {"fresh"}, {}},
        {[] {}, {}, {}},
        {[&] { fake.times["settled"] += kSecond; }, {"settled"}, {}}, // touched
        {[&] { fake.identities["settled"] = 9; }, {"settled"}, {}},   // copied over
        {[&] { file("settled", "S", 30 * kSecond); }, {"settled"}, {"settled"}},
        {[&] { fake.times.erase("settled"); }, {}, {}}, // gone
    };
    for (const auto& run : runs) {
        run.change();
        fake.digestReads.clear();
        BuildRecord record(path, true);
        ASSERT_EQ(record.load(), "");
        Names changed;
        for (int twice = 0; twice < 2; ++twice) {
            for (const std::string name : {"settled", "fresh"}) {
                const auto found = content(record, name);
                ASSERT_EQ(found.has_value(), fake.times.count(name) == 1);
                if (found) {
                    EXPECT_EQ(found->digest, ContentHash::of(fake.contents[name]));
                    if (found->changed && twice == 0) {
                        changed.push_back(name);
                    }
                }
            }
        }
        EXPECT_EQ(fake.digestReads, run.read);
        EXPECT_EQ(changed, run.changed);
        EXPECT_EQ(record.save(), "");
        fake.clock += 10 * kSecond;
    }
}

// The record is never torn: a rewrite that fails leaves the old one whole, and
// a run that stops without saving keeps the targets it finished.
TEST_F(BuildRecordTest, FailedRewriteAndStoppedRunKeepTheRecord) {
    std::vector<std::function<void(const std::string&)>> failures = {
        [](const std::string& place) { std::filesystem::create_directory(place); },
    };
#ifndef _WIN32
    // A full disk, halfway through the writing.
    failures.push_back(
        [](const std::string& place) { ASSERT_EQ(symlink("/dev/full", place.c_str()), 0); });
#endif
    for (const auto& failure : failures) {
        std::filesystem::remove_all(path);
        std::filesystem::remove_all(path + ".new");
        {
            BuildRecord record(path, true);
            ASSERT_EQ(record.load(), "");
            for (int i = 0; i < 100; ++i) {
                record.update("t" + std::to_string(i), i, i, std::nullopt);
            }
            // No save: the run stops here.
        }
        const std::string before = readText(path);
        failure(path + ".new");
        BuildRecord record(path, true);
        ASSERT_EQ(record.load(), "");
        EXPECT_EQ(record.targetCount(), 100u);
        EXPECT_NE(record.compact().find("cannot be written"), std::string::npos);
        EXPECT_EQ(readText(path), before);
    }
}

// Two runs at once keep every target of both, while each rewrites the record
// now and then.
TEST_F(BuildRecordTest, TwoRunsAtOnce) {
    const auto run = [this](const std::string& prefix) {
        BuildRecord record(path, true);
        EXPECT_EQ(record.load(), "");
        for (int i = 0; i < 200; ++i) {
            record.update(prefix + std::to_string(i), i, 1, std::nullopt);
            if (i % 100 == 99) {
                EXPECT_EQ(record.compact(), "");
            }
        }
        EXPECT_EQ(record.save(), "");
    };
    std::thread first(run, "a");
    std::thread second(run, "b");
    first.join();
    second.join();
    BuildRecord record(path, false);
    ASSERT_EQ(record.load(), "");
    EXPECT_EQ(record.targetCount(), 400u);
    for (int i = 0; i < 200; ++i) {
        for (const std::string prefix : {"a", "b"}) {
            ASSERT_TRUE(record.target(prefix + std::to_string(i))) << prefix << i;
            EXPECT_EQ(record.target(prefix + std::to_string(i))->command, std::uint64_t(i));
        }
    }
}

} // namespace
