#include "xml/TextConverter.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "xml/EncodingTable.h"

namespace {

constexpr char32_t kUnreadable = U'?';
constexpr char32_t kUndecodable = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr std::size_t kScratchBytes = 4096;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Units are moved through memcpy: sources and destinations are caller buffers whose alignment
// this code does not control (a byte buffer read from a file may hold UTF-32).
template <typename Unit>
Unit LoadUnit(const unsigned char* base, std::size_t index) {
  Unit unit;
  std::memcpy(&unit, base + index * sizeof(Unit), sizeof(Unit));
  return unit;
}

// Collects units into a destination, or only counts them when there is none. Units beyond the
// destination's room are counted as dropped, never written.
template <typename Unit>
class CUnitSink {
public:
  CUnitSink(void* destination, std::size_t room)
      : m_pDestination(static_cast<unsigned char*>(destination)), m_nRoom(room) {}

  void Put(Unit unit) {
    if (m_pDestination != nullptr) {
      if (m_nCount >= m_nRoom)
        return;
      std::memcpy(m_pDestination + m_nCount * sizeof(Unit), &unit, sizeof(Unit));
    }
    ++m_nCount;
  }
  // Bytes below 0x80 copied as units; the hot path of a mostly ASCII file.
  void PutAscii(const unsigned char* bytes, std::size_t count) {
    if (m_pDestination != nullptr) {
      count = std::min(count, m_nRoom - m_nCount);
      for (std::size_t i = 0; i < count; ++i) {
        const Unit unit = bytes[i];
        std::memcpy(m_pDestination + (m_nCount + i) * sizeof(Unit), &unit, sizeof(Unit));
      }
    }
    m_nCount += count;
  }
  std::size_t Count() const { return m_nCount; }
  bool IsFull() const { return m_pDestination != nullptr && m_nCount >= m_nRoom; }

private:
  unsigned char* m_pDestination;
  std::size_t m_nRoom;
  std::size_t m_nCount = 0;
};

// Code point sinks: each turns code points into its encoding's units.
class CUtf16Sink : public CUnitSink<char16_t> {
public:
  using CUnitSink::CUnitSink;
  void PutCodePoint(char32_t c) {
    if (c < 0x10000) {
      Put(static_cast<char16_t>(c));
      return;
    }
    c -= 0x10000;
    Put(static_cast<char16_t>(0xD800 + (c >> 10)));
    Put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
};

class CUtf32Sink : public CUnitSink<char32_t> {
public:
  using CUnitSink::CUnitSink;
  void PutCodePoint(char32_t c) { Put(c); }
};

class CUtf8Sink : public CUnitSink<unsigned char> {
public:
  using CUnitSink::CUnitSink;
  void PutCodePoint(char32_t c) {
    if (c < 0x80) {
      Put(static_cast<unsigned char>(c));
    } else if (c < 0x800) {
      Put(static_cast<unsigned char>(0xC0 | (c >> 6)));
      Put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      Put(static_cast<unsigned char>(0xE0 | (c >> 12)));
      Put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
      Put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
    } else {
      Put(static_cast<unsigned char>(0xF0 | (c >> 18)));
      Put(static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
      Put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
      Put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
    }
  }
};

// Windows-1252 as the platform has it: 0x81, 0x8D, 0x8F, 0x90 and 0x9D, which the code page
// leaves undefined, stand for the C1 controls of the same value, so every byte round-trips.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<unsigned char> Windows1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
    return static_cast<unsigned char>(c);
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] == c)
      return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

class CWindows1252Sink : public CUnitSink<unsigned char> {
public:
  using CUnitSink::CUnitSink;
  void PutCodePoint(char32_t c) {
    const std::optional<unsigned char> byte = Windows1252Byte(c);
    if (!byte)
      m_bLoss = true;
    Put(byte.value_or(static_cast<unsigned char>(kUnreadable)));
  }
  bool HadLoss() const { return m_bLoss; }

private:
  bool m_bLoss = false;
};

// --- Decoders: each reads its units and hands code points (or ASCII runs) to a sink. ---

// The accepted range of a UTF-8 sequence's second byte; it excludes overlong forms, encoded
// surrogates and values beyond U+10FFFF.
std::pair<unsigned char, unsigned char> SecondByteRange(unsigned char lead) {
  switch (lead) {
    case 0xE0: return {0xA0, 0xBF};
    case 0xED: return {0x80, 0x9F};
    case 0xF0: return {0x90, 0xBF};
    case 0xF4: return {0x80, 0x8F};
    default: return {0x80, 0xBF};
  }
}

std::size_t AsciiRunLength(const unsigned char* bytes, std::size_t count) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::size_t run = 0;
  while (run + 8 <= count) {
    std::uint64_t block;
    std::memcpy(&block, bytes + run, 8);
    if ((block & kHighBits) != 0)
      break;
    run += 8;
  }
  while (run < count && bytes[run] < 0x80)
    ++run;
  return run;
}

// Decodes one sequence of 2 to 4 bytes at bytes[0]; returns the code point (or kUnreadable)
// and the bytes it took. A malformed sequence takes its lead byte and the continuation bytes
// that were still acceptable, so one '?' stands for one broken sequence.
std::pair<char32_t, std::size_t> DecodeUtf8Sequence(const unsigned char* bytes, std::size_t count) {
  const unsigned char lead = bytes[0];
  std::size_t further;
  char32_t c;
  if (lead >= 0xC2 && lead <= 0xDF) {
    further = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    further = 2;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    further = 3;
    c = lead & 0x07;
  } else {
    return {kUnreadable, 1};
  }
  for (std::size_t i = 1; i <= further; ++i) {
    const auto [low, high] = i == 1 ? SecondByteRange(lead) : std::pair<unsigned char, unsigned char>{0x80, 0xBF};
    if (i >= count || bytes[i] < low || bytes[i] > high)
      return {kUnreadable, i};
    c = (c << 6) | (bytes[i] & 0x3F);
  }
  return {c, further + 1};
}

template <typename Sink>
void DecodeUtf8(const unsigned char* bytes, std::size_t count, Sink& sink) {
  std::size_t i = 0;
  while (i < count && !sink.IsFull()) {
    const std::size_t run = AsciiRunLength(bytes + i, count - i);
    if (run > 0) {
      sink.PutAscii(bytes + i, run);
      i += run;
      continue;
    }
    const auto [c, taken] = DecodeUtf8Sequence(bytes + i, count - i);
    sink.PutCodePoint(c);
    i += taken;
  }
}

template <typename Sink>
void DecodeUtf16(const unsigned char* units, std::size_t count, Sink& sink) {
  for (std::size_t i = 0; i < count && !sink.IsFull(); ++i) {
    const char32_t c = LoadUnit<char16_t>(units, i);
    if (!IsSurrogate(c)) {
      sink.PutCodePoint(c);
      continue;
    }
    const char32_t low = i + 1 < count ? LoadUnit<char16_t>(units, i + 1) : 0;
    if (!IsHighSurrogate(c) || !IsLowSurrogate(low)) {
      sink.PutCodePoint(kUnreadable);
      continue;
    }
    sink.PutCodePoint(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
    ++i;
  }
}

template <typename Sink>
void DecodeUtf32(const unsigned char* units, std::size_t count, Sink& sink) {
  for (std::size_t i = 0; i < count && !sink.IsFull(); ++i) {
    const char32_t c = LoadUnit<char32_t>(units, i);
    sink.PutCodePoint(IsSurrogate(c) || c > kLastCodePoint ? kUnreadable : c);
  }
}

template <typename Sink>
void DecodeWindows1252(const unsigned char* bytes, std::size_t count, Sink& sink) {
  for (std::size_t i = 0; i < count && !sink.IsFull(); ++i) {
    const unsigned char b = bytes[i];
    sink.PutCodePoint(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b);
  }
}

bool IsWindows1252(int codePage) {
  return codePage == kCodePageAnsi || codePage == kCodePageWindows1252;
}

// Code pages our own code reads and writes.
bool IsOwnCodePage(int codePage) {
  return codePage == kCodePageUtf8 || CTextConverter::IsUtf16(codePage) ||
         CTextConverter::IsUtf32(codePage) || IsWindows1252(codePage);
}

template <typename Sink>
void DecodeOwn(int codePage, const void* source, std::size_t count, Sink& sink) {
  const auto* bytes = static_cast<const unsigned char*>(source);
  if (codePage == kCodePageUtf8)
    DecodeUtf8(bytes, count, sink);
  else if (CTextConverter::IsUtf16(codePage))
    DecodeUtf16(bytes, count, sink);
  else if (CTextConverter::IsUtf32(codePage))
    DecodeUtf32(bytes, count, sink);
  else
    DecodeWindows1252(bytes, count, sink);
}

// Own decoding into own encoding; the loss flag only concerns Windows-1252 targets.
std::size_t ConvertOwn(int fromCodePage, const void* source, std::size_t count, int toCodePage,
                       void* destination, std::size_t room, bool& loss) {
  if (toCodePage == kCodePageUtf8) {
    CUtf8Sink sink(destination, room);
    DecodeOwn(fromCodePage, source, count, sink);
    return sink.Count();
  }
  if (CTextConverter::IsUtf16(toCodePage)) {
    CUtf16Sink sink(destination, room);
    DecodeOwn(fromCodePage, source, count, sink);
    return sink.Count();
  }
  if (CTextConverter::IsUtf32(toCodePage)) {
    CUtf32Sink sink(destination, room);
    DecodeOwn(fromCodePage, source, count, sink);
    return sink.Count();
  }
  CWindows1252Sink sink(destination, room);
  DecodeOwn(fromCodePage, source, count, sink);
  loss = sink.HadLoss();
  return sink.Count();
}

// --- iconv for the other code pages. ---

const char* HostUtf16Name() {
  return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// Owns one iconv descriptor.
class CIconvHandle {
public:
  static std::optional<CIconvHandle> Open(const char* toName, const char* fromName) {
    iconv_t descriptor = iconv_open(toName, fromName);
    if (descriptor == reinterpret_cast<iconv_t>(-1))
      return std::nullopt;
    return CIconvHandle(descriptor);
  }
  CIconvHandle(CIconvHandle&& other) noexcept : m_descriptor(std::exchange(other.m_descriptor, kNone)) {}
  CIconvHandle& operator=(CIconvHandle&&) = delete;
  CIconvHandle(const CIconvHandle&) = delete;
  ~CIconvHandle() {
    if (m_descriptor != kNone)
      iconv_close(m_descriptor);
  }
  iconv_t Get() const { return m_descriptor; }

private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  explicit CIconvHandle(iconv_t descriptor) : m_descriptor(descriptor) {}
  iconv_t m_descriptor;
};

// Output of an iconv run. iconv always writes into a scratch area, whose bytes are then copied
// to the destination as far as its room goes: measuring and converting then run exactly the
// same steps (iconv reports a full buffer instead of a bad character when room is short, so
// converting straight into an exactly sized destination could end differently).
class CIconvOutput {
public:
  CIconvOutput(void* destination, std::size_t roomBytes)
      : m_pDestination(static_cast<char*>(destination)), m_nRoom(destination ? roomBytes : 0) {}

  char* Next() { return m_scratch.data(); }
  std::size_t Left() const { return m_scratch.size(); }
  // Takes the bytes iconv just wrote at Next().
  void Advance(std::size_t bytes) { Put(m_scratch.data(), bytes); }
  void Put(const void* bytes, std::size_t count) {
    if (m_pDestination != nullptr && m_nWritten < m_nRoom)
      std::memcpy(m_pDestination + m_nWritten, bytes, std::min(count, m_nRoom - m_nWritten));
    m_nWritten += count;
  }
  bool IsFull() const { return m_pDestination != nullptr && m_nWritten >= m_nRoom; }
  std::size_t Written() const { return m_pDestination ? std::min(m_nWritten, m_nRoom) : m_nWritten; }

private:
  char* m_pDestination;
  std::size_t m_nRoom;
  std::size_t m_nWritten = 0;
  std::array<char, kScratchBytes> m_scratch{};
};

enum class IconvStep { kDone, kFull, kBadInput, kCutInput };

// One iconv call (or the final flush when input is null); records what it wrote.
IconvStep RunIconv(iconv_t descriptor, char** input, std::size_t* inputLeft, CIconvOutput& output) {
  char* next = output.Next();
  std::size_t left = output.Left();
  const std::size_t before = left;
  const std::size_t result = iconv(descriptor, input, inputLeft, &next, &left);
  output.Advance(before - left);
  if (result != static_cast<std::size_t>(-1))
    return IconvStep::kDone;
  if (errno == E2BIG)
    return IconvStep::kFull;
  return errno == EILSEQ ? IconvStep::kBadInput : IconvStep::kCutInput;
}

// Writes one replacement character by running it through the same descriptor, so that the
// '?' or U+FFFD comes out in the target's own encoding (EBCDIC's '?' is not 0x3F).
bool PutReplacement(iconv_t descriptor, const char* sourceUnit, std::size_t unitBytes,
                    CIconvOutput& output) {
  std::array<char, 4> unit{};
  std::memcpy(unit.data(), sourceUnit, std::min(unitBytes, unit.size()));
  char* input = unit.data();
  std::size_t inputLeft = unitBytes;
  for (;;) {
    const IconvStep step = RunIconv(descriptor, &input, &inputLeft, output);
    if (step != IconvStep::kFull)
      return step == IconvStep::kDone;
  }
}

// Runs a whole buffer through iconv. On bad input, skips `skip(input)` bytes and writes the
// replacement (given in the source encoding); returns whether any replacement was needed.
template <typename SkipFn>
bool RunIconvOver(iconv_t descriptor, const char* source, std::size_t bytes,
                  const char* replacement, std::size_t replacementBytes, SkipFn skip,
                  CIconvOutput& output) {
  bool replaced = false;
  char* input = const_cast<char*>(source);  // iconv's signature; it never writes the input
  std::size_t inputLeft = bytes;
  while (inputLeft > 0 && !output.IsFull()) {
    const IconvStep step = RunIconv(descriptor, &input, &inputLeft, output);
    if (step == IconvStep::kDone)
      break;
    if (step == IconvStep::kFull)
      continue;
    const std::size_t skipped = std::min(inputLeft, skip(input, inputLeft));
    input += skipped;
    inputLeft -= skipped;
    replaced = true;
    if (!PutReplacement(descriptor, replacement, replacementBytes, output))
      return replaced;
  }
  // Stateful encodings end with a return to their initial shift state.
  while (RunIconv(descriptor, nullptr, nullptr, output) == IconvStep::kFull) {
  }
  return replaced;
}

std::size_t IconvToUtf16(int fromCodePage, const void* source, std::size_t bytes,
                         char16_t* destination, std::size_t room) {
  const char* fromName = CEncodingTable::IconvNameOf(fromCodePage);
  if (fromName == nullptr)
    return 0;
  std::optional<CIconvHandle> handle = CIconvHandle::Open(HostUtf16Name(), fromName);
  if (!handle)
    return 0;
  // Undecodable bytes become U+FFFD one byte at a time: iconv does not tell how long the bad
  // sequence of a multi-byte code page is. The replacement is already UTF-16, so it is written
  // directly rather than run through the decoder.
  CIconvOutput output(destination, room * sizeof(char16_t));
  char* input = const_cast<char*>(static_cast<const char*>(source));
  std::size_t inputLeft = bytes;
  while (inputLeft > 0 && !output.IsFull()) {
    const IconvStep step = RunIconv(handle->Get(), &input, &inputLeft, output);
    if (step == IconvStep::kDone)
      break;
    if (step == IconvStep::kFull)
      continue;
    const char16_t replacement = static_cast<char16_t>(kUndecodable);
    output.Put(&replacement, sizeof replacement);
    const std::size_t skipped = step == IconvStep::kCutInput ? inputLeft : 1;
    input += skipped;
    inputLeft -= skipped;
  }
  return output.Written() / sizeof(char16_t);
}

std::size_t IconvFromUtf16(int toCodePage, const char16_t* source, std::size_t units,
                           void* destination, std::size_t room, bool& loss) {
  const char* toName = CEncodingTable::IconvNameOf(toCodePage);
  if (toName == nullptr)
    return 0;
  std::optional<CIconvHandle> handle = CIconvHandle::Open(toName, HostUtf16Name());
  if (!handle)
    return 0;
  CIconvOutput output(destination, room);
  const char16_t question = u'?';
  // A character the target lacks takes one unit, or two for a surrogate pair.
  auto skip = [](const char* input, std::size_t left) -> std::size_t {
    if (left < 2 * sizeof(char16_t))
      return sizeof(char16_t);
    const char16_t first = LoadUnit<char16_t>(reinterpret_cast<const unsigned char*>(input), 0);
    const char16_t second = LoadUnit<char16_t>(reinterpret_cast<const unsigned char*>(input), 1);
    return IsHighSurrogate(first) && IsLowSurrogate(second) ? 2 * sizeof(char16_t) : sizeof(char16_t);
  };
  loss = RunIconvOver(handle->Get(), reinterpret_cast<const char*>(source),
                      units * sizeof(char16_t), reinterpret_cast<const char*>(&question),
                      sizeof question, skip, output);
  return output.Written();
}

}  // namespace

CTextConverter::CTextConverter(std::u16string_view fromEncoding, std::u16string_view toEncoding)
    : CTextConverter(CEncodingTable::CodePageFromName(fromEncoding),
                     CEncodingTable::CodePageFromName(toEncoding)) {}

CTextConverter::CTextConverter(int fromCodePage, int toCodePage)
    : m_nFromCodePage(fromCodePage), m_nToCodePage(toCodePage) {}

bool CTextConverter::IsUtf16(int codePage) {
  return codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE;
}

bool CTextConverter::IsUtf32(int codePage) {
  return codePage == kCodePageUtf32 || codePage == kCodePageUtf32LE || codePage == kCodePageUtf32BE;
}

int CTextConverter::UnitSizeOf(int codePage) {
  if (IsUtf16(codePage))
    return 2;
  return IsUtf32(codePage) ? 4 : 1;
}

bool CTextConverter::AsksAboutLoss(int codePage) {
  switch (codePage) {
    case 50220: case 50221: case 50222: case 50225: case 50227: case 50229:
    case 52936: case 54936: case kCodePageUtf7: case kCodePageUtf8:
      return false;
    default:
      return !(codePage >= 57002 && codePage <= 57011);
  }
}

std::size_t CTextConverter::Convert(const void* source, std::size_t sourceLength,
                                    void* destination, std::size_t destinationLength) {
  m_nLossFlag = 0;
  m_nResultLength = 0;
  if (destination == nullptr)
    destinationLength = 0;
  bool loss = false;
  if (IsOwnCodePage(m_nFromCodePage) && IsOwnCodePage(m_nToCodePage)) {
    m_nResultLength = ConvertOwn(m_nFromCodePage, source, sourceLength, m_nToCodePage,
                                 destination, destinationLength, loss);
  } else if (IsUtf16(m_nToCodePage)) {
    m_nResultLength = ConvertToUtf16(source, sourceLength, static_cast<char16_t*>(destination),
                                     destinationLength);
  } else if (IsUtf16(m_nFromCodePage)) {
    m_nResultLength = ConvertFromUtf16(static_cast<const char16_t*>(source), sourceLength,
                                       destination, destinationLength);
  } else {
    // Between two other encodings: through UTF-16, as the platform's functions would.
    CTextConverter in(m_nFromCodePage, kCodePageUtf16LE);
    std::u16string middle(in.Convert(source, sourceLength, nullptr, 0), u'\0');
    middle.resize(in.Convert(source, sourceLength, middle.data(), middle.size()));
    m_nResultLength = ConvertFromUtf16(middle.data(), middle.size(), destination, destinationLength);
    return m_nResultLength;
  }
  if (loss && AsksAboutLoss(m_nToCodePage))
    m_nLossFlag = 1;
  return m_nResultLength;
}

std::size_t CTextConverter::ConvertToUtf16(const void* source, std::size_t sourceLength,
                                           char16_t* destination, std::size_t destinationLength) {
  return IconvToUtf16(m_nFromCodePage, source, sourceLength, destination, destinationLength);
}

std::size_t CTextConverter::ConvertFromUtf16(const char16_t* source, std::size_t sourceLength,
                                             void* destination, std::size_t destinationLength) {
  bool loss = false;
  std::size_t length;
  if (IsOwnCodePage(m_nToCodePage))
    length = ConvertOwn(kCodePageUtf16LE, source, sourceLength, m_nToCodePage, destination,
                        destinationLength, loss);
  else
    length = IconvFromUtf16(m_nToCodePage, source, sourceLength, destination, destinationLength, loss);
  if (loss && AsksAboutLoss(m_nToCodePage))
    m_nLossFlag = 1;
  return length;
}

std::string CTextConverter::Utf16ToUtf8(std::u16string_view text) {
  CTextConverter converter(kCodePageUtf16LE, kCodePageUtf8);
  std::string bytes(converter.Convert(text.data(), text.size(), nullptr, 0), '\0');
  bytes.resize(converter.Convert(text.data(), text.size(), bytes.data(), bytes.size()));
  return bytes;
}

std::u16string CTextConverter::Utf8ToUtf16(std::string_view text) {
  CTextConverter converter(kCodePageUtf8, kCodePageUtf16LE);
  std::u16string units(converter.Convert(text.data(), text.size(), nullptr, 0), u'\0');
  units.resize(converter.Convert(text.data(), text.size(), units.data(), units.size()));
  return units;
}
