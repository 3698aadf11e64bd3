#pragma once
// Consistency checks over a CXmlDocument's element index, shared by the tests and the fuzz
// target. Each returns an empty string when the index is sound, else what is wrong first.

#include <cstdint>
#include <string>
#include <vector>

#include "xml/XmlDocument.h"

namespace xmlcheck {

inline std::string Describe(std::int32_t position, const char* what) {
  return "record " + std::to_string(position) + ": " + what;
}

// One element: its extent lies in the text, begins at '<' and ends at '>' (or at the end of the
// text), its start tag and end tag fit inside it.
inline std::string CheckExtent(const CXmlDocument& document, std::int32_t position) {
  const std::u16string& text = document.GetDocumentText();
  const ElementRecord record = document.GetRecord(position);
  const auto size = static_cast<std::int64_t>(text.size());
  const std::int64_t end = static_cast<std::int64_t>(record.start) + record.length;
  if (record.start < 0 || record.length <= 0 || end > size) return Describe(position, "extent outside the text");
  if (text[record.start] != u'<') return Describe(position, "start is not a '<'");
  if (end != size && text[end - 1] != u'>') return Describe(position, "does not end on a '>'");
  if (record.StartTagLength() + record.EndTagLength() > static_cast<std::uint32_t>(record.length))
    return Describe(position, "tags longer than the element");
  if (record.EndTagLength() > 0 && (text[end - record.EndTagLength()] != u'<' || text[end - record.EndTagLength() + 1] != u'/'))
    return Describe(position, "end tag does not begin with </");
  return {};
}

// One level being walked: the children of `parent`.
struct LevelWalk {
  std::int32_t parent;
  std::int32_t first;
  std::int32_t position;  // next child to check (0: level done)
  std::int32_t previous;
  std::int64_t contentStart;
  std::int64_t contentEnd;
};

inline LevelWalk BeginLevel(const CXmlDocument& document, std::int32_t parent) {
  const ElementRecord holder = document.GetRecord(parent);
  const std::int64_t contentStart = parent == 0 ? 0 : static_cast<std::int64_t>(holder.start) + holder.StartTagLength();
  const std::int64_t contentEnd = static_cast<std::int64_t>(holder.start) + holder.length - holder.EndTagLength();
  return {parent, holder.firstChild, holder.firstChild, 0, contentStart, contentEnd};
}

// Walks the tree in document order (without recursion: fuzzed documents nest deeply), checking
// links, flags and nesting; appends each element reached to `seen`.
inline std::string CheckTree(const CXmlDocument& document, std::vector<std::int32_t>& seen) {
  std::vector<char> visited(static_cast<std::size_t>(document.GetRecordCount()), 0);
  std::vector<LevelWalk> levels{BeginLevel(document, 0)};
  while (!levels.empty()) {
    LevelWalk& level = levels.back();
    if (level.position == 0) {
      if (level.first != 0 && document.GetRecord(level.first).prev != level.previous)
        return Describe(level.first, "first child's prev is not the last child");
      levels.pop_back();
      continue;
    }
    const std::int32_t position = level.position;
    if (position < 0 || position >= document.GetRecordCount()) return Describe(level.parent, "link outside the table");
    if (visited[position]) return Describe(position, "reached twice");
    visited[position] = 1;
    const ElementRecord record = document.GetRecord(position);
    if (std::string fault = CheckExtent(document, position); !fault.empty()) return fault;
    if (record.parent != level.parent) return Describe(position, "parent link wrong");
    if (((record.flags & kElementFirstChild) != 0) != (position == level.first))
      return Describe(position, "first-child flag wrong");
    if (position != level.first && record.prev != level.previous) return Describe(position, "prev link wrong");
    if (record.start < level.contentStart || static_cast<std::int64_t>(record.start) + record.length > level.contentEnd)
      return Describe(position, "outside its parent's content or overlapping its sibling");
    level.contentStart = static_cast<std::int64_t>(record.start) + record.length;
    level.previous = position;
    level.position = record.next;
    seen.push_back(position);
    levels.push_back(BeginLevel(document, position));
  }
  return {};
}

// The whole index: record 0 spans the text and every linked record is sound. With
// `allReachable`, every record handed out must hang in the tree (true after a parse, where
// nothing is ever unlinked).
inline std::string CheckIndex(const CXmlDocument& document, bool allReachable, std::vector<std::int32_t>* order = nullptr) {
  if (document.GetRecordCount() < 1) return "no record 0";
  const ElementRecord root = document.GetRecord(0);
  if (root.start != 0 || root.length != static_cast<std::int32_t>(document.GetDocumentText().size()))
    return "record 0 does not span the text";
  std::vector<std::int32_t> seen;
  if (std::string fault = CheckTree(document, seen); !fault.empty()) return fault;
  if (allReachable && static_cast<std::int32_t>(seen.size()) != document.GetRecordCount() - 1)
    return "records not reachable from record 0";
  if (order != nullptr) *order = std::move(seen);
  return {};
}

// The index an editor kept against the index a fresh parse of its text gives: the same elements
// in document order with the same starts, lengths, tag lengths, levels, flags and links.
inline std::string CompareWithReparse(const CXmlDocument& edited) {
  std::vector<std::int32_t> editedOrder;
  if (std::string fault = CheckIndex(edited, false, &editedOrder); !fault.empty()) return "edited: " + fault;
  CXmlDocument fresh;
  fresh.SetModeFlags(edited.GetModeFlags());
  fresh.SetDocumentText(edited.GetDocumentText());
  std::vector<std::int32_t> freshOrder;
  if (std::string fault = CheckIndex(fresh, true, &freshOrder); !fault.empty()) return "reparsed: " + fault;
  if (editedOrder.size() != freshOrder.size())
    return "element counts differ: " + std::to_string(editedOrder.size()) + " kept, " + std::to_string(freshOrder.size()) + " parsed";
  std::vector<std::int32_t> toFresh(static_cast<std::size_t>(edited.GetRecordCount()), -1);
  toFresh[0] = 0;
  for (std::size_t i = 0; i < editedOrder.size(); ++i) toFresh[static_cast<std::size_t>(editedOrder[i])] = freshOrder[i];
  const auto map = [&](std::int32_t p) { return p <= 0 || p >= edited.GetRecordCount() ? p : toFresh[static_cast<std::size_t>(p)]; };
  constexpr std::uint32_t kCompared = kElementFirstChild | kElementUnended | ElementRecord::kLevelMask;
  for (std::size_t i = 0; i < editedOrder.size(); ++i) {
    const ElementRecord a = edited.GetRecord(editedOrder[i]);
    const ElementRecord b = fresh.GetRecord(freshOrder[i]);
    const bool same = a.start == b.start && a.length == b.length && a.tagLengths == b.tagLengths &&
                      (a.flags & kCompared) == (b.flags & kCompared) && map(a.parent) == b.parent &&
                      map(a.firstChild) == b.firstChild && map(a.next) == b.next && map(a.prev) == b.prev;
    if (!same) return "element " + std::to_string(i) + " (start " + std::to_string(a.start) + ") differs from the parse";
  }
  return {};
}

}  // namespace xmlcheck
