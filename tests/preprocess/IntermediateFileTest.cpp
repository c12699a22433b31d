#include "preprocess/IntermediateFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Record {
    std::string fileName;
    long line;
    std::string text;
};

// Names with commas, bars and digits after them must come back as written,
// also where one name is the start of another's record.
TEST(IntermediateFile, RecordsComeBackAsWritten) {
    const std::vector<Record> written = {
        {"makefile", 12, "app: x"},
        {"inc\\d.mak", 3, "\ta\\"},
        {"mk", 4, ""},
        {"odd,name", 5, "t|u"},
        {"v2,0|x/r.mak", 3, "a,b|c"},
        {"a,1", 2, "c"},
        {"a,1,2|b", 3, "x"},
        {"a,1", -4, ""},
        {"a", 1, ",|x"},
        {"plain", 7, "t,1|"},
    };
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::tmpfile(), std::fclose);
    ASSERT_NE(stream, nullptr);
    IntermediateFile file(stream.get());
    for (const Record& record : written) {
        file.writeRecord(record.fileName, record.line, record.text);
    }
    ASSERT_TRUE(file.finish());
    IntermediateFile::Records records(file);
    for (const Record& record : written) {
        const std::string* text = records.next();
        ASSERT_NE(text, nullptr) << record.fileName;
        EXPECT_EQ(*text, record.text) << record.fileName;
        EXPECT_EQ(records.fileName(), record.fileName);
        EXPECT_EQ(records.lineText(), std::to_string(record.line)) << record.fileName;
    }
    EXPECT_EQ(records.next(), nullptr);
}

} // namespace
