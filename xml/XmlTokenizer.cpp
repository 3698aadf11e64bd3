#include "xml/XmlTokenizer.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "xml/ResultReport.h"

namespace {

// Character classes of the ASCII range, one table so that the scanning loops test each code
// unit once; every code unit from 0x80 up belongs to none of them.
enum CharClass : std::uint8_t {
  kClassWhiteSpace = 0x01,
  kClassTagNameEnd = 0x02,   // white space, '/', '>'
  kClassQuotedScan = 0x04,   // what the attribute-quoted scan must look at: white space < = > " '
  kClassTextEnd = 0x08,      // '<', '>'
  kClassQuoteMark = 0x10,    // '"', '\''
  kClassLessThan = 0x20,     // '<'
  kClassAttributeScan = 0x40,  // '=', '>': where a start tag's scan must look outside values
  kClassGreaterThan = 0x80,  // '>'
};

// Indexed by the whole code unit, so the hot loops need no range test; only the first 128
// entries are ever non-zero, and only they are touched by ASCII markup.
constexpr std::array<std::uint8_t, 0x10000> kCharClasses = [] {
  std::array<std::uint8_t, 0x10000> table{};
  for (char16_t c : {u'\t', u'\n', u'\r', u' '}) table[c] |= kClassWhiteSpace | kClassTagNameEnd | kClassQuotedScan;
  for (char16_t c : {u'/', u'>'}) table[c] |= kClassTagNameEnd;
  for (char16_t c : {u'<', u'=', u'>', u'"', u'\''}) table[c] |= kClassQuotedScan;
  for (char16_t c : {u'<', u'>'}) table[c] |= kClassTextEnd;
  for (char16_t c : {u'"', u'\''}) table[c] |= kClassQuoteMark;
  table[u'<'] |= kClassLessThan;
  for (char16_t c : {u'=', u'>'}) table[c] |= kClassAttributeScan;
  table[u'>'] |= kClassGreaterThan;
  return table;
}();

constexpr bool InClass(char16_t c, std::uint8_t classes) { return (kCharClasses[c] & classes) != 0; }


// The first offset from i on (end at most) whose code unit is in `classes`.
inline std::int32_t SkipOutside(const char16_t* text, std::int32_t i, std::int32_t end, std::uint8_t classes) {
  while (i < end && !InClass(text[i], classes)) ++i;
  return i;
}

// The first offset from i on whose code unit is one of `Stops` (ASCII characters, given again
// as `classes` for the tail), for the long runs: character data and comments. Sixteen code
// units are tested at once where the vector unit allows: narrowed to bytes with saturation
// (every code unit above 0xFF becomes 0xFF or 0, neither of them a stop) and compared. Names
// and attribute values are short; for them the plain loop of SkipOutside is faster.
template <char16_t... Stops>
std::int32_t SkipToAny(const char16_t* text, std::int32_t i, std::int32_t end, std::uint8_t classes) {
#if defined(__SSE2__)
  for (; end - i >= 16; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
    const __m128i bytes = _mm_packus_epi16(low, high);
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(Stops))))), ...);
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return i + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  return SkipOutside(text, i, end, classes);
}

// 'A'..'Z', '_', ':' or anything above 0x60 ('a'..'z' and every non-ASCII code unit).
constexpr bool BeginsStartTag(char16_t c) {
  return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c > 0x60;
}

constexpr bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

// Where a scan of attribute-quoted markup stopped: at a '>' that ends the markup, at a '<'
// (only when asked to stop there), or at the end of the text.
struct QuotedStop {
  std::int32_t at;
  bool emptyElement;
};

// Reads one markup construct starting at a '<' (m_nStart). Split per construct; each reader
// returns through Finish, SyntaxError or Unterminated, which fill the token and the scanner.
class CMarkupReader {
public:
  CMarkupReader(TextScanner& scanner, NodeToken& token)
      : m_scanner(scanner), m_token(token), m_text(scanner.text.data()),
        m_nEnd(static_cast<std::int32_t>(scanner.text.size())), m_nStart(scanner.pos) {}

  NodeKind Read() {
    const std::int32_t i = m_nStart + 1;
    if (i >= m_nEnd) return Unterminated(u"tag");
    const char16_t c = m_text[i];
    if (BeginsStartTag(c)) return ReadStartTag(i);
    if (c == u'/') return ReadEndTag(i + 1);
    if (c == u'?') return ReadProcessingInstruction(i + 1);
    if (c == u'!') return ReadExclamation(i + 1);
    return SyntaxError(u"first_tag_syntax", i);
  }

private:
  NodeKind ReadExclamation(std::int32_t i) {
    if (i >= m_nEnd) return Unterminated(u"tag");
    const char16_t c = m_text[i];
    if (c == u'-') {
      if (i + 1 >= m_nEnd) return Unterminated(u"tag");
      if (m_text[i + 1] != u'-') return SyntaxError(u"comment_tag_syntax", i + 1);
      return ReadUntilMarker(i + 2, u"-->", NodeKind::kComment, u"comment");
    }
    if (c == u'[') {
      if (i + 1 >= m_nEnd) return Unterminated(u"tag");
      // The rest of the keyword (DATA[) is not examined.
      if (m_text[i + 1] != u'C') return SyntaxError(u"cdata_section_syntax", i + 1);
      return ReadUntilMarker(i + 2, u"]]>", NodeKind::kCDataSection, u"cdata_section");
    }
    if (c == u'D') return ReadDocumentType(i + 1);
    return SyntaxError(u"exclamation_tag_syntax", i);
  }

  // Reads a tag name from i; returns the offset of the tag-name end character, or m_nEnd.
  std::int32_t ScanTagName(std::int32_t i, bool recordName) {
    const std::int32_t nameStart = i;
    i = SkipOutside(m_text, i, m_nEnd, kClassTagNameEnd);
    if (recordName && i < m_nEnd) {
      m_scanner.tokenStart = nameStart;
      m_scanner.tokenEnd = i - 1;
    }
    return i;
  }

  NodeKind ReadStartTag(std::int32_t i) {
    i = ScanTagName(i, true);
    const QuotedStop stop = ScanQuoted(i, false);
    if (stop.at >= m_nEnd) return Unterminated(u"start_tag");
    if (stop.emptyElement) m_token.flags |= kTokenEmptyElement;
    return Finish(stop.at + 1, NodeKind::kStartTag);
  }

  NodeKind ReadEndTag(std::int32_t i) {
    i = ScanTagName(i, true);
    while (i < m_nEnd && m_text[i] != u'>') ++i;
    if (i >= m_nEnd) return Unterminated(u"end_tag");
    return Finish(i + 1, NodeKind::kEndTag);
  }

  NodeKind ReadProcessingInstruction(std::int32_t i) {
    i = ScanTagName(i, true);
    return ReadUntilMarker(i, u"?>", NodeKind::kProcessingInstruction, u"processing_instruction");
  }

  // Ends at the first '>' that completes `marker`; the marker may overlap the opening, so
  // "<!-->" is a whole comment. Quote marks mean nothing here.
  NodeKind ReadUntilMarker(std::int32_t i, std::u16string_view marker, NodeKind kind,
                           std::u16string_view unterminatedType) {
    const std::int32_t at = FindMarkerEnd(i, marker);
    if (at >= m_nEnd) return Unterminated(unterminatedType);
    return Finish(at + 1, kind);
  }

  std::int32_t FindMarkerEnd(std::int32_t i, std::u16string_view marker) const {
    const auto markerLength = static_cast<std::int32_t>(marker.size());
    for (; (i = SkipToAny<u'>'>(m_text, i, m_nEnd, kClassGreaterThan)) < m_nEnd; ++i) {
      if (i > markerLength && MarkerPrecedes(i, marker)) return i;
    }
    return m_nEnd;
  }

  bool MarkerPrecedes(std::int32_t gt, std::u16string_view marker) const {
    const auto before = static_cast<std::int32_t>(marker.size()) - 1;
    for (std::int32_t k = 0; k < before; ++k) {
      if (m_text[gt - before + k] != marker[k]) return false;
    }
    return true;
  }

  // Start tags and malformed markup: '=' (not after another '=') opens a value; a quote mark
  // there opens a quoted value closed only by the same mark, anything else an unquoted value
  // closed by white space. A '>' outside a quoted value ends the markup.
  QuotedStop ScanQuoted(std::int32_t i, bool stopAtLessThan) const {
    const std::uint8_t lessThan = stopAtLessThan ? kClassLessThan : 0;
    const std::uint8_t quotedStops = kClassQuoteMark | lessThan;
    const std::uint8_t plainStops = kClassAttributeScan | lessThan;
    const std::uint8_t openStops = plainStops | kClassWhiteSpace;
    char16_t quote = 0;
    bool valueExpected = false;
    bool unquotedOpen = false;
    for (;; ++i) {
      if (quote != 0) {
        i = SkipOutside(m_text, i, m_nEnd, quotedStops);
        if (i >= m_nEnd) break;
        if (m_text[i] == quote) quote = 0;
        if (m_text[i] == u'<') return {i, false};
        continue;
      }
      // Outside values only '=' and '>' matter (and '<' for malformed markup); white space
      // matters too while an unquoted value is open.
      if (!valueExpected) i = SkipOutside(m_text, i, m_nEnd, unquotedOpen ? openStops : plainStops);
      if (i >= m_nEnd) break;
      const char16_t c = m_text[i];
      if (c == u'<' && stopAtLessThan) return {i, false};
      if (c == u'>') return {i, EndsEmptyElement(i, unquotedOpen)};
      if (c == u'=' && m_text[i - 1] != u'=') {
        valueExpected = true;
        unquotedOpen = false;
        continue;
      }
      if (valueExpected) {
        if (IsXmlWhiteSpace(c)) continue;
        valueExpected = false;
        if (IsQuote(c)) {
          quote = c;
          continue;
        }
        unquotedOpen = true;
        continue;
      }
      if (unquotedOpen && IsXmlWhiteSpace(c)) unquotedOpen = false;
    }
    return {m_nEnd, false};
  }

  // A '/' before the '>' makes an empty-element tag unless it continues an unquoted value:
  // `<a x=y/>` has the value y/, `<a x=y />` is empty.
  bool EndsEmptyElement(std::int32_t gt, bool unquotedOpen) const {
    if (m_text[gt - 1] != u'/') return false;
    if (!unquotedOpen) return true;
    const char16_t beforeSlash = m_text[gt - 2];
    return IsXmlWhiteSpace(beforeSlash) || IsQuote(beforeSlash);
  }

  // A document type declaration ends at the first '>' outside the constructs nested in it.
  NodeKind ReadDocumentType(std::int32_t i) {
    while (i < m_nEnd) {
      const char16_t c = m_text[i];
      if (c == u'>') return Finish(i + 1, NodeKind::kDocumentType);
      if (c != u'<') {
        ++i;
        continue;
      }
      const NestedResult nested = ReadNested(i);
      if (nested.errorWord != nullptr) return SyntaxError(nested.errorWord, nested.next);
      i = nested.next;
    }
    return Unterminated(u"document_type");
  }

  struct NestedResult {
    std::int32_t next;               // offset after the construct (m_nEnd when cut off)
    const char16_t* errorWord;       // a syntax error at offset `next`
  };

  NestedResult ReadNested(std::int32_t lt) {
    std::int32_t i = lt + 1;
    if (i >= m_nEnd) return {m_nEnd, nullptr};
    const char16_t c = m_text[i];
    if (BeginsStartTag(c)) return AfterGt(ScanQuoted(ScanTagName(i, false), false).at);
    if (c == u'/') {
      while (i < m_nEnd && m_text[i] != u'>') ++i;
      return AfterGt(i);
    }
    if (c == u'?') return AfterGt(FindMarkerEnd(i + 1, u"?>"));
    if (c != u'!') return {i, u"first_tag_syntax"};
    ++i;
    if (i >= m_nEnd) return {m_nEnd, nullptr};
    const char16_t d = m_text[i];
    if (d == u'-') {
      if (i + 1 >= m_nEnd) return {m_nEnd, nullptr};
      if (m_text[i + 1] != u'-') return {i + 1, u"comment_tag_syntax"};
      return AfterGt(FindMarkerEnd(i + 2, u"-->"));
    }
    if (d == u'A' || d == u'E' || d == u'N') return AfterGt(ScanDeclaration(i + 1));
    return {i, u"doctype_tag_syntax"};
  }

  NestedResult AfterGt(std::int32_t gt) const { return {gt < m_nEnd ? gt + 1 : m_nEnd, nullptr}; }

  // ATTLIST, ELEMENT, ENTITY and NOTATION declarations: any quote mark opens a quoted part.
  std::int32_t ScanDeclaration(std::int32_t i) const {
    char16_t quote = 0;
    for (; i < m_nEnd; ++i) {
      const char16_t c = m_text[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (IsQuote(c)) {
        quote = c;
      } else if (c == u'>') {
        return i;
      }
    }
    return m_nEnd;
  }

  // The token becomes malformed markup that ends after the next '>' outside quotes, or before
  // the next '<'.
  NodeKind SyntaxError(std::u16string_view word, std::int32_t from) {
    AddReportEntry(m_token.errors, word, ReportNumber::kOffset, m_nStart);
    const QuotedStop stop = ScanQuoted(from, true);
    if (stop.at >= m_nEnd) return Unterminated(u"tag");
    if (m_text[stop.at] == u'<') return Finish(stop.at, NodeKind::kMalformed);
    return Finish(stop.at + 1, NodeKind::kMalformed);
  }

  NodeKind Unterminated(std::u16string_view type) {
    AddReportEntry(m_token.errors, u"unterminated_tag_syntax", ReportText::kType, type,
                   ReportNumber::kOffset, m_nStart);
    return Finish(m_nEnd, NodeKind::kMalformed);
  }

  NodeKind Finish(std::int32_t end, NodeKind kind) {
    m_scanner.pos = end;
    m_token.kind = kind;
    m_token.length = end - m_nStart;
    return kind;
  }

  TextScanner& m_scanner;
  NodeToken& m_token;
  const char16_t* m_text;
  std::int32_t m_nEnd;
  std::int32_t m_nStart;
};

// Character data, possibly led by white space: ends before a '<', or right after a '>' other
// than its first non-white-space code unit.
NodeKind ReadTextToken(TextScanner& scanner, NodeToken& token) {
  const char16_t* text = scanner.text.data();
  const auto end = static_cast<std::int32_t>(scanner.text.size());
  std::int32_t i = scanner.pos;
  while (i < end && InClass(text[i], kClassWhiteSpace)) ++i;
  NodeKind kind = NodeKind::kWhiteSpace;
  if (i < end && text[i] != u'<') {
    kind = NodeKind::kText;
    i = SkipToAny<u'<', u'>'>(text, i + 1, end, kClassTextEnd);
    if (i < end && text[i] == u'>') ++i;
  }
  token.kind = kind;
  token.length = i - scanner.pos;
  scanner.pos = i;
  return kind;
}

}  // namespace

NodeKind NextToken(TextScanner& scanner, NodeToken& token) {
  token.start = scanner.pos;
  token.flags = 0;
  if (scanner.pos < 0 || static_cast<std::size_t>(scanner.pos) >= scanner.text.size()) {
    token.kind = NodeKind::kEndOfText;
    token.length = 0;
    return token.kind;
  }
  if (scanner.text[static_cast<std::size_t>(scanner.pos)] == u'<') return CMarkupReader(scanner, token).Read();
  return ReadTextToken(scanner, token);
}

bool IsNameDelimiter(std::u16string_view text, std::size_t pos) {
  if (pos >= text.size()) return true;
  const char16_t c = text[pos];
  return c == u' ' || c == u'/' || c == u'=' || c == u'[' || c == u']';
}

bool SkipWhiteSpace(TextScanner& scanner) {
  const auto end = static_cast<std::int32_t>(scanner.text.size());
  while (scanner.pos < end && IsXmlWhiteSpace(scanner.text[static_cast<std::size_t>(scanner.pos)])) ++scanner.pos;
  scanner.tokenStart = scanner.pos;
  scanner.tokenEnd = scanner.pos - 1;
  return scanner.pos < end;
}

bool ReadName(TextScanner& scanner) {
  if (!SkipWhiteSpace(scanner)) return false;
  const auto end = static_cast<std::int32_t>(scanner.text.size());
  const std::int32_t start = scanner.pos;
  while (scanner.pos < end && !IsNameEnd(scanner.text[static_cast<std::size_t>(scanner.pos)])) ++scanner.pos;
  if (scanner.pos == start) ++scanner.pos;
  scanner.tokenEnd = scanner.pos - 1;
  return true;
}

int CompareNames(std::u16string_view a, std::u16string_view b, std::size_t count, bool ignoreCase) {
  bool exact = !ignoreCase;
  for (std::size_t k = 0; k < count; ++k) {
    if (k >= a.size() && k >= b.size()) return 0;
    char16_t ca = k < a.size() ? a[k] : 0;
    char16_t cb = k < b.size() ? b[k] : 0;
    if (ca == cb) {
      // Past a shared non-ASCII code unit the names compare exactly.
      if (ca > 0x7F) exact = true;
      continue;
    }
    if (!exact) {
      if (ca >= u'a' && ca <= u'z') ca = static_cast<char16_t>(ca - 0x20);
      if (cb >= u'a' && cb <= u'z') cb = static_cast<char16_t>(cb - 0x20);
      if (ca == cb) continue;
    }
    return ca < cb ? -1 : 1;
  }
  return 0;
}

bool MatchesName(std::u16string_view found, std::u16string_view wanted, bool ignoreCase) {
  if (wanted.size() < found.size()) return false;
  if (!IsNameDelimiter(wanted, found.size())) return false;
  if (!ignoreCase) return wanted.starts_with(found);
  return CompareNames(found, wanted, found.size(), true) == 0;
}

namespace {

enum class AttributeToken : std::uint8_t { kName, kEquals, kValue, kTagEnd, kEndOfText };

constexpr bool EndsBareToken(char16_t c) {
  return IsXmlWhiteSpace(c) || c == u'/' || c == u'=' || c == u'>' || c == u'?';
}

// One token of FindAttribute's walk through a start tag. `afterEquals` says that the previous
// token was an '=', which lets a bare value run on through '/', '=' and '?'.
AttributeToken ReadAttributeToken(TextScanner& scanner, bool afterEquals) {
  if (!SkipWhiteSpace(scanner)) return AttributeToken::kEndOfText;
  const std::u16string_view text = scanner.text;
  const auto end = static_cast<std::int32_t>(text.size());
  const char16_t first = text[static_cast<std::size_t>(scanner.pos)];
  if (IsQuote(first)) {
    std::int32_t i = scanner.pos + 1;
    while (i < end && text[static_cast<std::size_t>(i)] != first) ++i;
    scanner.tokenStart = scanner.pos + 1;
    scanner.tokenEnd = i - 1;
    scanner.pos = i < end ? i + 1 : end;
    scanner.flags |= kScanQuotedValue;
    return AttributeToken::kValue;
  }
  scanner.flags &= ~kScanQuotedValue;
  std::int32_t i = scanner.pos;
  if (afterEquals) {
    while (i < end && !IsXmlWhiteSpace(text[static_cast<std::size_t>(i)]) && text[static_cast<std::size_t>(i)] != u'>') ++i;
  } else {
    while (i < end && !EndsBareToken(text[static_cast<std::size_t>(i)])) ++i;
  }
  if (i == scanner.pos) ++i;  // a single delimiter character
  scanner.tokenEnd = i - 1;
  scanner.pos = i;
  if (i - scanner.tokenStart == 1 && !afterEquals) {
    if (first == u'=') return AttributeToken::kEquals;
    if (first == u'/' || first == u'>' || first == u'?') return AttributeToken::kTagEnd;
  }
  if (afterEquals && first == u'>') return AttributeToken::kTagEnd;
  return afterEquals ? AttributeToken::kValue : AttributeToken::kName;
}

}  // namespace

bool FindAttribute(TextScanner& scanner, const char16_t* name) {
  const bool ignoreCase = (scanner.flags & kScanIgnoreCase) != 0;
  const std::u16string_view wanted = name != nullptr ? std::u16string_view(name) : std::u16string_view();
  bool tagNameRead = false;
  bool afterEquals = false;
  bool matched = false;  // the last name token was the wanted attribute
  std::int32_t nameStart = 0;
  std::int32_t nameEnd = -1;
  std::int32_t afterName = 0;
  for (;;) {
    const std::int32_t before = scanner.pos;
    const AttributeToken token = ReadAttributeToken(scanner, afterEquals);
    if (matched && afterEquals) {
      if (token == AttributeToken::kValue) return true;
      // `x=` with nothing after it: an empty value where the value would stand.
      scanner.pos = before;
      SkipWhiteSpace(scanner);
      scanner.flags &= ~kScanQuotedValue;
      return true;
    }
    if (matched && token != AttributeToken::kEquals) {
      // The wanted attribute stands without '=': its name is the result.
      scanner.tokenStart = nameStart;
      scanner.tokenEnd = nameEnd;
      scanner.pos = afterName;
      scanner.flags &= ~kScanQuotedValue;
      return true;
    }
    switch (token) {
      case AttributeToken::kEndOfText:
        return false;
      case AttributeToken::kTagEnd:
        scanner.pos = before;
        return false;
      case AttributeToken::kEquals:
        afterEquals = true;
        continue;
      case AttributeToken::kValue:
        afterEquals = false;
        continue;
      case AttributeToken::kName:
        afterEquals = false;
        if (!tagNameRead) {
          tagNameRead = true;
          continue;
        }
        if (name == nullptr) return true;
        matched = MatchesName(scanner.Token(), wanted, ignoreCase);
        nameStart = scanner.tokenStart;
        nameEnd = scanner.tokenEnd;
        afterName = scanner.pos;
        continue;
    }
  }
}
