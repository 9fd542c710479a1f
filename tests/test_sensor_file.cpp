// Parameter files, whole files and the version stamp: bytes on disk, results and reports.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FileFaults.h"
#include "Sandbox.h"
#include "SensorFile.h"

namespace {

const std::string kStampFile = "/mnt/mtd/code/config_file/ovsversion.cfg";
// Records {8000,0} {34,-1} {0x01020304,0x7f000001} on disk: little-endian key, value.
const std::string kBytes = std::string("\x40\x1f\0\0\0\0\0\0", 8) +
                           std::string("\x22\0\0\0\xff\xff\xff\xff", 8) +
                           std::string("\x04\x03\x02\x01\x01\0\0\x7f", 8);

// The two blocks of a failed check of this unit; the source line reads "N".
std::string report(const std::string& func, const std::string& condition,
                   const std::string& message) {
    return "\x1b[0m\x1b[31m[sensor assert] file:SensorFile.cpp fun:" + func + " line:N\n" +
           condition + "   ~~~Assertion failed.\n\x1b[0m\x1b[0m\x1b[31m" + message + "\x1b[0m";
}

class SensorFileTest : public SandboxTest {
protected:
    // Console output of `action`, source lines written "line:N".
    template <typename F>
    std::string console(F action) {
        StdoutCapture capture;
        action();
        return std::regex_replace(capture.stop(), std::regex("line:[0-9]+"), "line:N");
    }
    // Bytes of `count` records loaded from the parameter file over records {77,77}.
    std::string load(u32 count) {
        std::vector<KeyVal> out(count, KeyVal{77, 77});
        EXPECT_EQ(keyValFromFile(&m_file[0], out.data(), count), 0);
        return std::string(reinterpret_cast<const char*>(out.data()), count * sizeof(KeyVal));
    }

    std::string m_file = "/mnt/mtd/code/config_file/sensor0.cfg";
};

TEST_F(SensorFileTest, RecordsRoundTripLittleEndianAndALongerFileLoadsSilently) {
    sandbox->writeFile(m_file, std::string(100, 'x'));
    std::vector<KeyVal> records = {{8000, 0}, {34, -1}, {0x01020304u, 0x7f000001}};
    EXPECT_EQ(console([&] {
                  EXPECT_EQ(keyValToFile(&m_file[0], records.data(), 3), 0);
                  EXPECT_EQ(sandbox->readFile(m_file), kBytes);
                  EXPECT_EQ(load(3), kBytes);
                  EXPECT_EQ(load(2), kBytes.substr(0, 16));  // the file holds 8 bytes more
              }),
              "");
}

TEST_F(SensorFileTest, ShorterFileReportsTheCountReadAndLeavesTheLastRecord) {
    sandbox->writeFile(m_file, kBytes.substr(0, 16));
    EXPECT_EQ(console([&] {
                  EXPECT_EQ(load(3), kBytes.substr(0, 16) + std::string("\x4d\0\0\0\x4d\0\0\0", 8));
              }),
              report("keyValFromFile", "nSize == sizeof(KeyVal)*p_nKeyValNum",
                     "file_name(" + m_file + ") nSize(16) sizeof(KeyVal) = 8, p_nKeyValNum(3)\n"));
}

TEST_F(SensorFileTest, SaveIntoAMissingFolderGivesBothReports) {
    std::string data("merged\0style", 12);
    std::string missing = "/nowhere/x.xml";
    EXPECT_EQ(console([&] { EXPECT_EQ(saveToFile(&missing[0], &data[0], 5), 0); }),
              report("saveToFile", "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)",
                     "file_name(/nowhere/x.xml)\n") +
                  report("saveToFile", "file_len == (nSize=file.write(data, file_len))",
                         "file_len(5)\n"));
}

TEST_F(SensorFileTest, StampRoundTripsAsFourLittleEndianBytesAndThreeAreUnreadable) {
    EXPECT_EQ(setVersion(0x01020308), 0);
    EXPECT_EQ(sandbox->readFile(kStampFile), std::string("\x08\x03\x02\x01", 4));
    u32 version = 0;
    EXPECT_EQ(getVersion(&version), 0);
    EXPECT_EQ(version, 0x01020308u);
    sandbox->writeFile(kStampFile, std::string(3, '\x08'));
    EXPECT_EQ(console([&] { EXPECT_EQ(getVersion(&version), -1); }), "");
}

// A fault on the named file, and what the failed write must leave and say.
struct WriteFault {
    hostfw::FileOp op;
    const char* faultPath;  // "" for the written file itself
    const char* report;     // a text the console must show
};
const WriteFault kWriteFaults[] = {
    {hostfw::FileOp::open, "", "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)"},
    {hostfw::FileOp::write, "", "nSize == sizeof(KeyVal)*p_nKeyValSum"},
    {hostfw::FileOp::diskFull, "", "nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(3)"},
    {hostfw::FileOp::sync, "", "not saved: the sync to storage failed (Input/output error)"},
    {hostfw::FileOp::rename, "", "not saved: the rename over the file failed"},
    {hostfw::FileOp::sync, "/mnt/mtd/code/config_file", "the directory sync failed"},
};

TEST_F(SensorFileTest, FailedWriteKeepsTheOldFileReportsAndLeavesNoTemporary) {
    const std::vector<KeyVal> records = {{8000, 0}, {34, -1}, {0x01020304u, 0x7f000001}};
    for (const WriteFault& fault : kWriteFaults) {
        SCOPED_TRACE(fault.report);
        sandbox->writeFile(m_file, "old records");
        hostfw::failNext(fault.op, fault.faultPath[0] != '\0' ? fault.faultPath : m_file);
        std::vector<KeyVal> copy = records;
        int result = 0;
        const std::string out = console([&] { result = keyValToFile(&m_file[0], copy.data(), 3); });
        EXPECT_EQ(result, -1);
        EXPECT_NE(out.find(fault.report), std::string::npos) << out;
        EXPECT_NE(sandbox->readFile("/mnt/mtd/log/SensorError.log").find(fault.report),
                  std::string::npos);
        if (fault.op != hostfw::FileOp::sync || fault.faultPath[0] == '\0') {
            EXPECT_EQ(sandbox->readFile(m_file), "old records");
        }
        EXPECT_EQ(sandbox->listFiles(),
                  (std::vector<std::string>{"/mnt/mtd/code/config_file/sensor0.cfg",
                                            "/mnt/mtd/log/SensorError.log"}));
        hostfw::clearFileFaults();
        sandbox->remove("/mnt/mtd/log/SensorError.log");
    }
}

TEST_F(SensorFileTest, NullBufferOrNegativeLengthIsRefusedWithTheSizeReport) {
    sandbox->writeFile(m_file, kBytes);
    std::string data = "abc";
    EXPECT_EQ(
        console([&] { EXPECT_EQ(saveToFile(&m_file[0], nullptr, 712), 0); }),
        report("saveToFile", "file_len == (nSize=file.write(data, file_len))", "file_len(712)\n"));
    EXPECT_EQ(
        console([&] { EXPECT_EQ(saveToFile(&m_file[0], &data[0], -5), 0); }),
        report("saveToFile", "file_len == (nSize=file.write(data, file_len))", "file_len(-5)\n"));
    EXPECT_EQ(console([&] { EXPECT_EQ(keyValToFile(&m_file[0], nullptr, 89), -1); }),
              report("keyValToFile", "nSize == sizeof(KeyVal)*p_nKeyValSum",
                     "nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(89)\n"));
    EXPECT_EQ(sandbox->readFile(m_file), kBytes);
}

TEST_F(SensorFileTest, StampThatCannotBeReplacedKeepsItsValue) {
    EXPECT_EQ(setVersion(8), 0);
    hostfw::failNext(hostfw::FileOp::rename, kStampFile);
    console([&] { EXPECT_EQ(setVersion(9), -1); });
    u32 version = 0;
    EXPECT_EQ(getVersion(&version), 0);
    EXPECT_EQ(version, 8u);
}

}  // namespace
