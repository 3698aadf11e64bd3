#include "CityHash64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct KnownAnswer {
  const char* path;  // which length path of the hash the input takes
  std::string input;
  std::uint64_t hash;
};

const std::string kSentence = "The quick brown fox jumps over the lazy dog";

std::vector<KnownAnswer> KnownAnswers() {
  return {
      {"0 bytes", "", 0x9AE16A3B2F90404FULL},
      {"1 byte", "a", 0x2420662CD003ACFAULL},
      {"3 bytes", "abc", 0x3A912F483A4ECE31ULL},
      {"8 bytes", "12345678", 0x639BF6EF3EE1EE2FULL},
      {"16 bytes", "0123456789abcdef", 0x099D21E99DAC3317ULL},
      {"21 bytes", "part name with spaces", 0x0CB73BD5938846C5ULL},
      {"43 bytes", kSentence, 0xE7BA87D247C31277ULL},
      {"89 bytes", kSentence + ". " + kSentence + ".", 0x0E7659B3DFB9236DULL},
  };
}

TEST(CityHash64Test, MatchesKnownAnswersOnEveryLengthPath) {
  for (const auto& known : KnownAnswers()) {
    SCOPED_TRACE(known.path);
    EXPECT_EQ(parthash::CityHash64(known.input.data(), known.input.size()), known.hash)
        << std::hex << "input \"" << known.input << "\"";
  }
}

TEST(CityHash64Test, ReadsUnalignedInputInPlace) {
  // The same bytes at every offset within a word must hash the same: reads never assume
  // alignment, and the sanitizers watch every read past the end.
  const std::string name = kSentence + ". " + kSentence + ".";
  for (std::size_t offset = 0; offset < 8; ++offset) {
    SCOPED_TRACE(offset);
    std::vector<char> shifted(offset + name.size());
    std::copy(name.begin(), name.end(), shifted.begin() + static_cast<std::ptrdiff_t>(offset));
    EXPECT_EQ(parthash::CityHash64(shifted.data() + offset, name.size()), 0x0E7659B3DFB9236DULL);
  }
}

TEST(CityHash64Test, SpanAndPointerFormsAgree) {
  const std::string name = "abc";
  EXPECT_EQ(parthash::CityHash64(std::as_bytes(std::span(name))), 0x3A912F483A4ECE31ULL);
}

TEST(CityHash64Test, LongInputsCoverEveryBlockRemainder) {
  // Lengths 65..200 cross one to three 64-byte blocks with every overlap of the tail. No
  // published answers exist for them, so the check is that nothing reads outside the buffer
  // (sanitizers) and that neighbouring lengths never collide.
  std::string text;
  for (int i = 0; i < 200; ++i) text.push_back(static_cast<char>('!' + (i * 7) % 90));
  std::uint64_t previous = 0;
  for (std::size_t len = 65; len <= text.size(); ++len) {
    std::vector<char> exact(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(len));
    const auto hash = parthash::CityHash64(exact.data(), exact.size());
    EXPECT_NE(hash, previous) << "length " << len;
    previous = hash;
  }
}

}  // namespace
