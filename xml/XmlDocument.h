#pragma once
// CXmlDocument: one XML document (HTML-like text is accepted too) held as a single UTF-16 text,
// an index of where each element lies in it, a current position and a result report.
//
// The text is the only copy of the content: reading takes pieces of it, editing inserts into it
// and patches the index (no re-parse), saving writes it out unchanged. Parsing never rejects a
// text: it indexes every element it can find, records what it found wrong in the result report
// (format in ResultReport.h) and marks the document as not well-formed.
//
// Index positions: 0 stands for the document as a whole; elements get 1, 2, 3 ... in the order
// they are indexed or added. A parse starts again from 1, so positions taken before a parse mean
// nothing after it; edits keep every position valid.
//
// Texts are UTF-16. Where an argument may be absent it is a `const char16_t*` and null means
// absent. Failures are results (false, empty string), never exceptions; running out of memory
// is the exception: std::bad_alloc propagates, and the document is left as it was before the
// edit, or (in a parse) with an index holding nothing but record 0.
//
// One thread at a time; no locks.
//
// Fields keep their names from the text model: m_strText (text), m_strResultReport
// (resultReport), m_nParentIndex, m_nCurrentIndex, m_nChildIndex, m_nRecordCount,
// m_nModeFlags (modeFlags), m_elementTable (elementTable).

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/ElementTable.h"

// modeFlags bits.
constexpr std::uint32_t kModeBomUtf16LE = 0x01;
constexpr std::uint32_t kModeBomUtf8 = 0x04;
constexpr std::uint32_t kModeIgnoreCase = 0x08;
constexpr std::uint32_t kModeBomUtf16BE = 0x80;
constexpr std::uint32_t kModeTrimWhiteSpace = 0x100;
constexpr std::uint32_t kModeCollapseWhiteSpace = 0x200;

// AddElement insertion flags (may be combined).
constexpr std::uint32_t kAddCData = 0x01;
constexpr std::uint32_t kAddNoLineBreak = 0x02;
constexpr std::uint32_t kAddSpaceBeforeSlash = 0x04;
constexpr std::uint32_t kAddKeepReferences = 0x08;
constexpr std::uint32_t kAddStartTagOnly = 0x10;
// The new element takes the place of the parent's whole content; the records of that content
// are unlinked and their positions refused from then on, so the index stays whole.
constexpr std::uint32_t kAddReplaceContent = 0x1000;
constexpr std::uint32_t kAddBefore = 0x2000;
constexpr std::uint32_t kAddInside = 0x4000;

// EscapeText flags: kAddKeepReferences (0x08) and this one, for attribute values.
constexpr std::uint32_t kEscapeQuotes = 0x100;

class CXmlDocument {
public:
  CXmlDocument();
  explicit CXmlDocument(const char16_t* text);
  explicit CXmlDocument(std::u16string_view text);
  ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  // Text model and parser.
  bool SetDocumentText(const char16_t* text);  // null: no text, the table's memory is released
  bool SetDocumentText(std::u16string_view text);
  bool Parse();
  bool IsWellFormed() const;

  // Navigation and reading.
  bool EnterElement();
  bool LeaveElement();
  bool FindElement(const char16_t* name = nullptr);
  std::u16string GetElementText() const;
  std::u16string GetTagName(std::int32_t position) const;

  // Editing. Every edit keeps the index equal to what a parse of the new text would give; an
  // edit that could not (a name that would not read back as a name, a tag length beyond its
  // field, a start tag alone inside an element of a matching name) is refused with false.
  bool AddElement(const char16_t* name, const char16_t* text = nullptr, std::uint32_t flags = 0);
  bool SetAttribute(std::int32_t position, const char16_t* name, const char16_t* value);
  // Replaces `count` code units at `offset` with `insert`; the index is not touched (the
  // editing operations patch it). False when the range lies outside the text.
  bool ReplaceText(std::int32_t offset, std::int32_t count, std::u16string_view insert);

  static std::u16string EscapeText(std::u16string_view text, std::uint32_t flags);
  static std::u16string UnescapeText(std::u16string_view text, std::uint32_t flags);

  // File input and output.
  bool LoadFile(const char16_t* path);
  bool SaveFile(const char16_t* path);
  static bool ReadTextFile(std::u16string& text, std::uint32_t* flags, std::u16string* report,
                           const char16_t* path);
  static bool WriteTextFile(std::u16string* report, std::uint32_t* flags, const char16_t* path,
                            std::u16string_view text);
  static std::u16string EncodingFromText(std::u16string_view text);

  // Read-only views.
  const std::u16string& GetDocumentText() const { return m_strText; }
  const std::u16string& GetResultReport() const { return m_strResultReport; }
  // The record at `position`; all fields 0 for a position not handed out.
  ElementRecord GetRecord(std::int32_t position) const;
  std::int32_t GetRecordCount() const { return m_nRecordCount; }
  std::int32_t GetParentIndex() const { return m_nParentIndex; }
  std::int32_t GetCurrentIndex() const { return m_nCurrentIndex; }
  std::int32_t GetChildIndex() const { return m_nChildIndex; }
  std::uint32_t GetModeFlags() const { return m_nModeFlags; }
  void SetModeFlags(std::uint32_t flags) { m_nModeFlags = flags; }

private:
  class CParser;
  struct Insertion;

  bool IgnoresCase() const { return (m_nModeFlags & kModeIgnoreCase) != 0; }
  // A position handed out and still in the index (records whose content was replaced are
  // marked with start -1 and refused from then on).
  bool IsPosition(std::int32_t position) const {
    return position > 0 && position < m_nRecordCount && Record(position).start >= 0;
  }
  ElementRecord& Record(std::int32_t position) { return m_elementTable[position]; }
  const ElementRecord& Record(std::int32_t position) const { return m_elementTable[position]; }
  // Takes the next position for a new record, growing the table as the parser does; 0 when
  // the positions are used up.
  std::int32_t TakeRecord();
  // Grows the table, if needed, so that TakeRecord cannot fail afterwards.
  bool EnsureRecordRoom();
  void ResetIndex();
  std::u16string_view Content(std::int32_t position) const;
  std::u16string_view StartTagName(std::int32_t position) const;

  bool PlanInsertion(std::u16string_view element, std::uint32_t flags, Insertion& insertion) const;
  void LinkUnder(std::int32_t n, std::int32_t parent, std::int32_t after);
  void ShiftFollowing(std::int32_t sibling, std::int32_t holder, std::int32_t delta);
  void ShiftSubtree(std::int32_t root, std::int32_t delta);
  void ReleaseChildren(std::int32_t parent);
  bool WouldEndAnEnclosingTag(std::u16string_view name, std::int32_t parent) const;

  std::u16string m_strText;
  std::u16string m_strResultReport;
  std::int32_t m_nParentIndex = 0;
  std::int32_t m_nCurrentIndex = 0;
  std::int32_t m_nChildIndex = 0;
  std::int32_t m_nRecordCount = 0;
  std::uint32_t m_nModeFlags = 0;
  CElementTable m_elementTable;
};
