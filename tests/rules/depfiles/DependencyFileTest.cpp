#include "rules/depfiles/DependencyFile.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

struct Case {
    const char* what;
    std::string content;
    Names names;
};

struct FailureCase {
    const char* what;
    std::string content;
    std::string reason;
};

// The shape MSVC writes with /sourceDependencies, around the given includes.
std::string sourceDependencies(const std::string& includes) {
    return "{\r\n    \"Version\": \"1.2\",\r\n    \"Data\": {\r\n"
           "        \"Source\": \"c:\\\\src\\\\main.c\",\r\n"
           "        \"ProvidedModule\": \"\",\r\n"
           "        \"Includes\": " +
           includes +
           ",\r\n        \"ImportedModules\": [],\r\n"
           "        \"ImportedHeaderUnits\": []\r\n    }\r\n}\r\n";
}

void writeFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

TEST(DependencyFile, ListsTheNames) {
    const Case cases[] = {
        {"gcc -MMD, continued, escaped blanks",
         "obj/main.o: src/main.c include/config.h \\\n include/my\\ header.h \\\n"
         "  /usr/include/x\\\ty.h\n",
         {"src/main.c", "include/config.h", "include/my header.h", "/usr/include/x\ty.h"}},
        {"CRLF", "a.o: a.c \\\r\n b.h\r\nb.o: b.c\r\n", {"a.c", "b.h", "b.c"}},
        {"dollars and hashes",
         "a.o: cost$$1.h a$$$$b.h lone$x.h x\\#1.h\n",
         {"cost$1.h", "a$$b.h", "lone$x.h", "x#1.h"}},
        {"comments", "# made by cc\na.o: a.c # not a name\n", {"a.c"}},
        {"drive letters and backslashes",
         "c:\\obj\\a.obj: c:\\src\\a.c C:/inc/b.h c:\\Program\\ Files\\sdk\\c.h d:\\x.h\n",
         {"c:\\src\\a.c", "C:/inc/b.h", "c:\\Program Files\\sdk\\c.h", "d:\\x.h"}},
        {"several targets", "a.o a.d: a.c a.h\n", {"a.c", "a.h"}},
        {"-MP phony rules", "a.o: a.c a.h b.h\n\na.h:\n\nb.h:\n", {"a.c", "a.h", "b.h"}},
        {"several rules, each name once",
         "a.o: a.c x.h\nb.o: b.c x.h a.c\n",
         {"a.c", "x.h", "b.c"}},
        {"separator before a continuation", "a/long/target.o: \\\n a.c\n", {"a.c"}},
        {"separator before a tab", "a.o:\ta.c", {"a.c"}},
        {"separator at the end", "a.h:", {}},
        {"backslash at the end", "a.o: a.c \\", {"a.c"}},
        // Found by fuzzing: the backslash of a continuation, or one at the
        // end, is no part of a name; a name that ends in one needs another.
        {"backslash ending a name", "a.o: dir\\\\\n b\\\\", {"dir\\", "b\\"}},
        {"double colon", "a.o:: a.c", {"a.c"}},
        {"byte-order mark",
         "\xef\xbb\xbf"
         "a.o: a.c\n",
         {"a.c"}},
        {"empty", "", {}},
        {"blanks only", " \r\n\t\n", {}},
        {"MSVC JSON",
         sourceDependencies(R"([
            "c:\\src\\config.h",
            "c:\\program files\\sdk\\include\\stdio.h",
            "c:\\src\\\"\/\t.h",
            "",
            "c:\\src\\config.h"
        ])"),
         {"c:\\src\\config.h", "c:\\program files\\sdk\\include\\stdio.h", "c:\\src\\\"/\t.h"}},
        {"JSON of every kind of value",
         R"({"Version":"1","x":[true,false,null,0,-1.5e+3,2E-2,{}],"Data":{"Includes":["a.h"]}})",
         {"a.h"}},
        {"JSON nested 100 deep",
         "{\"x\":" + std::string(99, '[') + std::string(99, ']') + ",\"Data\":{\"Includes\":[]}}",
         {}},
    };
    for (const Case& c : cases) {
        DependencyFile file;
        EXPECT_TRUE(file.parse(c.content)) << c.what << ": " << file.failure();
        EXPECT_EQ(file.names(), c.names) << c.what;
    }
}

TEST(DependencyFile, UnicodeNamesAsTheFileSystemSeesThem) {
    DependencyFile file;
    ASSERT_TRUE(file.parse(sourceDependencies(
        "[\"caf\\u00e9.h\", \"na\xc3\xafve.h\", \"\\ud83d\\ude00.h\", \"\xff.h\"]")))
        << file.failure();
#ifdef _WIN32
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the names are those of the ANSI code page 1252";
    }
    // Neither the emoji nor a byte that is no UTF-8 has a character there.
    EXPECT_EQ(file.names(), (Names{"caf\xe9.h", "na\xefve.h"}));
    EXPECT_EQ(file.passedOver(),
              (Names{"\"??.h\" has no name in the ANSI code page 1252: passed over",
                     "\"?.h\" has no name in the ANSI code page 1252: passed over"}));
#else
    EXPECT_EQ(file.names(),
              (Names{"caf\xc3\xa9.h", "na\xc3\xafve.h", "\xf0\x9f\x98\x80.h", "\xff.h"}));
    EXPECT_TRUE(file.passedOver().empty());
#endif
}

TEST(DependencyFile, SaysWhyItIsMalformed) {
    const FailureCase cases[] = {
        {"text", "just some text\n", "line 1: not a rule: no ':' after the targets"},
        {"drive letter only", "a.o: a.c\n\nc:\\x.h \\\nd.h\n",
         "line 3: not a rule: no ':' after the targets"},
        {"no target", ": a.c\n", "line 1: a rule without a target"},
        {"two separators", "a.o: b: c\n", "line 1: a second ':' in one rule"},
        {"zero byte", std::string("a.o: a\0.c", 9), "line 1: a zero byte"},
        {"truncated array", R"({"Data": {"Includes": ["a.h")",
         "line 1: the text ends where it needs ',' or ']' in an array"},
        {"truncated string", "{\"Data\":\n{\"Includes\": [\"a.h",
         "line 2: the text ends where it needs the '\"' that ends a string"},
        {"no Data", R"({"Version": "1.2"})", "no \"Data\" object"},
        {"Data not an object", R"({"Data": []})", "no \"Data\" object"},
        {"no Includes", R"({"Data": {}})", "no \"Includes\" array in \"Data\""},
        {"Includes a string", R"({"Data": {"Includes": "a.h"}})",
         "no \"Includes\" array in \"Data\""},
        {"Includes with a number", R"({"Data": {"Includes": ["a.h", 1]}})",
         "\"Includes\" holds something other than a string"},
        {"zero byte in a name", R"({"Data": {"Includes": ["a\u0000.h"]}})",
         "\"Includes\" holds a name with a zero byte"},
        {"nested 101 deep", "{\"x\":" + std::string(100, '[') + std::string(100, ']') + "}",
         "line 1: nested more than 100 levels deep"},
        {"nested without end", "{\"x\":" + std::string(100000, '['),
         "line 1: nested more than 100 levels deep"},
        {"bad escape", R"({"a": "\x"})", "line 1: expected an escape after '\\'"},
        {"lone low surrogate", R"({"a": "\udc00"})", "line 1: a low surrogate without a high one"},
        {"high surrogate alone", R"({"a": "\ud800x"})",
         "line 1: a high surrogate without a low one"},
        {"short \\u", R"({"a": "\u12"})", "line 1: expected four hexadecimal digits after '\\u'"},
        {"line end in a string", "{\"a\": \"x\ny\"}", "line 1: a control character in a string"},
        {"leading zero", R"({"a": 01})", "line 1: expected ',' or '}' in an object"},
        {"bare point", R"({"a": 1.})", "line 1: expected digits after '.'"},
        {"bare minus", R"({"a": -})", "line 1: expected a value"},
        {"trailing comma", R"({"a": [1,]})", "line 1: expected a value"},
        {"short word", R"({"a": tru})", "line 1: expected a value"},
        {"single quotes", R"({'a': 1})", "line 1: expected a member name in quotes"},
        {"no colon", R"({"a" 1})", "line 1: expected ':' after a member name"},
        {"more after the object", "{}\n{}", "line 2: more after the value"},
    };
    for (const FailureCase& c : cases) {
        DependencyFile file;
        EXPECT_FALSE(file.parse(c.content)) << c.what;
        EXPECT_EQ(file.failure(), c.reason) << c.what;
        EXPECT_TRUE(file.names().empty()) << c.what;
    }
}

TEST(DependencyFile, ReadsFilesOfAnySize) {
    TempDirectory directory;
    DependencyFile file;
    EXPECT_TRUE(file.read(directory.prefix() + "missing.d"));
    EXPECT_TRUE(file.names().empty());
    EXPECT_TRUE(file.read(directory.prefix() + "missing/x.d"));

    std::string content = "big.o:";
    for (int i = 0; i < 5000; ++i) {
        content += " \\\r\n dir/name" + std::to_string(i) + ".h";
    }
    writeFile(directory.prefix() + "big.d", content);
    ASSERT_TRUE(file.read(directory.prefix() + "big.d")) << file.failure();
    ASSERT_EQ(file.names().size(), 5000U);
    EXPECT_EQ(file.names().back(), "dir/name4999.h");

    writeFile(directory.prefix() + "bad.d", "oops\n");
    EXPECT_FALSE(file.read(directory.prefix() + "bad.d"));
    EXPECT_EQ(file.failure(), "line 1: not a rule: no ':' after the targets");
    EXPECT_TRUE(file.names().empty());

    // A directory cannot be read as a file on any system, though not all
    // refuse it at the same step.
    std::string self = directory.prefix();
    self.pop_back();
    EXPECT_FALSE(file.read(self));
    EXPECT_EQ(file.failure().rfind("cannot be ", 0), 0U) << file.failure();
}

} // namespace
