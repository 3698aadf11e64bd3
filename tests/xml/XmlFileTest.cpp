#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "xml/XmlDocument.h"

namespace {

namespace fs = std::filesystem;

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text)
    out += c < 0x80 ? static_cast<char>(c) : '#';
  return out;
}

std::u16string Widen(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::string Hex(std::u16string_view units) {
  std::string out;
  for (char16_t u : units)
    out += std::to_string(static_cast<unsigned>(u)) + ' ';
  return out;
}

// A fresh folder per test, removed with everything in it afterwards.
class XmlFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "xmlfile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(m_folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_folder, ignored);
  }

  std::string PathOf(std::string_view name) const { return (m_folder / name).string(); }
  std::u16string WidePath(std::string_view name) const { return Widen(PathOf(name)); }

  void WriteBytes(std::string_view name, std::string_view bytes) const {
    std::ofstream out(PathOf(name), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string ReadBytes(std::string_view name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()));
  }

  fs::path m_folder;
};

struct ReadCase {
  const char* name;
  std::string_view bytes;
  std::u16string_view text;
  std::u16string_view report;
  std::uint32_t flags;
};

void ExpectRead(const ReadCase& c, const std::u16string& path) {
  SCOPED_TRACE(c.name);
  std::u16string text = u"left over";
  std::u16string report;
  std::uint32_t flags = 0x84;  // mark bits of an earlier file must not survive
  EXPECT_TRUE(CXmlDocument::ReadTextFile(text, &flags, &report, path.c_str()));
  EXPECT_EQ(Hex(text), Hex(c.text)) << Narrow(text);
  EXPECT_EQ(Narrow(report), Narrow(c.report));
  EXPECT_EQ(flags, c.flags);
}

TEST_F(XmlFileTest, ByteOrderMarksChooseTheEncodingAndAreWrittenAgain) {
  const ReadCase cases[] = {
      {"utf-8 mark", "\xEF\xBB\xBF<a>\xC3\xA9</a>", u"<a>\u00E9</a>",
       u"<bom/><read encoding=\"UTF-8\" length=\"9\"/><converted_to encoding=\"UTF-16\" length=\"8\"/>", 0x04},
      {"utf-16le mark", std::string_view("\xFF\xFE<\0a\0/\0>\0\xE9\0", 12), u"<a/>\u00E9",
       u"<bom/><read encoding=\"UTF-16LE\" length=\"5\"/>", 0x01},
      {"utf-16be mark", std::string_view("\xFE\xFF\0<\0a\0/\0>\x4E\x2D", 12), u"<a/>\u4E2D",
       u"<bom/><read encoding=\"UTF-16BE\" length=\"5\"/><endian_swap/>", 0x80},
  };
  for (const ReadCase& c : cases) {
    WriteBytes("marked.xml", c.bytes);
    ExpectRead(c, WidePath("marked.xml"));

    // The mark bit kept in modeFlags makes the next save write the same bytes.
    CXmlDocument document;
    ASSERT_TRUE(document.LoadFile(WidePath("marked.xml").c_str()));
    ASSERT_TRUE(document.SaveFile(WidePath("saved.xml").c_str()));
    EXPECT_EQ(ReadBytes("saved.xml"), std::string(c.bytes)) << c.name;
    EXPECT_EQ(document.GetModeFlags(), c.flags);
  }
  CXmlDocument document;
  document.SetDocumentText(u"<a>\u00E9</a>");
  document.SetModeFlags(0x80);
  ASSERT_TRUE(document.SaveFile(WidePath("be.xml").c_str()));
  EXPECT_EQ(Narrow(document.GetResultReport()),
            "<bom/><endian_swap/><write encoding=\"UTF-16BE\" length=\"8\"/>");
}

TEST_F(XmlFileTest, EncodingIsFoundByDeclarationOrByTestingTheBytes) {
  const ReadCase cases[] = {
      {"declared utf-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE2\x82\xAC</a>",
       u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\u20AC</a>",
       u"<read encoding=\"UTF-8\" length=\"48\"/><converted_to encoding=\"UTF-16\" length=\"46\"/>", 0},
      {"declared windows-1252", "<?xml version='1.0' encoding='windows-1252'?><a>\x80\xE9</a>",
       u"<?xml version='1.0' encoding='windows-1252'?><a>\u20AC\u00E9</a>",
       u"<read encoding=\"windows-1252\" length=\"54\"/><converted_to encoding=\"UTF-16\" length=\"54\"/>", 0},
      {"unknown name reads as the ANSI code page", "<?xml version='1.0' encoding='x-mystery'?><a>\xE9</a>",
       u"<?xml version='1.0' encoding='x-mystery'?><a>\u00E9</a>",
       u"<read encoding=\"x-mystery\" length=\"50\"/><converted_to encoding=\"UTF-16\" length=\"50\"/>", 0},
      {"html meta charset", "<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=iso-8859-1\">\xE9",
       u"<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=iso-8859-1\">\u00E9",
       u"<read encoding=\"iso-8859-1\" length=\"85\"/><converted_to encoding=\"UTF-16\" length=\"85\"/>", 0},
      {"first byte '<' is UTF-8 untested", "<a>\xE9</a>", u"<a>?</a>",
       u"<read encoding=\"UTF-8\" length=\"8\"/><converted_to encoding=\"UTF-16\" length=\"8\"/>", 0},
      {"tested and passing", " <a>\xC3\xA9</a>", u" <a>\u00E9</a>",
       u"<read encoding=\"UTF-8\" length=\"10\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"9\"/>", 0},
      {"tested and failing reads the ANSI code page", "caf\xE9 \x80", u"caf\u00E9 \u20AC",
       u"<read encoding=\"\" length=\"6\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"6\"/>", 0},
      {"zero bytes removed", std::string_view("<\0a\0/\0>\0", 8), u"<a/>",
       u"<read encoding=\"UTF-8\" length=\"8\"/><nulls_removed count=\"4\"/>"
       u"<converted_to encoding=\"UTF-16\" length=\"4\"/>", 0},
      {"zero units removed after a mark", std::string_view("\xFF\xFE<\0\0\0a\0", 8), u"<a",
       u"<bom/><read encoding=\"UTF-16LE\" length=\"3\"/><nulls_removed count=\"1\"/>", 0x01},
      // An empty file is not looked at for a mark, so the given mark bits stay.
      {"utf-16 declared in single bytes", "<?xml version='1.0' encoding='UTF-16'?><a>\xC3\xA9</a>",
       u"<?xml version='1.0' encoding='UTF-16'?><a>\u00E9</a>",
       u"<read encoding=\"UTF-16\" length=\"48\"/><converted_to encoding=\"UTF-16\" length=\"47\"/>", 0},
      {"empty file", "", u"", u"<read encoding=\"\" length=\"0\"/>", 0x84},
      {"mark alone", "\xEF\xBB\xBF", u"", u"<bom/><read encoding=\"UTF-8\" length=\"0\"/>", 0x04},
  };
  for (const ReadCase& c : cases) {
    WriteBytes("in.xml", c.bytes);
    ExpectRead(c, WidePath("in.xml"));
  }
}

TEST_F(XmlFileTest, Utf32DeclaredFilesAreReadInWholeUnits) {
  const std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-32\"?><a>\U0001F600\u00E9</a>";
  for (const char* encoding : {"UTF-32", "UTF-32BE"}) {
    SCOPED_TRACE(encoding);
    std::u16string declared = text;
    declared.replace(declared.find(u"UTF-32"), 6, Widen(encoding));
    CXmlDocument written(declared);
    ASSERT_TRUE(written.SaveFile(WidePath("wide.xml").c_str()));
    const std::string bytes = ReadBytes("wide.xml");
    ASSERT_EQ(bytes.size(), 4 * (declared.size() - 1));  // the pair is one unit
    EXPECT_EQ(bytes[0] == '<', std::string_view(encoding) == "UTF-32");

    CXmlDocument read;
    EXPECT_TRUE(read.LoadFile(WidePath("wide.xml").c_str()));
    EXPECT_EQ(Hex(read.GetDocumentText()), Hex(declared));
    EXPECT_TRUE(read.IsWellFormed());
  }
}

TEST_F(XmlFileTest, PanelFileReportsAreExact) {
  const std::u16string text =
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Objects count=\"1\"/>\r\n<Option/>\r\n<Gr\u00FC\u00DFe/>\r\n";
  CXmlDocument saved(text);
  ASSERT_TRUE(saved.SaveFile(WidePath("panel.xml").c_str()));
  const std::string bytes = ReadBytes("panel.xml");
  const std::string size = std::to_string(bytes.size());
  const std::string length = std::to_string(text.size());
  EXPECT_EQ(Narrow(saved.GetResultReport()), "<converted_from encoding=\"UTF-16\" length=\"" + length +
                                                  "\"/><write encoding=\"UTF-8\" length=\"" + size + "\"/>");
  EXPECT_EQ(bytes.substr(0, 5), "<?xml");  // no mark
  EXPECT_EQ(bytes.size(), text.size() + 2);

  CXmlDocument loaded;
  ASSERT_TRUE(loaded.LoadFile(WidePath("panel.xml").c_str()));
  EXPECT_EQ(Hex(loaded.GetDocumentText()), Hex(text));
  EXPECT_EQ(Narrow(loaded.GetResultReport()), "<read encoding=\"UTF-8\" length=\"" + size +
                                                  "\"/><converted_to encoding=\"UTF-16\" length=\"" +
                                                  length + "\"/><root_has_sibling/>");
  EXPECT_EQ(loaded.GetModeFlags(), 0u);
}

TEST_F(XmlFileTest, TheDeclaredEncodingChoosesTheBytesWritten) {
  struct Case {
    const char* name;
    std::string_view encoding;
    std::string_view bytes;  // the file's first bytes
    std::string_view report;
    std::uint32_t flags;
  } const cases[] = {
      {"no declaration is UTF-8", "", "<a>\xC3\xA9",
       "<converted_from encoding=\"UTF-16\" length=\"8\"/><write encoding=\"UTF-8\" length=\"9\"/>", 0},
      {"windows-1252", "windows-1252", "<?xml",
       "<converted_from encoding=\"UTF-16\" length=\"53\"/><write encoding=\"windows-1252\" length=\"53\"/>", 0},
      {"koi8-r", "koi8-r", "<?xml",
       "<converted_from encoding=\"UTF-16\" length=\"47\"/><conversion_loss/><write encoding=\"koi8-r\" length=\"47\"/>", 0},
      // UTF-16 needs its mark to be recognised, so a declared UTF-16 text gets one.
      {"UTF-16", "UTF-16", std::string_view("\xFF\xFE<\0?\0", 6),
       "<bom/><write encoding=\"UTF-16LE\" length=\"47\"/>", 0x01},
      {"utf-16be", "utf-16be", std::string_view("\xFE\xFF\0<\0?", 6),
       "<bom/><endian_swap/><write encoding=\"UTF-16BE\" length=\"49\"/>", 0x80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text = u"<a>\u00E9</a>";
    if (!c.encoding.empty())
      text = u"<?xml version=\"1.0\" encoding=\"" + Widen(c.encoding) + u"\"?>" + text;
    CXmlDocument saved(text);
    ASSERT_TRUE(saved.SaveFile(WidePath("out.xml").c_str()));
    EXPECT_EQ(Narrow(saved.GetResultReport()), c.report);
    EXPECT_EQ(saved.GetModeFlags(), c.flags);
    EXPECT_EQ(ReadBytes("out.xml").substr(0, c.bytes.size()), c.bytes);

    CXmlDocument loaded;
    ASSERT_TRUE(loaded.LoadFile(WidePath("out.xml").c_str()));
    if (c.encoding != "koi8-r") {  // koi8-r has no e acute
      EXPECT_EQ(Hex(loaded.GetDocumentText()), Hex(text));
    }
  }
}

TEST_F(XmlFileTest, WritingReportsLossAndEmptyTexts) {
  CXmlDocument lossy(u"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\u00E9\u20AC</a>");
  ASSERT_TRUE(lossy.SaveFile(WidePath("lossy.xml").c_str()));
  EXPECT_EQ(Narrow(lossy.GetResultReport()),
            "<converted_from encoding=\"UTF-16\" length=\"52\"/><conversion_loss/>"
            "<write encoding=\"iso-8859-1\" length=\"52\"/>");
  EXPECT_EQ(ReadBytes("lossy.xml").substr(46), "\xE9?</a>");

  std::u16string report;
  WriteBytes("empty.xml", "old content");
  EXPECT_TRUE(CXmlDocument::WriteTextFile(&report, nullptr, WidePath("empty.xml").c_str(), u""));
  EXPECT_EQ(Narrow(report), "<write encoding=\"\" length=\"0\"/>");
  EXPECT_EQ(ReadBytes("empty.xml"), "");
}

TEST_F(XmlFileTest, FilesThatCannotBeOpenedGiveTheSystemsError) {
  fs::create_directory(m_folder / "folder");
  WriteBytes("plain", "x");
  struct Case {
    const char* name;
    std::string path;
    bool write;
    std::string_view report;
  } const cases[] = {
      {"missing file", PathOf("missing.xml"), false, "<file_error msg=\"No such file or directory\" n=\"2\"/>"},
      {"folder read as a file", PathOf("folder"), false, "<file_error msg=\"Is a directory\" n=\"21\"/>"},
      // Tests run as root, so an unwritable folder is made as a path through a regular file.
      {"parent is a file (read)", PathOf("plain/a.xml"), false, "<file_error msg=\"Not a directory\" n=\"20\"/>"},
      {"parent is a file (write)", PathOf("plain/a.xml"), true, "<file_error msg=\"Not a directory\" n=\"20\"/>"},
      {"missing folder", PathOf("none/a.xml"), true, "<file_error msg=\"No such file or directory\" n=\"2\"/>"},
      {"folder written as a file", PathOf("folder"), true, "<file_error msg=\"Is a directory\" n=\"21\"/>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text = u"left over";
    std::u16string report;
    std::uint32_t flags = 0x04;
    const std::u16string path = Widen(c.path);
    const bool result = c.write ? CXmlDocument::WriteTextFile(&report, &flags, path.c_str(), u"<a/>")
                                : CXmlDocument::ReadTextFile(text, &flags, &report, path.c_str());
    EXPECT_FALSE(result);
    EXPECT_EQ(Narrow(report), c.report);
    EXPECT_EQ(flags, 0x04u);
    if (!c.write) {
      EXPECT_TRUE(text.empty());
    }
  }
  EXPECT_EQ(ReadBytes("plain"), "x");

  CXmlDocument document(u"<old/>");
  EXPECT_FALSE(document.LoadFile(WidePath("missing.xml").c_str()));
  EXPECT_TRUE(document.GetDocumentText().empty());
  EXPECT_EQ(Narrow(document.GetResultReport()), "<file_error msg=\"No such file or directory\" n=\"2\"/>");
}

// A FIFO is no regular file: it is written in place (never renamed over), and opening it
// without a reader fails at once instead of hanging.
TEST_F(XmlFileTest, SpecialFilesAreNeitherReplacedNorWaitedFor) {
  ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
  std::u16string report;
  EXPECT_FALSE(CXmlDocument::WriteTextFile(&report, nullptr, WidePath("pipe").c_str(), u"<a/>"));
  EXPECT_EQ(Narrow(report), "<file_error msg=\"No such device or address\" n=\"6\"/>");
  std::u16string text;
  EXPECT_FALSE(CXmlDocument::ReadTextFile(text, nullptr, &report, WidePath("pipe").c_str()));
  EXPECT_EQ(Narrow(report), "<file_error msg=\"Invalid argument\" n=\"22\"/>");
  EXPECT_TRUE(fs::is_fifo(m_folder / "pipe"));
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(XmlFileTest, SavingReplacesTheLinksTargetAndKeepsItsPermissions) {
  WriteBytes("target.xml", "old");
  ASSERT_EQ(chmod(PathOf("target.xml").c_str(), 0640), 0);
  fs::create_symlink("target.xml", m_folder / "link.xml");

  CXmlDocument document(u"<new/>");
  ASSERT_TRUE(document.SaveFile(WidePath("link.xml").c_str()));
  EXPECT_TRUE(fs::is_symlink(m_folder / "link.xml"));
  EXPECT_EQ(ReadBytes("target.xml"), "<new/>");
  struct stat status;
  ASSERT_EQ(stat(PathOf("target.xml").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(EntryCount(), 2u);  // no temporary file left behind
}

// The size limit makes the write fail part-way, as a full disk would.
TEST_F(XmlFileTest, FailedSaveLeavesTheOldFileIntact) {
  WriteBytes("panel.xml", "<old>kept</old>");
  const std::u16string text = u"<new>" + std::u16string(4096, u'x') + u"</new>";

  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  std::u16string report;
  const bool written = CXmlDocument::WriteTextFile(&report, nullptr, WidePath("panel.xml").c_str(), text);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(written);
  EXPECT_EQ(Narrow(report), "<converted_from encoding=\"UTF-16\" length=\"4107\"/>"
                            "<file_error msg=\"File too large\" n=\"27\"/>");
  EXPECT_EQ(ReadBytes("panel.xml"), "<old>kept</old>");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(XmlFileTest, AppendingAddsNoSecondMark) {
  std::uint32_t flags = 0x04 | 0x40;
  std::u16string report;
  ASSERT_TRUE(CXmlDocument::WriteTextFile(&report, &flags, WidePath("log.xml").c_str(), u"<a/>"));
  EXPECT_EQ(Narrow(report), "<bom/><converted_from encoding=\"UTF-16\" length=\"4\"/><write encoding=\"UTF-8\" length=\"4\"/>");
  EXPECT_EQ(flags, 0x04u);  // the open bits are cleared, the mark bit stays
  flags |= 0x40;
  ASSERT_TRUE(CXmlDocument::WriteTextFile(&report, &flags, WidePath("log.xml").c_str(), u"<b/>"));
  EXPECT_EQ(Narrow(report), "<converted_from encoding=\"UTF-16\" length=\"4\"/><write encoding=\"UTF-8\" length=\"4\"/>");
  EXPECT_EQ(ReadBytes("log.xml"), "\xEF\xBB\xBF<a/><b/>");

  // Reading with those bits still set reads; it never opens the file for writing.
  flags = 0x40 | 0x20;
  std::u16string text;
  EXPECT_TRUE(CXmlDocument::ReadTextFile(text, &flags, nullptr, WidePath("log.xml").c_str()));
  EXPECT_EQ(Narrow(text), "<a/><b/>");
  EXPECT_EQ(flags, 0x04u);
}

TEST(EncodingFromTextTest, DeclarationsAndMetaCharsets) {
  struct Case {
    std::u16string_view text;
    std::u16string_view encoding;
  } const cases[] = {
      {u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", u"UTF-8"},
      {u"<?XML encoding='koi8-r' version='1.0'?>", u"koi8-r"},
      {u"<?xml version=\"1.0\"?><a/>", u""},
      {u" <?xml version=\"1.0\" encoding=\"UTF-8\"?>", u""},  // not a declaration unless first
      {u"<root encoding=\"x\"/>", u""},
      {u"<!DOCTYPE html><HTML><head><title>t</title><meta http-equiv=\"Content-Type\" "
       u"content=\"text/html; charset=iso-8859-1\"></head>", u"iso-8859-1"},
      {u"<html><meta name=\"x\"><meta http-equiv=\"Content-Type\" content=\"text/html; CHARSET = big5\">", u"big5"},
      {u"<html><meta http-equiv=\"Content-Type\" content=\"text/html\"><meta http-equiv=\"Content-Type\" "
       u"content=\"text/html; charset=big5\">", u""},
      {u"<html><head></head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", u""},
      {u"<html><1><meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", u""},
      {std::u16string_view(u"<?xml\0 encoding='x'?>", 21), u""},
      {u"", u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Narrow(CXmlDocument::EncodingFromText(c.text)), Narrow(c.encoding)) << Narrow(c.text);
}

}  // namespace
