// Whole files, parameter files and the version stamp: bytes on disk, results, and the
// reports of short transfers and failed opens.
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "SensorFile.h"

namespace {

const char kParamFile[] = "/mnt/mtd/code/config_file/sensor0.cfg";
const char kStampFile[] = "/mnt/mtd/code/config_file/ovsversion.cfg";
const char kMissingDirFile[] = "/mnt/mtd/nowhere/sensor0.cfg";
const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";

// The report block of a failed check of this unit, with the source line blanked to "N".
std::string conditionBlock(const char* func, const std::string& condition) {
    return kRed + "[sensor assert] file:SensorFile.cpp fun:" + func + " line:N\n" + condition +
           "   ~~~Assertion failed.\n" + kReset;
}

std::string messageBlock(const std::string& message) {
    return kRed + message + kReset;
}

// Console text with every "line:<digits>" written "line:N".
std::string blankLines(const std::string& text) {
    std::string out;
    size_t pos = 0;
    while (true) {
        size_t at = text.find("line:", pos);
        if (at == std::string::npos) {
            return out + text.substr(pos);
        }
        out += text.substr(pos, at - pos) + "line:N";
        pos = at + 5;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            ++pos;
        }
    }
}

std::string bytesOf(const std::vector<unsigned char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class SensorFileTest : public SandboxTest {
protected:
    // A mutable copy of a camera path, for the functions that take char*.
    char* name(const char* path) {
        m_name.assign(path, path + std::char_traits<char>::length(path) + 1);
        return m_name.data();
    }

    // Three records as they lie on disk: little-endian key, then value.
    const std::vector<KeyVal> m_records = {{8000, 0}, {34, -1}, {0x01020304u, 0x7f000001}};
    const std::string m_recordBytes = bytesOf({0x40, 0x1f, 0, 0, 0,    0,    0,    0,     //
                                               0x22, 0,    0, 0, 0xff, 0xff, 0xff, 0xff,  //
                                               4,    3,    2, 1, 1,    0,    0,    0x7f});

private:
    std::vector<char> m_name;
};

// ---- parameter files ----

TEST_F(SensorFileTest, RecordsAreWrittenLittleEndianAndReadBack) {
    std::vector<KeyVal> records = m_records;
    StdoutCapture capture;
    EXPECT_EQ(keyValToFile(name(kParamFile), records.data(), 3), 0);
    EXPECT_EQ(sandbox->readFile(kParamFile), m_recordBytes);

    std::vector<KeyVal> loaded(3, KeyVal{0, 0});
    EXPECT_EQ(keyValFromFile(name(kParamFile), loaded.data(), 3), 0);
    EXPECT_EQ(capture.stop(), "");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded[i].key, m_records[i].key);
        EXPECT_EQ(loaded[i].value, m_records[i].value);
    }
}

TEST_F(SensorFileTest, RewritingReplacesTheWholeFile) {
    sandbox->writeFile(kParamFile, std::string(100, 'x'));
    std::vector<KeyVal> records = m_records;
    keyValToFile(name(kParamFile), records.data(), 1);
    EXPECT_EQ(sandbox->readFile(kParamFile), m_recordBytes.substr(0, 8));
}

TEST_F(SensorFileTest, LongerFileLoadsItsFirstRecordsSilently) {
    sandbox->writeFile(kParamFile, m_recordBytes);
    std::vector<KeyVal> loaded(2, KeyVal{0, 0});
    StdoutCapture capture;
    EXPECT_EQ(keyValFromFile(name(kParamFile), loaded.data(), 2), 0);
    EXPECT_EQ(capture.stop(), "");
    EXPECT_EQ(loaded[1].key, 34u);
    EXPECT_EQ(loaded[1].value, -1);
}

TEST_F(SensorFileTest, ShorterFileReportsTheCountReadAndLeavesTheLastRecord) {
    sandbox->writeFile(kParamFile, m_recordBytes.substr(0, 16));
    std::vector<KeyVal> loaded(3, KeyVal{77, 77});
    StdoutCapture capture;
    EXPECT_EQ(keyValFromFile(name(kParamFile), loaded.data(), 3), 0);
    EXPECT_EQ(blankLines(capture.stop()),
              conditionBlock("keyValFromFile", "nSize == sizeof(KeyVal)*p_nKeyValNum") +
                  messageBlock("file_name(" + std::string(kParamFile) +
                               ") nSize(16) sizeof(KeyVal) = 8, p_nKeyValNum(3)\n"));
    EXPECT_EQ(loaded[1].key, 34u);
    EXPECT_EQ(loaded[2].key, 77u);
    EXPECT_EQ(loaded[2].value, 77);
}

TEST_F(SensorFileTest, MissingParameterFileReportsOpenAndSizeAndReturnsSuccess) {
    std::vector<KeyVal> loaded(2, KeyVal{5, 6});
    StdoutCapture capture;
    EXPECT_EQ(keyValFromFile(name(kParamFile), loaded.data(), 2), 0);
    EXPECT_EQ(blankLines(capture.stop()),
              conditionBlock("keyValFromFile", "file.open(file_name)") +
                  messageBlock("file_name(" + std::string(kParamFile) + ")\n") +
                  conditionBlock("keyValFromFile", "nSize == sizeof(KeyVal)*p_nKeyValNum") +
                  messageBlock("file_name(" + std::string(kParamFile) +
                               ") nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(2)\n"));
    EXPECT_EQ(loaded[0].key, 5u);
}

TEST_F(SensorFileTest, RecordsIntoAMissingFolderReportOpenAndSize) {
    std::vector<KeyVal> records = m_records;
    StdoutCapture capture;
    EXPECT_EQ(keyValToFile(name(kMissingDirFile), records.data(), 3), 0);
    EXPECT_EQ(blankLines(capture.stop()),
              conditionBlock("keyValToFile",
                             "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)") +
                  messageBlock("file_name(" + std::string(kMissingDirFile) + ")\n") +
                  conditionBlock("keyValToFile", "nSize == sizeof(KeyVal)*p_nKeyValSum") +
                  messageBlock("nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(3)\n"));
    EXPECT_FALSE(sandbox->exists(kMissingDirFile));
}

// ---- whole files ----

TEST_F(SensorFileTest, LoadReadsExactlyTheAskedLength) {
    sandbox->writeFile("/tmp/style.xml", "<a>0123</a>");
    char buf[32] = {};
    EXPECT_EQ(loadFromFile("/tmp/style.xml", buf, 11), 11);
    EXPECT_EQ(std::string(buf), "<a>0123</a>");

    char part[4] = {'-', '-', '-', '-'};
    EXPECT_EQ(loadFromFile("/tmp/style.xml", part, 3), 3);
    EXPECT_EQ(std::string(part, 4), "<a>-");
    EXPECT_EQ(loadFromFile("/tmp/style.xml", buf, 12), -1);
}

TEST_F(SensorFileTest, LoadOfAMissingFileFailsWithoutAReport) {
    sandbox->setDebugSwitch("1\n1\n");
    char buf[4];
    StdoutCapture capture;
    EXPECT_EQ(loadFromFile("/tmp/none.xml", buf, 4), -1);
    EXPECT_EQ(capture.stop(), "");
}

TEST_F(SensorFileTest, LoadTracesTheFileNameInWhiteAtLevelSix) {
    sandbox->writeFile("/tmp/s.xml", "x");
    sandbox->setDebugSwitch("6");
    char buf[1];
    StdoutCapture capture;
    loadFromFile("/tmp/s.xml", buf, 1);
    EXPECT_EQ(blankLines(capture.stop()),
              "\x1b[0m\x1b[37m[sensor dbg] file:SensorFile.cpp fun:loadFromFile line:N\n"
              "open file:/tmp/s.xml\n\x1b[0m");
}

TEST_F(SensorFileTest, FileLengthOfAMissingFileReportsTheNameWithoutLineBreak) {
    sandbox->writeFile("/tmp/len.xml", std::string(1234, 'a'));
    StdoutCapture capture;
    EXPECT_EQ(getFileLen("/tmp/len.xml"), 1234);
    EXPECT_EQ(capture.stop(), "");

    StdoutCapture missing;
    EXPECT_EQ(getFileLen("/tmp/none.xml"), -1);
    EXPECT_EQ(blankLines(missing.stop()), conditionBlock("getFileLen", "file.open(file_name)") +
                                              messageBlock("file_name(/tmp/none.xml)"));
}

TEST_F(SensorFileTest, SaveWritesTheBytesAndReturnsTheirCount) {
    std::string data("merged\0style", 12);
    StdoutCapture capture;
    EXPECT_EQ(saveToFile(name("/tmp/merge_style_ch1.xml"), &data[0], 12), 12);
    EXPECT_EQ(capture.stop(), "");
    EXPECT_EQ(sandbox->readFile("/tmp/merge_style_ch1.xml"), data);
}

TEST_F(SensorFileTest, SaveIntoAMissingFolderGivesBothReports) {
    char data[] = "abcde";
    StdoutCapture capture;
    EXPECT_EQ(saveToFile(name("/nowhere/x.xml"), data, 5), 0);
    EXPECT_EQ(blankLines(capture.stop()),
              conditionBlock("saveToFile",
                             "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)") +
                  messageBlock("file_name(/nowhere/x.xml)\n") +
                  conditionBlock("saveToFile", "file_len == (nSize=file.write(data, file_len))") +
                  messageBlock("file_len(5)\n"));
}

// ---- version stamp ----

TEST_F(SensorFileTest, StampRoundTripsAsFourLittleEndianBytes) {
    EXPECT_EQ(setVersion(8), 0);
    EXPECT_EQ(sandbox->readFile(kStampFile), bytesOf({8, 0, 0, 0}));
    u32 version = 0;
    EXPECT_EQ(getVersion(&version), 0);
    EXPECT_EQ(version, 8u);

    sandbox->writeFile(kStampFile, bytesOf({0x07, 0x01, 0, 0}));
    EXPECT_EQ(getVersion(&version), 0);
    EXPECT_EQ(version, 0x107u);
}

struct StampCase {
    const char* label;
    bool present;
    std::string bytes;
};

class UnreadableStampTest : public SensorFileTest,
                            public ::testing::WithParamInterface<StampCase> {};

TEST_P(UnreadableStampTest, CountsAsUnreadableWithoutAReport) {
    const StampCase& c = GetParam();
    if (c.present) {
        sandbox->writeFile(kStampFile, c.bytes);
    }
    u32 version = 0;
    StdoutCapture capture;
    EXPECT_EQ(getVersion(&version), -1);
    EXPECT_EQ(capture.stop(), "");
}

INSTANTIATE_TEST_SUITE_P(Stamps, UnreadableStampTest,
                         ::testing::Values(StampCase{"missing", false, ""},
                                           StampCase{"empty", true, ""},
                                           StampCase{"threeBytes", true, std::string(3, '\x08')}),
                         [](const ::testing::TestParamInfo<StampCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(SensorFileTest, StampThatCannotBeWrittenFails) {
    // Without its folder the stamp cannot be written.
    ASSERT_EQ(::rmdir(sandbox->path("/mnt/mtd/code/config_file").c_str()), 0);
    StdoutCapture capture;
    EXPECT_EQ(setVersion(8), -1);
    EXPECT_NE(capture.stop(), "");
}

}  // namespace
