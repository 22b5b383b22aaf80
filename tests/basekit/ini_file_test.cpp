#include <gtest/gtest.h>

#include <string>

#include "basekit/file_manage.h"
#include "test_support.h"

using namespace basekit_test;

namespace {

// A hand-made file of the dialect: sections run until "[END]" or the end of
// the file, "//" starts a comment in a value, names compare exactly.
const char kFixture[] =
    "; written by hand\n"
    "port = 1\n"
    "[NET]\n"
    "  port\t =  8000   // the service port\n"
    "host=camera.local\n"
    "Empty =\n"
    "ratio = 0.75\n"
    "count = 12abc\n"
    "notanumber = abc\n"
    "url = http://x/y // a comment after a value that holds //\n"
    "this line has no equals sign\n"
    "[VIDEO]\n"
    "fps = 25\r\n"
    "[END]\n"
    "after = never\n"
    "[AA]\n"
    "only = in a\n"
    "[BB]\n"
    "late = found across sections\n"
    "[X]\n"
    "single = unreachable\n";

class IniDialect : public testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("settings.ini");
        writeText(path_, kFixture);
        ini_.set_filename(path_.c_str());
    }
    std::string value(const char *section, const char *key) {
        char text[128] = "untouched";
        return ini_.ReadKeyValue(section, key, text) ? std::string(text) : std::string("<none>");
    }

    TempDir dir_;
    std::string path_;
    IniFile ini_;
};

}  // namespace

TEST_F(IniDialect, ValuesOfTheDialect) {
    const struct {
        const char *section, *key, *expected;
    } cases[] = {
        {"NET", "port", "8000"},
        {"NET", "host", "camera.local"},
        {"NET", "Empty", ""},
        {"NET", "url", "http:"},
        {"NET", "PORT", "<none>"},
        {"net", "port", "<none>"},
        {"NET", "this line has no equals sign", "<none>"},
        {"VIDEO", "fps", "25"},
        // A later section does not end the one found: NET's search runs on
        // into VIDEO, and stops at "[END]".
        {"NET", "fps", "25"},
        {"NET", "after", "<none>"},
        {"VIDEO", "after", "<none>"},
        // Keys of a later section are still found when no "[END]" comes first.
        {"AA", "late", "found across sections"},
        {"AA", "only", "in a"},
        {"BB", "only", "<none>"},
        // One-character section names never match.
        {"X", "single", "<none>"},
        {"", "port", "<none>"},
        {"MISSING", "port", "<none>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(value(c.section, c.key), c.expected) << "[" << c.section << "] " << c.key;
}

TEST_F(IniDialect, NumbersAreReadAsScanfReadsThem) {
    int number = -1;
    EXPECT_EQ(ini_.ReadKeyIntValue("NET", "port", &number), 1);
    EXPECT_EQ(number, 8000);
    EXPECT_EQ(ini_.ReadKeyIntValue("NET", "count", &number), 1);
    EXPECT_EQ(number, 12);
    number = -1;
    EXPECT_EQ(ini_.ReadKeyIntValue("NET", "notanumber", &number), 0);
    EXPECT_EQ(ini_.ReadKeyIntValue("NET", "missing", &number), 0);
    EXPECT_EQ(number, -1);
    float ratio = 0;
    EXPECT_EQ(ini_.ReadKeyFloatValue("NET", "ratio", &ratio), 1);
    EXPECT_FLOAT_EQ(ratio, 0.75f);
    char text[128];
    EXPECT_EQ(ini_.ReadKeyStringValue("NET", "host", text), 1);
    EXPECT_STREQ(text, "camera.local");
}

// Lines are read whole: the tail of a long line is never taken for a line of
// its own, and a long value is cut at 127 characters.
TEST_F(IniDialect, LongLinesStayWholeAndValuesAreCut) {
    const std::string longValue(300, 'v');
    const std::string tail = std::string(200, 'p') + "key=wrong";
    writeText(path_, "[LONG]\nfirst = " + longValue + "\npadding = " + tail + "\nkey = right\n");
    char text[128];
    ASSERT_EQ(ini_.ReadKeyValue("LONG", "first", text), 1);
    EXPECT_EQ(std::string(text), std::string(127, 'v'));
    EXPECT_EQ(value("LONG", "key"), "right");

    char small[6] = {};
    ASSERT_EQ(ini_.ReadKeyValue("LONG", "key", small, sizeof small), 1);
    EXPECT_STREQ(small, "right");
    char tiny[4] = {};
    ASSERT_EQ(ini_.ReadKeyValue("LONG", "key", tiny, sizeof tiny), 1);
    EXPECT_STREQ(tiny, "rig");
}

TEST_F(IniDialect, MissingFileGivesNothing) {
    IniFile missing(dir_.file("absent.ini").c_str());
    char text[128] = "untouched";
    EXPECT_EQ(missing.ReadKeyValue("NET", "port", text), 0);
    EXPECT_STREQ(text, "untouched");
    IniFile unnamed;
    EXPECT_EQ(unnamed.ReadKeyValue("NET", "port", text), 0);
}
