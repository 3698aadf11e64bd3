// CXmlDocument: escaping and unescaping of text, and reading an element's text.

#include "xml/XmlDocument.h"

#include "xml/CharacterReferences.h"
#include "xml/XmlTokenizer.h"

namespace {

constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;

constexpr bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
constexpr bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Whether text[pos] ('&') begins a reference that flag 0x08 keeps: '#', ':', '_', a letter or a
// code unit above 0x7F, then '-', '.', digits, ':', '_', letters or code units above 0x7F, then
// ';'. Returns the reference's length through ';', or 0.
std::size_t KeptReferenceLength(std::u16string_view text, std::size_t pos) {
  std::size_t i = pos + 1;
  if (i >= text.size()) return 0;
  const char16_t first = text[i];
  if (!(first == u'#' || first == u':' || first == u'_' || IsAsciiLetter(first) || first > 0x7F)) return 0;
  for (++i; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u';') return i - pos + 1;
    if (!(c == u'-' || c == u'.' || IsDigit(c) || c == u':' || c == u'_' || IsAsciiLetter(c) || c > 0x7F)) return 0;
  }
  return 0;
}

// Reads a number reference's digits ("#65", "#x41"); digits end at the first code unit that is
// not one. 0 when there are none or the value is beyond Unicode.
std::uint32_t NumberReference(std::u16string_view name) {
  std::size_t i = 1;
  std::uint32_t base = 10;
  if (i < name.size() && (name[i] == u'x' || name[i] == u'X')) {
    base = 16;
    ++i;
  }
  std::uint32_t value = 0;
  for (; i < name.size(); ++i) {
    const char16_t c = name[i];
    std::uint32_t digit;
    if (IsDigit(c)) {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      break;
    }
    value = value * base + digit;
    // A value beyond Unicode has no UTF-16 form; the reference is then left as written.
    if (value > kMaxCodePoint) return 0;
  }
  return value;
}

// Builds UnescapeText's result while dropping or folding white space as the flags say.
class CTextCollector {
public:
  CTextCollector(std::u16string& out, std::uint32_t flags)
      : m_out(out), m_bTrim((flags & (kModeTrimWhiteSpace | kModeCollapseWhiteSpace)) != 0),
        m_bCollapse((flags & kModeCollapseWhiteSpace) != 0) {}

  void AddWhiteSpace(char16_t c) {
    if (!m_bTrim) {
      m_out += c;
      return;
    }
    if (!m_bStarted) return;
    m_pending += c;
  }

  void Add(char16_t c) {
    FlushPending();
    m_out += c;
  }

  void AddCodePoint(std::uint32_t c) {
    FlushPending();
    if (c < 0x10000) {
      m_out += static_cast<char16_t>(c);
      return;
    }
    m_out += static_cast<char16_t>(0xD800 + (((c - 0x10000) >> 10) & 0x3FF));
    m_out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }

private:
  void FlushPending() {
    m_bStarted = true;
    if (m_pending.empty()) return;
    if (m_bCollapse) {
      m_out += u' ';
    } else {
      m_out += m_pending;
    }
    m_pending.clear();
  }

  std::u16string& m_out;
  std::u16string m_pending;  // white space after the last other character, not yet placed
  bool m_bTrim;
  bool m_bCollapse;
  bool m_bStarted = false;
};

// The code point of the reference whose name (between '&' and ';') is `name`, or 0.
std::uint32_t DecodeReference(std::u16string_view name) {
  if (!name.empty() && name[0] == u'#') return NumberReference(name);
  return CCharacterReferences::Lookup(name);
}

// Length of the name after the '&' at pos when a ';' follows within 9 code units below 0x80;
// npos otherwise.
std::size_t ReferenceNameLength(std::u16string_view text, std::size_t pos) {
  for (std::size_t k = 1; k <= 10 && pos + k < text.size(); ++k) {
    const char16_t c = text[pos + k];
    if (c == u';') return k - 1;
    if (c >= 0x80) break;
  }
  return std::u16string_view::npos;
}

}  // namespace

std::u16string CXmlDocument::EscapeText(std::u16string_view text, std::uint32_t flags) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 10 + 7);
  const bool quotes = (flags & kEscapeQuotes) != 0;
  const bool keepReferences = (flags & kAddKeepReferences) != 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Room is quadrupled when nearly used up, so long texts grow in few steps.
    if (out.capacity() - out.size() < 6) out.reserve(out.capacity() * 4);
    const char16_t c = text[i];
    switch (c) {
      case u'<': out += u"&lt;"; continue;
      case u'>': out += u"&gt;"; continue;
      case u'"':
        if (quotes) {
          out += u"&quot;";
          continue;
        }
        break;
      case u'\'':
        if (quotes) {
          out += u"&apos;";
          continue;
        }
        break;
      case u'&': {
        const std::size_t kept = keepReferences ? KeptReferenceLength(text, i) : 0;
        if (kept == 0) {
          out += u"&amp;";
          continue;
        }
        out.append(text.substr(i, kept));
        i += kept - 1;
        continue;
      }
      default:
        break;
    }
    out += c;
  }
  return out;
}

std::u16string CXmlDocument::UnescapeText(std::u16string_view text, std::uint32_t flags) {
  std::u16string out;
  out.reserve(text.size());
  CTextCollector collector(out, flags);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsXmlWhiteSpace(c)) {
      collector.AddWhiteSpace(c);
      continue;
    }
    if (c != u'&') {
      collector.Add(c);
      continue;
    }
    const std::size_t nameLength = ReferenceNameLength(text, i);
    const std::uint32_t code = nameLength == std::u16string_view::npos ? 0 : DecodeReference(text.substr(i + 1, nameLength));
    if (code == 0) {
      collector.Add(c);  // not a reference: the '&' stands for itself
      continue;
    }
    collector.AddCodePoint(code);
    i += nameLength + 1;
  }
  return out;
}

std::u16string CXmlDocument::GetElementText() const {
  const std::u16string_view content = Content(m_nCurrentIndex);
  if (content.empty() || Record(m_nCurrentIndex).firstChild != 0) return {};
  if (content.find(u'<') == std::u16string_view::npos) return UnescapeText(content, m_nModeFlags);
  std::u16string text;
  TextScanner scanner(content, m_nModeFlags);
  NodeToken token;
  while (scanner.pos < static_cast<std::int32_t>(content.size())) {
    const NodeKind kind = NextToken(scanner, token);
    token.errors.clear();
    const std::u16string_view piece = content.substr(static_cast<std::size_t>(token.start), static_cast<std::size_t>(token.length));
    if (kind == NodeKind::kText) {
      text += UnescapeText(piece, m_nModeFlags);
    } else if (kind == NodeKind::kCDataSection && piece.size() >= 12) {
      text += piece.substr(9, piece.size() - 12);  // without "<![CDATA[" and "]]>"
    }
  }
  return text;
}
