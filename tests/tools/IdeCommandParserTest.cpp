// The vitrel-ide command language: what each line becomes, and the message a bad line gets.

#include <gtest/gtest.h>

#include "tools/IdeCommandParser.h"

namespace {

struct LineCase {
  const char* szLine;
  std::optional<IdeCommandKind> kind;  // nothing: blank line or error
  const char* szError;                 // part of the message, or null when none is expected
};

TEST(IdeCommandParserTest, EachLineBecomesOneCommandOrANamedError) {
  const LineCase cases[] = {
      {"", std::nullopt, nullptr},
      {"   # a comment", std::nullopt, nullptr},
      {"handle", IdeCommandKind::Handle, nullptr},
      {"  addresses  \r", IdeCommandKind::Addresses, nullptr},
      {"quit", IdeCommandKind::Quit, nullptr},
      {"memory", IdeCommandKind::Memory, nullptr},
      {"load /tmp/panel.xml", IdeCommandKind::Load, nullptr},
      {"wait 250", IdeCommandKind::Wait, nullptr},
      {"lod /tmp/x", std::nullopt, "unknown command \"lod\""},
      {"Handle", std::nullopt, "unknown command"},
      {"handle now", std::nullopt, "takes no arguments"},
      {"load", std::nullopt, "path is missing"},
      {"save \xFF", std::nullopt, "not valid UTF-8"},
      {"memory 0x40", std::nullopt, "\"0x40\" is not ADDR=VALUE"},
      {"memory 0x10000=1", std::nullopt, "is not ADDR=VALUE"},
      {"memory 1=256", std::nullopt, "is not ADDR=VALUE"},
      {"memory 1=-1", std::nullopt, "is not ADDR=VALUE"},
      {"memory 1=0x", std::nullopt, "is not ADDR=VALUE"},
      {"wait", std::nullopt, "milliseconds"},
      {"wait 3600001", std::nullopt, "milliseconds"},
      {"wait 10ms", std::nullopt, "milliseconds"},
  };
  for (const LineCase& test : cases) {
    SCOPED_TRACE(test.szLine);
    const IdeCommandLine parsed = CIdeCommandParser::ParseLine(test.szLine);
    ASSERT_EQ(test.kind.has_value(), parsed.command.has_value());
    if (test.kind) {
      EXPECT_EQ(*test.kind, parsed.command->kind);
    }
    ASSERT_EQ(test.szError != nullptr, parsed.IsError()) << parsed.strError;
    if (test.szError) {
      EXPECT_NE(std::string::npos, parsed.strError.find(test.szError)) << parsed.strError;
    }
  }
}

TEST(IdeCommandParserTest, ArgumentsKeepTheirValues) {
  const auto memory = CIdeCommandParser::ParseLine("memory 0x40=0x01 64=128\t0xFFFF=255");
  ASSERT_TRUE(memory.command);
  EXPECT_EQ((std::vector<MemoryEntry>{{0x40, 0x01}, {0x40, 0x80}, {0xFFFF, 0xFF}}), memory.command->entries);

  // A path is the rest of the line: inner blanks stay, outer ones go.
  const auto save = CIdeCommandParser::ParseLine("save   /tmp/my panel.xml  ");
  ASSERT_TRUE(save.command);
  EXPECT_EQ("/tmp/my panel.xml", save.command->strPath);

  EXPECT_EQ(0x10u, CIdeCommandParser::ParseLine("wait 0x10").command->nWaitMs);
}

TEST(IdeCommandParserTest, ScriptErrorNamesTheLine) {
  std::string error;
  const auto commands = CIdeCommandParser::ParseScript("# demo\nhandle\n\nmemory 1=2\n", error);
  ASSERT_TRUE(commands);
  EXPECT_EQ(2u, commands->size());

  EXPECT_FALSE(CIdeCommandParser::ParseScript("handle\n\nflush\nquit", error));
  EXPECT_EQ("line 3: unknown command \"flush\" (expected load, save, memory, handle, addresses, wait or quit)", error);
}

}  // namespace
