#pragma once
// CTextConverter: one conversion of a buffer between two encodings named as a file or a text
// declares them ("UTF-8", "windows-1252", "UTF-16", ...).
//
// Units depend on the encoding: bytes for byte code pages (UTF-8 included), 16-bit units for
// UTF-16 (code pages 1200 and 1201) and 32-bit units for UTF-32 (65005, 12000, 12001), always
// in the host's byte order; byte order on disk is the file stream's business.
//
// Unicode encodings and Windows-1252 (also code page 0) are converted by our own code, the
// other code pages through iconv. What cannot be read becomes '?' (malformed UTF-8, unpaired
// surrogates, UTF-32 values that are no characters); undecodable bytes of an iconv code page
// become U+FFFD. A character the target code page cannot hold is written as '?' and sets
// lossFlag, except on the code pages where the question is not asked (the stateful ISO-2022
// family, HZ, GB18030, ISCII, UTF-7 and UTF-8).
//
// Convert without a destination measures: it returns the units the conversion needs, so a
// caller can size the destination exactly and convert a second time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CTextConverter {
public:
  CTextConverter(std::u16string_view fromEncoding, std::u16string_view toEncoding);
  CTextConverter(int fromCodePage, int toCodePage);

  // Converts sourceLength source units into destination (room for destinationLength target
  // units), or measures when destination is null. Returns the units produced (never more than
  // destinationLength) or needed; 0 when the pair cannot be converted.
  std::size_t Convert(const void* source, std::size_t sourceLength, void* destination,
                      std::size_t destinationLength);

  std::uint32_t GetLossFlag() const { return m_nLossFlag; }
  std::size_t GetResultLength() const { return m_nResultLength; }
  int GetFromCodePage() const { return m_nFromCodePage; }
  int GetToCodePage() const { return m_nToCodePage; }

  // 1, 2 or 4: the size of one unit of a code page as this converter takes it.
  static int UnitSizeOf(int codePage);
  static bool IsUtf16(int codePage);
  static bool IsUtf32(int codePage);
  // Whether the platform's conversion would report characters it had to replace.
  static bool AsksAboutLoss(int codePage);

  // Helpers for paths and error texts, which are always UTF-8 on this system.
  static std::string Utf16ToUtf8(std::u16string_view text);
  static std::u16string Utf8ToUtf16(std::string_view text);

private:
  std::size_t ConvertToUtf16(const void* source, std::size_t sourceLength, char16_t* destination,
                             std::size_t destinationLength);
  std::size_t ConvertFromUtf16(const char16_t* source, std::size_t sourceLength,
                               void* destination, std::size_t destinationLength);

  int m_nFromCodePage = 0;
  int m_nToCodePage = 0;
  std::size_t m_nResultLength = 0;
  std::uint32_t m_nLossFlag = 0;
};
