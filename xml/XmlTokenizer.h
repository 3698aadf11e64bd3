#pragma once
// The lowest layer of the XML component: a cursor over a UTF-16 text (TextScanner), the
// tokenizer that cuts the text into tokens (NextToken), and the helpers that scan names and
// attributes inside a tag.
//
// Nothing here owns a text: every call works on the view the scanner holds, and every offset
// counts UTF-16 code units from the start of that view. The end of the view is where every
// scan stops; a zero code unit inside it is an ordinary character. The tokenizer never fails:
// markup that breaks the rules becomes a malformed token whose entries (result-report form,
// see ResultReport.h) are appended to the token's `errors`, and reading goes on after it.
// NextToken reads each code unit once and allocates nothing unless it reports an error.
//
// A scanner and a token are used by one thread at a time.

#include <cstdint>
#include <string>
#include <string_view>

enum class NodeKind : std::int32_t {
  kEndTag = 0,
  kStartTag = 1,
  kText = 2,
  kWhiteSpace = 4,
  kCDataSection = 8,
  kProcessingInstruction = 0x10,
  kComment = 0x20,
  kDocumentType = 0x40,
  kMalformed = -1,
  kEndOfText = -2,
};

// NodeToken::flags: the start tag ends in "/>".
constexpr std::uint32_t kTokenEmptyElement = 0x10000;
// TextScanner::flags: the last token FindAttribute read was a quoted value.
constexpr std::uint32_t kScanQuotedValue = 0x8000;
// TextScanner::flags (a document's modeFlags): names compare ASCII letters without case.
constexpr std::uint32_t kScanIgnoreCase = 0x08;

struct NodeToken {
  NodeKind kind = NodeKind::kEndOfText;
  std::int32_t start = 0;
  std::int32_t length = 0;
  std::uint32_t flags = 0;
  // Result-report entries for the syntax errors met in this token; NextToken appends, the
  // caller clears (clearing keeps the capacity, so a parse allocates once at most).
  std::u16string errors;
};

struct TextScanner {
  // First and last code unit of the last token or name read; tokenEnd = tokenStart - 1 when
  // it is empty.
  std::int32_t tokenStart = 0;
  std::int32_t tokenEnd = -1;
  // The next code unit to read.
  std::int32_t pos = 0;
  std::u16string_view text;
  // The document's modeFlags, plus kScanQuotedValue.
  std::uint32_t flags = 0;

  TextScanner() = default;
  explicit TextScanner(std::u16string_view scanText, std::uint32_t scanFlags = 0, std::int32_t startPos = 0)
      : pos(startPos), text(scanText), flags(scanFlags) {}

  // The last token read (tokenStart through tokenEnd). Inline: the parser asks for every
  // tag's name.
  std::u16string_view Token() const {
    if (tokenEnd < tokenStart || tokenStart < 0 || static_cast<std::size_t>(tokenEnd) >= text.size()) return {};
    return {text.data() + tokenStart, static_cast<std::size_t>(tokenEnd - tokenStart + 1)};
  }
};

// Reads one token at scanner.pos, fills `token` (its errors are appended to, not cleared) and
// returns its kind. Afterwards pos is the offset after the token. For start tags, end tags and
// processing instructions, tokenStart and tokenEnd hold the tag's name.
NodeKind NextToken(TextScanner& scanner, NodeToken& token);

// Advances pos over white space (tab, line feed, carriage return, space); tokenStart = pos,
// tokenEnd = pos - 1. True when pos is not at the end of the text.
bool SkipWhiteSpace(TextScanner& scanner);

// SkipWhiteSpace, then reads a name up to the first name-end character (or that character alone
// when it comes first) into tokenStart..tokenEnd. False at the end of the text.
bool ReadName(TextScanner& scanner);

// The scanner stands inside a start tag, at or before its name. Looks for the attribute `name`
// (compared as by MatchesName, case by the scanner's kScanIgnoreCase): true with tokenStart..
// tokenEnd on its value (without quotes; kScanQuotedValue says whether it had them), or on its
// name when it has no '='. False at '/', '>' or '?' (pos then stands before the white space in
// front of it) or at the end of the text. A null name asks whether the tag has any attribute.
bool FindAttribute(TextScanner& scanner, const char16_t* name);

// Compares `count` code units of a and b (a code unit past the end of a view counts as 0).
// With ignoreCase 'a'..'z' count as 'A'..'Z' until a pair of equal code units above 0x7F has
// been passed; later pairs compare exactly. Returns <0, 0 or >0 as the first difference says.
int CompareNames(std::u16string_view a, std::u16string_view b, std::size_t count, bool ignoreCase);

// True when `wanted` begins with `found` (CompareNames over found's length) and ends there or
// continues with a name delimiter (space, '/', '=', '[', ']').
bool MatchesName(std::u16string_view found, std::u16string_view wanted, bool ignoreCase);

// Character classes shared by the component.
constexpr bool IsXmlWhiteSpace(char16_t c) {
  return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}
bool IsNameDelimiter(std::u16string_view text, std::size_t pos);
// Characters that end a name that ReadName scans inside a tag.
constexpr bool IsNameEnd(char16_t c) {
  switch (c) {
    case u'\t': case u'\n': case u'\r': case u' ': case u'!': case u'"': case u'\'':
    case u'/': case u';': case u'<': case u'=': case u'>': case u'?': case u'\\':
      return true;
    default:
      return false;
  }
}
