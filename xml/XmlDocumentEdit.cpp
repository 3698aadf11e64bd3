// CXmlDocument: navigation, element names and editing. Every edit changes the text once through
// ReplaceText and then patches the index: the new record is linked in, the elements after the
// change move, the enclosing ones grow. Nothing is re-parsed, and only the records after the
// change and the enclosing ones are touched. An edit allocates (text room, table room, the
// inserted text) before it changes anything, so a failed allocation leaves the document as it
// was.

#include "xml/XmlDocument.h"

#include <algorithm>
#include <limits>

#include "xml/XmlTokenizer.h"

namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::int64_t kMaxTextLength = std::numeric_limits<std::int32_t>::max();

constexpr bool BeginsStartTag(char16_t c) {
  return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c > 0x60;
}

// A name written by the editor holds no character that ends a name inside a tag, so that it
// reads back as the same name and the same tag.
bool IsWritableName(std::u16string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), IsNameEnd);
}

bool IsWritableTagName(std::u16string_view name) { return IsWritableName(name) && BeginsStartTag(name[0]); }

// Reads a name of a path (up to a name delimiter) from i; false when it is empty.
bool ReadPathName(std::u16string_view path, std::size_t& i) {
  const std::size_t start = i;
  while (!IsNameDelimiter(path, i)) ++i;
  return i > start;
}

// A predicate from its '[' through its ']': digits beginning with 1 to 9, '@' and an attribute
// name optionally with '=' and a value (quoted, or up to ']'), or a name.
bool ReadPredicate(std::u16string_view path, std::size_t& i) {
  ++i;
  if (i >= path.size()) return false;
  const char16_t c = path[i];
  if (c >= u'1' && c <= u'9') {
    while (i < path.size() && path[i] >= u'0' && path[i] <= u'9') ++i;
  } else if (c == u'@') {
    ++i;
    if (!ReadPathName(path, i)) return false;
    if (i < path.size() && path[i] == u'=') {
      ++i;
      if (i < path.size() && (path[i] == u'"' || path[i] == u'\'')) {
        const std::size_t close = path.find(path[i], i + 1);
        if (close == std::u16string_view::npos) return false;
        i = close + 1;
      } else {
        while (i < path.size() && path[i] != u']') ++i;
      }
    }
  } else if (c >= u'0' && c <= u'9') {
    return false;  // a position begins with 1 to 9
  } else if (!ReadPathName(path, i)) {
    return false;
  }
  if (i >= path.size() || path[i] != u']') return false;
  ++i;
  return true;
}

// A relative path: steps of a name and predicates, separated by '/', optionally ending in
// "/@attribute". Absolute paths ('/' first) are refused.
bool IsValidRelativePath(std::u16string_view path) {
  if (!path.empty() && path[0] == u'/') return false;
  std::size_t i = 0;
  for (;;) {
    if (!ReadPathName(path, i)) return false;
    while (i < path.size() && path[i] == u'[') {
      if (!ReadPredicate(path, i)) return false;
    }
    if (i == path.size()) return true;
    if (path[i] != u'/') return false;
    ++i;
    if (i < path.size() && path[i] == u'@') {
      ++i;
      return ReadPathName(path, i) && i == path.size();
    }
  }
}

// The shape of a start tag as the tokenizer reads it on its own: whether it is one start tag of
// exactly its length, and whether it is an empty-element tag.
struct TagShape {
  bool startTag;
  bool emptyElement;
  bool operator==(const TagShape&) const = default;
};

TagShape ShapeOf(std::u16string_view tag) {
  TextScanner scanner(tag);
  NodeToken token;
  const NodeKind kind = NextToken(scanner, token);
  return {kind == NodeKind::kStartTag && token.length == static_cast<std::int32_t>(tag.size()),
          (token.flags & kTokenEmptyElement) != 0};
}

// The name the tokenizer reads from a start tag: up to white space, '/' or '>'.
std::u16string_view TagNameOf(std::u16string_view tag) {
  std::size_t i = 1;
  while (i < tag.size() && !(IsXmlWhiteSpace(tag[i]) || tag[i] == u'/' || tag[i] == u'>')) ++i;
  return tag.substr(1, i - 1);
}

std::u16string ElementText(std::u16string_view name, std::u16string_view text, std::uint32_t flags) {
  std::u16string element = u"<";
  element += name;
  if (text.empty()) {
    if (flags & kAddStartTagOnly) {
      element += u">";
    } else {
      element += (flags & kAddSpaceBeforeSlash) ? u" />" : u"/>";
    }
    return element;
  }
  element += u">";
  if (flags & kAddCData) {
    element += u"<![CDATA[";
    for (std::size_t pos = 0;;) {
      const std::size_t marker = text.find(u"]]>", pos);
      if (marker == std::u16string_view::npos) {
        element += text.substr(pos);
        break;
      }
      // "]]>" would end the section: it is split across two sections.
      element += text.substr(pos, marker - pos);
      element += u"]]]]><![CDATA[>";
      pos = marker + 3;
    }
    element += u"]]>";
  } else {
    element += CXmlDocument::EscapeText(text, flags);
  }
  element += u"</";
  element += name;
  element += u">";
  return element;
}

}  // namespace

// Where and how AddElement changes the text.
struct CXmlDocument::Insertion {
  std::int32_t parent = 0;
  std::int32_t after = 0;  // the sibling the new element follows; 0: it becomes the first child
  std::int32_t replaceAt = 0;
  std::int32_t replaceCount = 0;
  std::u16string text;
  std::int32_t elementStart = 0;
  bool wrapsParent = false;      // the parent had no content and gets an end tag
  bool replacesContent = false;  // flag 0x1000
};

bool CXmlDocument::EnterElement() {
  if (m_nCurrentIndex == 0) return false;
  m_nParentIndex = m_nCurrentIndex;
  m_nCurrentIndex = m_nChildIndex;
  m_nChildIndex = 0;
  return true;
}

bool CXmlDocument::LeaveElement() {
  if (m_nParentIndex == 0) return false;
  m_nChildIndex = m_nCurrentIndex;
  m_nCurrentIndex = m_nParentIndex;
  m_nParentIndex = Record(m_nParentIndex).parent;
  return true;
}

bool CXmlDocument::FindElement(const char16_t* name) {
  if (m_nRecordCount == 0) return false;
  const std::u16string_view path = name != nullptr ? std::u16string_view(name) : std::u16string_view();
  if (!path.empty() && !IsValidRelativePath(path)) return false;
  std::int32_t candidate = m_nCurrentIndex != 0 ? Record(m_nCurrentIndex).next : Record(m_nParentIndex).firstChild;
  for (; candidate != 0; candidate = Record(candidate).next) {
    if (!path.empty() && !MatchesName(GetTagName(candidate), path, IgnoresCase())) continue;
    m_nCurrentIndex = candidate;
    m_nParentIndex = Record(candidate).parent;
    m_nChildIndex = 0;
    return true;
  }
  return false;
}

std::u16string CXmlDocument::GetTagName(std::int32_t position) const {
  if (!IsPosition(position)) return {};
  const ElementRecord& record = Record(position);
  const std::u16string_view tag = std::u16string_view(m_strText).substr(0, static_cast<std::size_t>(record.start) + record.StartTagLength());
  TextScanner scanner(tag, m_nModeFlags, record.start + 1);
  if (!ReadName(scanner)) return {};
  return std::u16string(scanner.Token());
}

// The name as the tokenizer took it from the start tag (up to white space, '/' or '>'): the
// name an end tag must repeat to end this element.
std::u16string_view CXmlDocument::StartTagName(std::int32_t position) const {
  const ElementRecord& record = Record(position);
  const std::u16string_view text = m_strText;
  const std::size_t nameStart = static_cast<std::size_t>(record.start) + 1;
  const std::size_t tagEnd = static_cast<std::size_t>(record.start) + record.StartTagLength();
  std::size_t i = nameStart;
  while (i < tagEnd && !(IsXmlWhiteSpace(text[i]) || text[i] == u'/' || text[i] == u'>')) ++i;
  return text.substr(nameStart, i - nameStart);
}

std::u16string_view CXmlDocument::Content(std::int32_t position) const {
  if (!IsPosition(position)) return {};
  const ElementRecord& record = Record(position);
  const std::int64_t begin = static_cast<std::int64_t>(record.start) + record.StartTagLength();
  const std::int64_t end = static_cast<std::int64_t>(record.start) + record.length - record.EndTagLength();
  if (end <= begin) return {};
  return std::u16string_view(m_strText).substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

bool CXmlDocument::ReplaceText(std::int32_t offset, std::int32_t count, std::u16string_view insert) {
  const auto size = static_cast<std::int64_t>(m_strText.size());
  if (offset < 0 || count < 0 || static_cast<std::int64_t>(offset) + count > size) return false;
  const std::int64_t newLength = size - count + static_cast<std::int64_t>(insert.size());
  if (newLength > kMaxTextLength) return false;
  // Half again plus 128 when an edit does not fit: a document written element by element is
  // copied a logarithmic number of times, not once per element.
  if (static_cast<std::uint64_t>(newLength) > m_strText.capacity())
    m_strText.reserve(static_cast<std::size_t>(newLength + newLength / 2 + 128));
  m_strText.replace(static_cast<std::size_t>(offset), static_cast<std::size_t>(count), insert);
  return true;
}

bool CXmlDocument::EnsureRecordRoom() {
  if (m_nRecordCount == 0 || m_nRecordCount == std::numeric_limits<std::int32_t>::max()) return false;
  if (m_nRecordCount == m_elementTable.Capacity()) {
    const std::int64_t wanted = static_cast<std::int64_t>(m_nRecordCount) + m_nRecordCount / 2;
    m_elementTable.Grow(static_cast<std::int32_t>(std::min<std::int64_t>(wanted, std::numeric_limits<std::int32_t>::max())));
  }
  return true;
}

bool CXmlDocument::PlanInsertion(std::u16string_view element, std::uint32_t flags, Insertion& insertion) const {
  const bool inside = (flags & kAddInside) != 0;
  const bool before = (flags & kAddBefore) != 0;
  const bool lineBreaks = (flags & kAddNoLineBreak) == 0;
  const std::int32_t parent = inside ? m_nCurrentIndex : m_nParentIndex;
  std::int32_t after = inside ? m_nChildIndex : m_nCurrentIndex;
  if (after != 0 && (!IsPosition(after) || Record(after).parent != parent)) return false;

  const ElementRecord& holder = Record(parent);
  const auto textLength = static_cast<std::int32_t>(m_strText.size());
  const std::int32_t contentStart = parent == 0 ? 0 : holder.start + static_cast<std::int32_t>(holder.StartTagLength());
  const std::int32_t contentEnd = parent == 0 ? textLength : holder.start + holder.length - static_cast<std::int32_t>(holder.EndTagLength());
  const bool childlessEmpty = parent != 0 && holder.StartTagLength() == static_cast<std::uint32_t>(holder.length);
  const bool contentEmpty = parent != 0 && contentEnd == contentStart;
  insertion.parent = parent;

  if ((flags & kAddReplaceContent) && !childlessEmpty) {
    // The new element takes the place of the whole content; the records in it are unlinked.
    insertion.after = 0;
    insertion.replaceAt = contentStart;
    insertion.replaceCount = contentEnd - contentStart;
    insertion.text = lineBreaks ? std::u16string(kLineBreak) + std::u16string(element) + std::u16string(kLineBreak)
                                : std::u16string(element);
    insertion.elementStart = contentStart + (lineBreaks ? 2 : 0);
    insertion.replacesContent = true;
    return true;
  }

  if (childlessEmpty) {
    // <a/> or a start tag never ended becomes <a>, the element, </a>.
    const std::u16string_view parentName = StartTagName(parent);
    if (parentName.size() + 3 > ElementRecord::kMaxEndTagLength) return false;
    const bool unended = (holder.flags & kElementUnended) != 0;
    const std::int32_t tagEnd = holder.start + static_cast<std::int32_t>(holder.StartTagLength());
    if (!unended && (holder.StartTagLength() < 3 || m_strText[static_cast<std::size_t>(tagEnd - 2)] != u'/')) return false;
    // The parent's start tag without its '/' must read as a start tag that opens content; one
    // such as <i//> would still end in "/>" and is left alone.
    std::u16string startTag = m_strText.substr(static_cast<std::size_t>(holder.start),
                                               holder.StartTagLength() - (unended ? 1 : 2));
    startTag += u'>';
    if (!(ShapeOf(startTag) == TagShape{true, false})) return false;
    insertion.text = u">";
    if (lineBreaks) insertion.text += kLineBreak;
    insertion.text += element;
    if (lineBreaks) insertion.text += kLineBreak;
    insertion.text += u"</";
    insertion.text += parentName;
    insertion.replaceAt = unended ? tagEnd - 1 : tagEnd - 2;
    insertion.replaceCount = unended ? 0 : 1;
    insertion.elementStart = (unended ? tagEnd : tagEnd - 1) + (lineBreaks ? 2 : 0);
    insertion.after = 0;
    insertion.wrapsParent = true;
    return true;
  }

  std::int32_t offset;
  if (after != 0) {
    offset = before ? Record(after).start : Record(after).start + Record(after).length;
  } else {
    offset = before ? contentStart : contentEnd;
  }
  if (lineBreaks) {
    // White space up to the next markup (or the end) is passed over: the element then begins
    // the next line. Before other text the offset stays.
    std::int32_t next = offset;
    while (next < textLength && IsXmlWhiteSpace(m_strText[static_cast<std::size_t>(next)])) ++next;
    if (next == textLength || m_strText[static_cast<std::size_t>(next)] == u'<') offset = next;
  }
  if (after != 0 && before) {
    after = Record(parent).firstChild == after ? 0 : Record(after).prev;
  } else if (after == 0 && !before) {
    after = holder.firstChild != 0 ? Record(holder.firstChild).prev : 0;
  }
  insertion.after = after;
  if (contentEmpty) {
    insertion.text = lineBreaks ? std::u16string(kLineBreak) : std::u16string();
    insertion.text += element;
    if (lineBreaks) insertion.text += kLineBreak;
    insertion.replaceAt = contentStart;
    insertion.elementStart = contentStart + (lineBreaks ? 2 : 0);
    return true;
  }
  insertion.text = element;
  if (lineBreaks) insertion.text += kLineBreak;
  insertion.replaceAt = offset;
  insertion.elementStart = offset;
  return true;
}

// A start tag that never ends, written inside an element of a name it matches, would take that
// element's end tag when the text is read again: the index kept by the edit and the text would
// disagree. Such an insertion is refused.
bool CXmlDocument::WouldEndAnEnclosingTag(std::u16string_view name, std::int32_t parent) const {
  for (std::int32_t holder = parent; holder != 0; holder = Record(holder).parent) {
    if (MatchesName(StartTagName(holder), name, IgnoresCase())) return true;
  }
  return false;
}

bool CXmlDocument::AddElement(const char16_t* name, const char16_t* text, std::uint32_t flags) {
  if (name == nullptr || m_nRecordCount == 0) return false;
  const std::u16string_view tagName(name);
  const std::u16string_view body = text != nullptr ? std::u16string_view(text) : std::u16string_view();
  if ((flags & kAddInside) && m_nCurrentIndex == 0) return false;
  if ((flags & kAddStartTagOnly) && !body.empty()) return false;
  if (!IsWritableTagName(tagName)) return false;
  // The tag lengths must fit their fields: a name of over 1,020 code units cannot be ended.
  if (!body.empty() && tagName.size() + 3 > ElementRecord::kMaxEndTagLength) return false;
  if (tagName.size() + 3 > ElementRecord::kMaxStartTagLength) return false;

  if ((flags & kAddStartTagOnly) && WouldEndAnEnclosingTag(tagName, (flags & kAddInside) ? m_nCurrentIndex : m_nParentIndex))
    return false;

  const std::u16string element = ElementText(tagName, body, flags);
  Insertion insertion;
  if (!PlanInsertion(element, flags, insertion)) return false;
  if (!EnsureRecordRoom()) return false;
  if (!ReplaceText(insertion.replaceAt, insertion.replaceCount, insertion.text)) return false;

  // From here on nothing allocates: the index is patched completely or not at all.
  const std::int32_t parent = insertion.parent;
  const std::int32_t delta = static_cast<std::int32_t>(insertion.text.size()) - insertion.replaceCount;
  const std::int32_t n = TakeRecord();
  ElementRecord& record = Record(n);
  record.start = insertion.elementStart;
  record.length = static_cast<std::int32_t>(element.size());
  if (body.empty()) {
    record.SetTagLengths(static_cast<std::uint32_t>(element.size()), 0);
  } else {
    record.SetTagLengths(static_cast<std::uint32_t>(tagName.size() + 2), static_cast<std::uint32_t>(tagName.size() + 3));
  }
  record.firstChild = 0;
  record.flags = (flags & kAddStartTagOnly) ? kElementUnended : 0;
  record.SetLevel(parent == 0 ? 0 : std::min<std::uint32_t>(Record(parent).Level() + 1, ElementRecord::kLevelMask));
  if (insertion.wrapsParent) {
    ElementRecord& holder = Record(parent);
    const bool unended = (holder.flags & kElementUnended) != 0;
    const auto nameLength = static_cast<std::uint32_t>(StartTagName(parent).size());
    holder.SetTagLengths(holder.StartTagLength() - (unended ? 0 : 1), nameLength + 3);
    holder.flags &= ~kElementUnended;
  }
  if (insertion.replacesContent) ReleaseChildren(parent);
  LinkUnder(n, parent, insertion.after);
  ShiftFollowing(record.next, parent, delta);

  if (flags & kAddInside) {
    m_nChildIndex = n;
  } else {
    m_nParentIndex = parent;
    m_nCurrentIndex = n;
    m_nChildIndex = 0;
  }
  return true;
}

void CXmlDocument::LinkUnder(std::int32_t n, std::int32_t parent, std::int32_t after) {
  ElementRecord& record = Record(n);
  ElementRecord& holder = Record(parent);
  record.parent = parent;
  if (after != 0) {
    ElementRecord& previous = Record(after);
    record.flags &= ~kElementFirstChild;
    record.next = previous.next;
    Record(record.next != 0 ? record.next : holder.firstChild).prev = n;
    previous.next = n;
    record.prev = after;
    return;
  }
  record.flags |= kElementFirstChild;
  const std::int32_t first = holder.firstChild;
  if (first != 0) {
    ElementRecord& oldFirst = Record(first);
    record.next = first;
    record.prev = oldFirst.prev;
    oldFirst.prev = n;
    oldFirst.flags &= ~kElementFirstChild;
  } else {
    record.next = 0;
    record.prev = n;
  }
  holder.firstChild = n;
}

// Moves `sibling` and the siblings after it (with everything inside them) by delta; then every
// element from `holder` up grows by delta and the siblings after it move.
void CXmlDocument::ShiftFollowing(std::int32_t sibling, std::int32_t holder, std::int32_t delta) {
  if (delta == 0) return;
  for (std::int32_t s = sibling; s != 0; s = Record(s).next) ShiftSubtree(s, delta);
  for (std::int32_t x = holder; x != 0; x = Record(x).parent) {
    Record(x).length += delta;
    for (std::int32_t s = Record(x).next; s != 0; s = Record(s).next) ShiftSubtree(s, delta);
  }
  Record(0).length += delta;
}

// Walks the subtree by its links (no recursion: documents nest deeply).
void CXmlDocument::ShiftSubtree(std::int32_t root, std::int32_t delta) {
  std::int32_t node = root;
  for (;;) {
    Record(node).start += delta;
    if (Record(node).firstChild != 0) {
      node = Record(node).firstChild;
      continue;
    }
    while (node != root && Record(node).next == 0) node = Record(node).parent;
    if (node == root) return;
    node = Record(node).next;
  }
}

// The records of replaced content leave the index: unlinked from their parent and marked so
// that no operation takes their positions again.
void CXmlDocument::ReleaseChildren(std::int32_t parent) {
  const std::int32_t first = Record(parent).firstChild;
  Record(parent).firstChild = 0;
  std::int32_t node = first;
  while (node != 0) {
    Record(node).start = -1;
    if (Record(node).firstChild != 0) {
      node = Record(node).firstChild;
      continue;
    }
    while (node != 0 && Record(node).next == 0) node = Record(node).parent == parent ? 0 : Record(node).parent;
    if (node != 0) node = Record(node).next;
  }
}

bool CXmlDocument::SetAttribute(std::int32_t position, const char16_t* name, const char16_t* value) {
  if (position == 0 || m_nCurrentIndex == 0 || !IsPosition(position) || name == nullptr) return false;
  const std::u16string_view attributeName(name);
  if (!IsWritableName(attributeName)) return false;
  const std::u16string quoted = u"\"" + EscapeText(value != nullptr ? value : u"", kEscapeQuotes) + u"\"";

  ElementRecord& record = Record(position);
  const std::u16string_view tag =
      std::u16string_view(m_strText).substr(static_cast<std::size_t>(record.start), record.StartTagLength());
  TextScanner scanner(tag, m_nModeFlags, 1);
  std::size_t at;
  std::size_t count = 0;
  std::u16string insert;
  if (FindAttribute(scanner, name)) {
    const auto tokenStart = static_cast<std::size_t>(scanner.tokenStart);
    const auto tokenEnd = static_cast<std::size_t>(scanner.tokenEnd + 1);  // one past
    std::size_t before = tokenStart;
    if (scanner.flags & kScanQuotedValue) --before;  // the value's opening mark
    while (before > 0 && IsXmlWhiteSpace(tag[before - 1])) --before;
    if (before > 0 && tag[before - 1] == u'=') {
      // A value (quoted or not): replaced with its quote marks.
      at = (scanner.flags & kScanQuotedValue) ? tokenStart - 1 : tokenStart;
      count = tokenEnd - at + ((scanner.flags & kScanQuotedValue) ? 1 : 0);
      insert = quoted;
    } else {
      // The attribute stands without a value (HTML's `checked`): it is given one.
      at = tokenEnd;
      insert = u"=" + quoted;
    }
  } else {
    at = static_cast<std::size_t>(scanner.pos);
    insert = u" ";
    insert += attributeName;
    insert += u"=";
    insert += quoted;
  }
  if (at + count > tag.size()) return false;
  std::u16string newTag(tag);
  newTag.replace(at, count, insert);
  // The tag must read back as the same kind of tag, ended where the index says: an edit that
  // would change how the tokenizer reads it (a quote left open, a value that swallowed the
  // '/') is refused.
  // It must also keep its name, or its end tag would no longer end it: an attribute put in front
  // of the '?' of <a?> would cut the name a? to a.
  if (newTag.size() > ElementRecord::kMaxStartTagLength || !ShapeOf(tag).startTag || !(ShapeOf(newTag) == ShapeOf(tag)) ||
      TagNameOf(newTag) != TagNameOf(tag))
    return false;
  const auto delta = static_cast<std::int32_t>(newTag.size()) - static_cast<std::int32_t>(tag.size());
  if (!ReplaceText(record.start, static_cast<std::int32_t>(tag.size()), newTag)) return false;
  record.SetTagLengths(record.StartTagLength() + static_cast<std::uint32_t>(delta), record.EndTagLength());
  ShiftFollowing(record.firstChild, position, delta);
  return true;
}
