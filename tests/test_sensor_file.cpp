// Whole files, parameter files and the version stamp: bytes on disk, results, and the
// reports of short transfers and failed opens.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "SensorFile.h"

namespace {

const std::string kParamFile = "/mnt/mtd/code/config_file/sensor0.cfg";
const std::string kStampFile = "/mnt/mtd/code/config_file/ovsversion.cfg";
const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";

// The two blocks of a failed check of this unit; the source line reads "N".
std::string report(const std::string& func, const std::string& condition,
                   const std::string& message) {
    return kRed + "[sensor assert] file:SensorFile.cpp fun:" + func + " line:N\n" + condition +
           "   ~~~Assertion failed.\n" + kReset + kRed + message + kReset;
}

const std::string kOpenWrite = "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)";

class SensorFileTest : public SandboxTest {
protected:
    // Console output of `action`, source lines written "line:N".
    template <typename F>
    std::string console(F action) {
        StdoutCapture capture;
        action();
        return std::regex_replace(capture.stop(), std::regex("line:[0-9]+"), "line:N");
    }

    // A mutable copy of a camera path, for the functions that take char*.
    char* name(const std::string& path) {
        m_name.assign(path.c_str(), path.c_str() + path.size() + 1);
        return m_name.data();
    }

    std::vector<KeyVal> m_records = {{8000, 0}, {34, -1}, {0x01020304u, 0x7f000001}};
    // The same records on disk: little-endian key, then value.
    const std::string m_bytes = std::string("\x40\x1f\0\0\0\0\0\0", 8) +
                                std::string("\x22\0\0\0\xff\xff\xff\xff", 8) +
                                std::string("\x04\x03\x02\x01\x01\0\0\x7f", 8);

private:
    std::vector<char> m_name;
};

TEST_F(SensorFileTest, RecordsAreWrittenLittleEndianAndReadBack) {
    sandbox->writeFile(kParamFile, std::string(100, 'x'));
    std::vector<KeyVal> loaded(3, KeyVal{0, 0});
    EXPECT_EQ(console([&] {
                  EXPECT_EQ(keyValToFile(name(kParamFile), m_records.data(), 3), 0);
                  EXPECT_EQ(sandbox->readFile(kParamFile), m_bytes);
                  EXPECT_EQ(keyValFromFile(name(kParamFile), loaded.data(), 3), 0);
              }),
              "");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded[i].key, m_records[i].key);
        EXPECT_EQ(loaded[i].value, m_records[i].value);
    }
}

TEST_F(SensorFileTest, LongerFileLoadsItsFirstRecordsSilently) {
    sandbox->writeFile(kParamFile, m_bytes);
    std::vector<KeyVal> loaded(2, KeyVal{0, 0});
    EXPECT_EQ(console([&] { keyValFromFile(name(kParamFile), loaded.data(), 2); }), "");
    EXPECT_EQ(loaded[1].value, -1);
}

TEST_F(SensorFileTest, ShorterFileReportsTheCountReadAndLeavesTheLastRecord) {
    sandbox->writeFile(kParamFile, m_bytes.substr(0, 16));
    std::vector<KeyVal> loaded(3, KeyVal{77, 77});
    EXPECT_EQ(
        console([&] { keyValFromFile(name(kParamFile), loaded.data(), 3); }),
        report("keyValFromFile", "nSize == sizeof(KeyVal)*p_nKeyValNum",
               "file_name(" + kParamFile + ") nSize(16) sizeof(KeyVal) = 8, p_nKeyValNum(3)\n"));
    EXPECT_EQ(loaded[1].key, 34u);
    EXPECT_EQ(loaded[2].key, 77u);
    EXPECT_EQ(loaded[2].value, 77);
}

TEST_F(SensorFileTest, MissingFileOrFolderReportsOpenAndSizeAndStillSucceeds) {
    std::vector<KeyVal> loaded(2, KeyVal{5, 6});
    EXPECT_EQ(
        console([&] { EXPECT_EQ(keyValFromFile(name(kParamFile), loaded.data(), 2), 0); }),
        report("keyValFromFile", "file.open(file_name)", "file_name(" + kParamFile + ")\n") +
            report("keyValFromFile", "nSize == sizeof(KeyVal)*p_nKeyValNum",
                   "file_name(" + kParamFile + ") nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(2)\n"));
    EXPECT_EQ(loaded[0].key, 5u);

    EXPECT_EQ(console([&] {
                  EXPECT_EQ(keyValToFile(name("/nowhere/sensor0.cfg"), m_records.data(), 3), 0);
              }),
              report("keyValToFile", kOpenWrite, "file_name(/nowhere/sensor0.cfg)\n") +
                  report("keyValToFile", "nSize == sizeof(KeyVal)*p_nKeyValSum",
                         "nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(3)\n"));
}

TEST_F(SensorFileTest, LoadReadsExactlyTheAskedLengthAndTracesInWhite) {
    sandbox->writeFile("/tmp/s.xml", "<a>0123</a>");
    sandbox->setDebugSwitch("6");
    char part[4] = {'-', '-', '-', '-'};
    EXPECT_EQ(console([&] { EXPECT_EQ(loadFromFile("/tmp/s.xml", part, 3), 3); }),
              "\x1b[0m\x1b[37m[sensor dbg] file:SensorFile.cpp fun:loadFromFile line:N\n"
              "open file:/tmp/s.xml\n\x1b[0m");
    EXPECT_EQ(std::string(part, 4), "<a>-");
    char whole[12];
    sandbox->setDebugSwitch("1\n1\n");
    EXPECT_EQ(loadFromFile("/tmp/s.xml", whole, 12), -1);
    EXPECT_EQ(console([&] { EXPECT_EQ(loadFromFile("/tmp/none.xml", whole, 4), -1); }), "");
}

TEST_F(SensorFileTest, FileLengthOfAMissingFileReportsTheNameWithoutLineBreak) {
    sandbox->writeFile("/tmp/len.xml", std::string(1234, 'a'));
    EXPECT_EQ(getFileLen("/tmp/len.xml"), 1234);
    EXPECT_EQ(console([] { EXPECT_EQ(getFileLen("/tmp/none.xml"), -1); }),
              report("getFileLen", "file.open(file_name)", "file_name(/tmp/none.xml)"));
}

TEST_F(SensorFileTest, SaveWritesTheBytesOrGivesBothReports) {
    std::string data("merged\0style", 12);
    EXPECT_EQ(saveToFile(name("/tmp/merge_style_ch1.xml"), &data[0], 12), 12);
    EXPECT_EQ(sandbox->readFile("/tmp/merge_style_ch1.xml"), data);
    EXPECT_EQ(console([&] { EXPECT_EQ(saveToFile(name("/nowhere/x.xml"), &data[0], 5), 0); }),
              report("saveToFile", kOpenWrite, "file_name(/nowhere/x.xml)\n") +
                  report("saveToFile", "file_len == (nSize=file.write(data, file_len))",
                         "file_len(5)\n"));
}

TEST_F(SensorFileTest, StampRoundTripsAsFourLittleEndianBytes) {
    EXPECT_EQ(setVersion(8), 0);
    EXPECT_EQ(sandbox->readFile(kStampFile), std::string("\x08\0\0\0", 4));
    u32 version = 0;
    EXPECT_EQ(getVersion(&version), 0);
    EXPECT_EQ(version, 8u);
    sandbox->writeFile(kStampFile, std::string("\x07\x01\0\0", 4));
    EXPECT_EQ(getVersion(&version), 0);
    EXPECT_EQ(version, 0x107u);
}

TEST_F(SensorFileTest, MissingEmptyOrThreeByteStampIsUnreadableWithoutAReport) {
    u32 version = 0;
    EXPECT_EQ(console([&] { EXPECT_EQ(getVersion(&version), -1); }), "");
    for (const std::string& bytes : {std::string(), std::string(3, '\x08')}) {
        sandbox->writeFile(kStampFile, bytes);
        EXPECT_EQ(console([&] { EXPECT_EQ(getVersion(&version), -1); }), "") << bytes.size();
    }
}

}  // namespace
