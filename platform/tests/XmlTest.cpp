#include <gtest/gtest.h>

#include <string>

#include "HttpTestServer.h"
#include "platform/Xml.h"

namespace {

// "数据/文件.bin" and "版本" in GBK and in UTF-8.
const std::string kNameGbk = "\xCA\xFD\xBE\xDD/\xCE\xC4\xBC\xFE.bin";
const std::string kNameUtf8 = "\xE6\x95\xB0\xE6\x8D\xAE/\xE6\x96\x87\xE4\xBB\xB6.bin";
const std::string kWordGbk = "\xB0\xE6\xB1\xBE";
const std::string kWordUtf8 = "\xE7\x89\x88\xE6\x9C\xAC";

std::string Manifest(const std::string& encoding, const std::string& name,
                     const std::string& word) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding +
           "\"?>\r\n"
           "<Manifest version=\"1.0.3 " +
           word +
           "\">\r\n"
           "  <!-- comment -->\r\n"
           "  <FileList>\r\n"
           "    <File FileName=\"" +
           name +
           "\" FileSize=\"4096\" FileVersion=\"1.0\" Md5=\"0123abcd\"/>\r\n"
           "    <Other FileName=\"skip\"/>\r\n"
           "    <File FileName=\"a&amp;b.txt\" FileSize=\"7\" FileVersion=\"\" "
           "Md5=\"x\">text</File>\r\n"
           "  </FileList>\r\n"
           "  <FileList><File FileName=\"last.dll\"/></FileList>\r\n"
           "</Manifest>\r\n";
}

class XmlTest : public ::testing::Test {
protected:
    platform::ComScope com_;
};

void ExpectManifest(const platform::XmlElement& root) {
    EXPECT_EQ(root.name, "Manifest");
    ASSERT_NE(root.Attribute("version"), nullptr);
    EXPECT_EQ(*root.Attribute("version"), "1.0.3 " + kWordGbk);
    EXPECT_EQ(root.Attribute("Version"), nullptr);  // names are case-sensitive

    const auto files = platform::SelectElements(root, "/Manifest/FileList/File");
    ASSERT_EQ(files.size(), 3u);
    ASSERT_NE(files[0]->Attribute("FileName"), nullptr);
    EXPECT_EQ(*files[0]->Attribute("FileName"), kNameGbk);
    EXPECT_EQ(*files[0]->Attribute("FileSize"), "4096");
    EXPECT_EQ(*files[0]->Attribute("Md5"), "0123abcd");
    EXPECT_EQ(files[0]->attributes.size(), 4u);
    EXPECT_EQ(*files[1]->Attribute("FileName"), "a&b.txt");
    ASSERT_NE(files[1]->Attribute("FileVersion"), nullptr);
    EXPECT_EQ(*files[1]->Attribute("FileVersion"), "");
    EXPECT_EQ(*files[2]->Attribute("FileName"), "last.dll");
    EXPECT_EQ(files[2]->Attribute("Md5"), nullptr);
}

TEST_F(XmlTest, DeclaredEncodingsAllDeliverTheSameAnsiText) {
    for (const auto& [encoding, name, word] : {
             std::tuple<std::string, std::string, std::string>{"UTF-8", kNameUtf8, kWordUtf8},
             {"GBK", kNameGbk, kWordGbk},
#ifndef _WIN32
             // Wine's XML services know GBK but not its gb2312 label; Windows' know both.
             {"gb2312", kNameGbk, kWordGbk},
#endif
         }) {
        SCOPED_TRACE(encoding);
        platform::XmlElement root;
        ASSERT_TRUE(platform::ParseXml(Manifest(encoding, name, word), root));
        ExpectManifest(root);
    }
    // No declaration: UTF-8, with or without a byte-order mark.
    platform::XmlElement root;
    ASSERT_TRUE(platform::ParseXml("\xEF\xBB\xBF<Manifest version=\"" + kWordUtf8 + "\"/>", root));
    EXPECT_EQ(*root.Attribute("version"), kWordGbk);
}

TEST_F(XmlTest, SelectionFollowsTheRootAndEveryStep) {
    platform::XmlElement root;
    ASSERT_TRUE(platform::ParseXml(Manifest("UTF-8", "f", ""), root));
    EXPECT_EQ(platform::SelectElements(root, "/Manifest").size(), 1u);
    EXPECT_EQ(platform::SelectElements(root, "/Manifest/FileList").size(), 2u);
    EXPECT_TRUE(platform::SelectElements(root, "/FileList/File").empty());
    EXPECT_TRUE(platform::SelectElements(root, "/manifest").empty());
    EXPECT_TRUE(platform::SelectElements(root, "Manifest").empty());
    EXPECT_TRUE(platform::SelectElements(root, "/Manifest/File").empty());
    EXPECT_TRUE(platform::SelectElements(root, "/").empty());
}

TEST_F(XmlTest, DocumentsThatAreNotWellFormedAreRefused) {
    for (const std::string& bad :
         {std::string(), std::string("not xml"), std::string("<Manifest version=\"1\">"),
          std::string("<Manifest><FileList></Manifest>"),
          std::string("<Manifest a=\"1\" a=\"2\"/>"), std::string("<A/><B/>"),
          std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><M v=\"\xFF\xFE\"/>")}) {
        platform::XmlElement root;
        root.name = "stale";
        EXPECT_FALSE(platform::ParseXml(bad, root)) << bad;
        EXPECT_TRUE(root.name.empty()) << bad;
        EXPECT_TRUE(root.children.empty()) << bad;
    }
}

// A type definition may declare an entity that a small file repeats into gigabytes of text; no
// document of ours has one, so any is refused.
TEST_F(XmlTest, DocumentsWithATypeDefinitionAreRefused) {
    const std::string entity(1000, 'x');
    std::string repeated;
    for (int i = 0; i < 1000; ++i) {
        repeated += "&e;";
    }
    for (const std::string& bad :
         {"<!DOCTYPE Manifest [<!ENTITY e \"" + entity + "\">]><Manifest version=\"" + repeated +
              "\"/>",
          std::string("<!DOCTYPE Manifest [<!ELEMENT Manifest EMPTY>]><Manifest version=\"1\"/>"),
          std::string("<!DOCTYPE Manifest SYSTEM \"manifest.dtd\"><Manifest version=\"1\"/>")}) {
        platform::XmlElement root;
        EXPECT_FALSE(platform::ParseXml(bad, root)) << bad.substr(0, 60);
        EXPECT_TRUE(root.attributes.empty());
    }
    platform::XmlElement plain;
    EXPECT_TRUE(platform::ParseXml("<Manifest version=\"1 &amp; 2\"/>", plain));
}

class XmlFetchTest : public XmlTest {
protected:
    void SetUp() override { ASSERT_TRUE(server_.ok()) << server_.why(); }
    platform_test::HttpTestServer server_;
};

TEST_F(XmlFetchTest, ManifestsAreFetchedAndStatusesAndFailuresToldApart) {
    server_.Put("Vorsel/Update.xml", Manifest("GBK", kNameGbk, kWordGbk));
    server_.Put("Vorsel/Broken.xml", "<Manifest version=\"1\"><FileList>");

    platform::XmlDocument document = platform::FetchXml(server_.Url("/Vorsel/Update.xml?12.34"));
    EXPECT_EQ(document.status, 200);
    EXPECT_FALSE(document.parseFailed);
    EXPECT_TRUE(document.ok());
    ExpectManifest(document.root);

    document = platform::FetchXml(server_.Url("/Vorsel/Missing.xml?1.2"));
    EXPECT_EQ(document.status, 404);
    EXPECT_FALSE(document.ok());
    EXPECT_TRUE(document.root.name.empty());

    document = platform::FetchXml(server_.Url("/Vorsel/Update.xml?status=500"));
    EXPECT_EQ(document.status, 500);
    EXPECT_FALSE(document.ok());

    document = platform::FetchXml(server_.Url("/Vorsel/Broken.xml"));
    EXPECT_EQ(document.status, 200);
    EXPECT_TRUE(document.parseFailed);
    EXPECT_FALSE(document.ok());

    document = platform::FetchXml("http://127.0.0.1:1/Vorsel/Update.xml");
    EXPECT_EQ(document.status, 0);
    EXPECT_FALSE(document.ok());
    EXPECT_FALSE(document.error.empty());
}

}  // namespace
