#include "xml/XmlDocument.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "xml/ResultReport.h"
#include "xml/XmlTokenizer.h"

namespace {

constexpr std::int32_t kMaxRecords = std::numeric_limits<std::int32_t>::max();

// Levels deeper than the field holds stay at its largest value rather than spill into the flag
// bits beside it.
std::uint32_t ClampLevel(std::int64_t level) {
  return static_cast<std::uint32_t>(std::min<std::int64_t>(level, ElementRecord::kLevelMask));
}

}  // namespace

// One parse of the document text. The names of open start tags are views into the text, which
// does not change while parsing, so a start tag costs no allocation.
class CXmlDocument::CParser {
public:
  explicit CParser(CXmlDocument& document) : m_doc(document), m_scanner(document.m_strText, document.m_nModeFlags) {
    m_openTags.reserve(7);
  }

  void Run() {
    NodeToken token;
    for (;;) {
      switch (NextToken(m_scanner, token)) {
        case NodeKind::kEndOfText:
          CloseUnended(0, static_cast<std::int32_t>(m_doc.m_strText.size()));
          if (m_bLifted) RelevelAll();
          return;
        case NodeKind::kStartTag:
          OnStartTag(token);
          break;
        case NodeKind::kEndTag:
          OnEndTag(token);
          break;
        case NodeKind::kMalformed:
          OnMalformed(token.errors);
          token.errors.clear();
          break;
        default:
          break;  // text, white space, CDATA, comments, instructions, document type
      }
    }
  }

  std::int32_t FirstStartTag() const { return m_nFirst; }

private:
  // Kept free of padding: copying a half-written padded struct costs a store-forwarding stall
  // on every start tag.
  struct OpenTag {
    const char16_t* name;
    std::int32_t nameLength;
    std::int32_t position;

    std::u16string_view Name() const { return {name, static_cast<std::size_t>(nameLength)}; }
  };

  ElementRecord& Record(std::int32_t position) { return m_doc.Record(position); }

  void OnStartTag(const NodeToken& token) {
    if (static_cast<std::uint32_t>(token.length) > ElementRecord::kMaxStartTagLength) {
      // The start-tag length would not fit its 22 bits: the tag is left out of the index
      // as malformed markup rather than recorded with a wrong length.
      OnTooLong(u"start_tag", token.start);
      return;
    }
    const std::int32_t r = m_doc.TakeRecord();
    if (r == 0) {
      OnTooLong(u"element_count", token.start);
      return;
    }
    if (m_nFirst == 0) m_nFirst = r;
    AppendChild(r);
    ElementRecord& record = Record(r);
    record.SetLevel(ClampLevel(static_cast<std::int64_t>(m_openTags.size())));
    record.firstChild = 0;
    record.next = 0;
    record.parent = m_nParent;
    record.start = token.start;
    if (token.flags & kTokenEmptyElement) {
      record.SetTagLengths(static_cast<std::uint32_t>(token.length), 0);
      record.length = token.length;
      return;
    }
    record.SetTagLengths(static_cast<std::uint32_t>(token.length), 0);
    record.length = token.length;
    const std::u16string_view name = m_scanner.Token();
    m_openTags.push_back({name.data(), static_cast<std::int32_t>(name.size()), r});
    m_nParent = r;
  }

  // Links r as the last child of the current parent; sets r's flags to the first-child bit or 0.
  void AppendChild(std::int32_t r) {
    ElementRecord& parent = Record(m_nParent);
    ElementRecord& record = Record(r);
    if (parent.firstChild != 0) {
      ElementRecord& first = Record(parent.firstChild);
      const std::int32_t last = first.prev;
      Record(last).next = r;
      record.prev = last;
      first.prev = r;
      record.flags = 0;
      return;
    }
    parent.firstChild = r;
    record.prev = r;
    record.flags = kElementFirstChild;
  }

  void OnEndTag(const NodeToken& token) {
    if (static_cast<std::uint32_t>(token.length) > ElementRecord::kMaxEndTagLength) {
      // Its length would not fit the 10 bits of the end-tag field; the element it would end
      // stays open and is closed as unended later.
      OnTooLong(u"end_tag", token.start);
      return;
    }
    const std::u16string_view name = m_scanner.Token();
    const bool ignoreCase = m_doc.IgnoresCase();
    std::size_t m = m_openTags.size();
    // Nearly every end tag closes the innermost element under the very same name, which
    // MatchesName would accept; the comparison walk is left for the other cases.
    if (m == 0 || m_openTags[m - 1].Name() != name) {
      while (m > 0 && !MatchesName(name, m_openTags[m - 1].Name(), ignoreCase)) --m;
    }
    if (m == 0) {
      MarkError();
      AddReportEntry(m_doc.m_strResultReport, u"lone_end_tag", ReportText::kTagName, name,
                     ReportNumber::kOffset, token.start);
      return;
    }
    const std::int32_t matched = m_openTags[m - 1].position;
    ElementRecord& record = Record(matched);
    record.length = token.start + token.length - record.start;
    record.SetTagLengths(record.StartTagLength(), static_cast<std::uint32_t>(token.length));
    if (m_openTags.size() > m) CloseUnended(m, token.start + 1);
    m_openTags.pop_back();
    m_nParent = Record(matched).parent;
  }

  void OnMalformed(const std::u16string& errors) {
    MarkError();
    // Entries are appended whole, so the report's ceiling applies to each.
    std::size_t pos = 0;
    while (pos < errors.size()) {
      std::size_t end = errors.find(u"/>", pos);
      if (end == std::u16string::npos) break;
      end += 2;
      if (m_doc.m_strResultReport.size() < kReportCeiling) m_doc.m_strResultReport.append(errors, pos, end - pos);
      pos = end;
    }
  }

  void OnTooLong(std::u16string_view type, std::int32_t start) {
    MarkError();
    AddReportEntry(m_doc.m_strResultReport, u"tag_too_long", ReportText::kType, type, ReportNumber::kOffset, start);
  }

  void MarkError() {
    Record(0).flags |= kDocumentNotWellFormed;
    Record(m_nParent).flags |= kElementHasError;
  }

  void CloseUnended(std::size_t keep, std::int32_t offset2);
  void LiftChildren(std::size_t keep);
  void RelevelAll();

  CXmlDocument& m_doc;
  TextScanner m_scanner;
  std::vector<OpenTag> m_openTags;
  std::int32_t m_nParent = 0;  // the innermost open element (0: the top level)
  std::int32_t m_nFirst = 0;
  bool m_bLifted = false;  // children of an unended element moved up a level
};

// Closes every open element above stack depth `keep`, innermost first. Each closed element is
// its start tag alone, and its children become its following siblings. Done one at a time,
// nested unended tags (HTML's <br> in a long paragraph) would move the same children again at
// every level, quadratic in the depth; the final shape is the same chain built once: each
// closed element followed by its children, the next closed element being the last of them.
void CXmlDocument::CParser::CloseUnended(std::size_t keep, std::int32_t offset2) {
  if (m_openTags.size() <= keep) return;
  Record(0).flags |= kDocumentNotWellFormed;
  for (std::size_t k = m_openTags.size(); k > keep; --k) {
    const OpenTag& tag = m_openTags[k - 1];
    ElementRecord& record = Record(tag.position);
    record.SetTagLengths(record.StartTagLength(), 0);
    record.flags |= kElementUnended;
    record.length = static_cast<std::int32_t>(record.StartTagLength());
    if (record.flags & kElementHasError) {
      record.flags &= ~kElementHasError;
      Record(record.parent).flags |= kElementHasError;
    }
    AddReportEntry(m_doc.m_strResultReport, u"unended_start_tag", ReportText::kTagName, tag.Name(),
                   ReportNumber::kOffset, record.start, offset2);
  }
  LiftChildren(keep);
  m_nParent = Record(m_openTags[keep].position).parent;
  m_openTags.resize(keep);
}

void CXmlDocument::CParser::LiftChildren(std::size_t keep) {
  const std::int32_t outer = m_openTags[keep].position;
  const std::int32_t holder = Record(outer).parent;
  std::int32_t last = outer;
  for (std::size_t k = keep; k < m_openTags.size(); ++k) {
    ElementRecord& closed = Record(m_openTags[k].position);
    const std::int32_t child = closed.firstChild;
    closed.firstChild = 0;
    if (child == 0) continue;
    m_bLifted = true;
    // `closed` is the last element of the chain so far; its children follow it.
    const std::int32_t lastChild = Record(child).prev;
    closed.next = child;
    Record(child).prev = m_openTags[k].position;
    Record(child).flags &= ~kElementFirstChild;
    for (std::int32_t c = child; c != 0; c = Record(c).next) Record(c).parent = holder;
    last = lastChild;
  }
  const std::int32_t first = Record(holder).firstChild;
  Record(first).prev = last;
}

// Lifted children keep the level of the depth they were read at, one or more too deep for their
// new place. Rather than re-level each lifted subtree (quadratic for nested unended tags), the
// whole tree is levelled once after the parse, and only when something was lifted, so every
// level is its parent's plus 1 as the record says and as edits assume.
void CXmlDocument::CParser::RelevelAll() {
  std::int32_t node = Record(0).firstChild;
  while (node != 0) {
    ElementRecord& record = Record(node);
    const std::int32_t parent = record.parent;
    record.SetLevel(parent == 0 ? 0 : ClampLevel(static_cast<std::int64_t>(Record(parent).Level()) + 1));
    if (record.firstChild != 0) {
      node = record.firstChild;
      continue;
    }
    while (node != 0 && Record(node).next == 0) node = Record(node).parent;
    if (node != 0) node = Record(node).next;
  }
}

CXmlDocument::CXmlDocument() { SetDocumentText(nullptr); }

CXmlDocument::CXmlDocument(const char16_t* text) { SetDocumentText(text); }

CXmlDocument::CXmlDocument(std::u16string_view text) { SetDocumentText(text); }

CXmlDocument::~CXmlDocument() = default;

bool CXmlDocument::SetDocumentText(const char16_t* text) {
  if (text == nullptr) {
    m_strText.clear();
    m_elementTable.Release();
    m_strResultReport.clear();
    return Parse();
  }
  return SetDocumentText(std::u16string_view(text));
}

bool CXmlDocument::SetDocumentText(std::u16string_view text) {
  m_strText.assign(text);
  m_strResultReport.clear();
  return Parse();
}

bool CXmlDocument::Parse() {
  try {
    ResetIndex();
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(m_strText.size(), kMaxRecords));
    m_elementTable.Grow(length / 64 + 8);
    Record(0) = ElementRecord{};
    m_nRecordCount = 1;
    if (m_strText.empty()) return false;
    CParser parser(*this);
    parser.Run();
    ElementRecord& document = Record(0);
    document.length = length;
    if (parser.FirstStartTag() == 0) {
      AddReportEntry(m_strResultReport, u"no_root_element");
    } else {
      document.firstChild = parser.FirstStartTag();
      if (Record(document.firstChild).next != 0) AddReportEntry(m_strResultReport, u"root_has_sibling");
    }
  } catch (...) {
    // Out of memory: the allocation failure goes on to the caller, but never past a
    // half-built index.
    ResetIndex();
    throw;
  }
  m_nParentIndex = m_nCurrentIndex = m_nChildIndex = 0;
  return IsWellFormed();
}

void CXmlDocument::ResetIndex() {
  m_nParentIndex = m_nCurrentIndex = m_nChildIndex = 0;
  m_nRecordCount = m_elementTable.Capacity() > 0 ? 1 : 0;
  if (m_nRecordCount > 0) {
    Record(0) = ElementRecord{};
    Record(0).flags = kDocumentNotWellFormed;
  }
}

bool CXmlDocument::IsWellFormed() const {
  if (m_nRecordCount == 0) return false;
  const ElementRecord& document = Record(0);
  if (document.flags & kDocumentNotWellFormed) return false;
  if (document.firstChild == 0) return false;
  return Record(document.firstChild).next == 0;
}

std::int32_t CXmlDocument::TakeRecord() {
  if (m_nRecordCount == kMaxRecords) return 0;
  if (m_nRecordCount == m_elementTable.Capacity()) {
    const std::int64_t wanted = static_cast<std::int64_t>(m_nRecordCount) + m_nRecordCount / 2;
    m_elementTable.Grow(static_cast<std::int32_t>(std::min<std::int64_t>(wanted, kMaxRecords)));
  }
  return m_nRecordCount++;
}

ElementRecord CXmlDocument::GetRecord(std::int32_t position) const {
  if (position < 0 || position >= m_nRecordCount) return ElementRecord{};
  return Record(position);
}
