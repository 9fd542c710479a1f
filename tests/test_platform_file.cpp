#include <string>
#include <vector>

#include "OVFile.h"
#include "Sandbox.h"
#include "XmlString.h"

namespace {
const char* kTarget = "/mnt/mtd/code/config_file/sensor0.cfg";
class PlatformFileTest : public SandboxTest {};

TEST_F(PlatformFileTest, ReplaceBecomesVisibleOnlyAtCloseAndLeavesNoTemporary) {
    sandbox->writeFile(kTarget, "old");
    OVFile file;
    ASSERT_TRUE(file.open(kTarget, OVFile::modeWrite | OVFile::modeTruncate));
    EXPECT_EQ(5, file.write("fresh", 5));
    EXPECT_EQ(5, file.getLength());
    EXPECT_EQ("old", sandbox->readFile(kTarget));
    file.close();
    file.close();
    EXPECT_EQ("fresh", sandbox->readFile(kTarget));
    EXPECT_EQ(std::vector<std::string>{kTarget}, sandbox->listFiles());
}

TEST_F(PlatformFileTest, FailedOpenMovesNothing) {
    OVFile file;
    EXPECT_FALSE(file.open("/no/such/dir/file.cfg", OVFile::modeWrite | OVFile::modeTruncate));
    char buf[4] = "abc";
    EXPECT_EQ(0, file.write(buf, 3));
    EXPECT_EQ(0, file.read(buf, 3));
    EXPECT_EQ(-1, file.getLength());
    EXPECT_FALSE(file.open(kTarget));                     // missing file
    EXPECT_FALSE(file.open(kTarget, OVFile::modeWrite));  // write without truncate: refused
    EXPECT_TRUE(sandbox->listFiles().empty());
}

TEST_F(PlatformFileTest, ReadsLinesWithoutBreaksThenEmptyAtEnd) {
    sandbox->writeFile(kTarget, "6\r\n\nlast");
    OVFile file;
    ASSERT_TRUE(file.open(kTarget));
    EXPECT_EQ(8, file.getLength());
    EXPECT_EQ(0, file.write("x", 1));
    for (const char* expected : {"6", "", "last", "", ""}) {
        EXPECT_EQ(expected, OVFile::ReadOneLine(file.getFileHandle()));
    }
    EXPECT_EQ("", OVFile::ReadOneLine(nullptr));
}

TEST_F(PlatformFileTest, XmlTextEqualsSavedFileAndLoadsBack) {
    TiXmlDocument doc;
    doc.Parse("<?xml version=\"1.0\"?><root><tab key=\"x\">t&amp;</tab><p id=\"8\"/></root>\0\0\0");
    std::string printed, reprinted;
    getXmlString(doc, printed);
    doc.SaveFile(sandbox->path("/tmp/direct.xml").c_str());
    EXPECT_EQ(sandbox->readFile("/tmp/direct.xml"), printed);
    TiXmlDocument again;
    ASSERT_TRUE(loadXmlFile(again, "/tmp/direct.xml", TIXML_ENCODING_UTF8));
    getXmlString(again, reprinted);
    EXPECT_EQ(printed, reprinted);
    EXPECT_FALSE(loadXmlFile(again, "/tmp/missing.xml", TIXML_ENCODING_UTF8));
    EXPECT_EQ(TiXmlBase::TIXML_ERROR_OPENING_FILE, again.ErrorId());
}
}  // namespace
