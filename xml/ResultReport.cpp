#include "xml/ResultReport.h"

#include <array>

namespace {

std::u16string_view TextAttributeName(ReportText name) {
  switch (name) {
    case ReportText::kType: return u"type";
    case ReportText::kEncoding: return u"encoding";
    case ReportText::kMsg: return u"msg";
    case ReportText::kTagName: return u"tagname";
    case ReportText::kNone: break;
  }
  return {};
}

std::u16string_view NumberAttributeName(ReportNumber name) {
  switch (name) {
    case ReportNumber::kN: return u"n";
    case ReportNumber::kCount: return u"count";
    case ReportNumber::kLength: return u"length";
    case ReportNumber::kOffset: break;
  }
  return u"offset";
}

void AppendEscaped(std::u16string& out, std::u16string_view value) {
  for (char16_t c : value) {
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'&': out += u"&amp;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&apos;"; break;
      default: out += c;
    }
  }
}

std::u16string DecimalText(std::int64_t number) {
  std::array<char16_t, 24> digits{};
  std::size_t count = 0;
  const bool negative = number < 0;
  // Works on the unsigned magnitude so that the smallest int64 does not overflow.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::u16string text;
  if (negative) text += u'-';
  while (count > 0) text += digits[--count];
  return text;
}

struct Attribute {
  std::u16string_view name;
  std::u16string value;
};

// The attributes an entry carries, in their fixed order; at most three.
std::size_t CollectAttributes(const ReportEntry& entry, std::array<Attribute, 3>& attributes) {
  std::size_t count = 0;
  if (entry.textName != ReportText::kNone) {
    attributes[count].name = TextAttributeName(entry.textName);
    AppendEscaped(attributes[count++].value, entry.text);
  }
  if (entry.number != -1) {
    attributes[count].name = NumberAttributeName(entry.numberName);
    attributes[count++].value = DecimalText(entry.number);
  }
  if (entry.offset2 != -1) {
    attributes[count].name = u"offset2";
    attributes[count++].value = DecimalText(entry.offset2);
  }
  return count;
}

// Entries are empty-element tags whose values never hold a raw '>', so the first '>' after an
// entry's '<' ends it.
struct EntrySpan {
  std::size_t start = std::u16string::npos;
  std::size_t end = 0;  // offset of the entry's closing '>'
};

EntrySpan FindTopLevelEntry(const std::u16string& report, std::u16string_view word) {
  std::size_t pos = 0;
  while (pos < report.size()) {
    const std::size_t open = report.find(u'<', pos);
    if (open == std::u16string::npos) break;
    const std::size_t close = report.find(u'>', open);
    if (close == std::u16string::npos) break;
    const std::size_t nameStart = open + 1;
    std::size_t nameEnd = nameStart;
    while (nameEnd < close && report[nameEnd] != u' ' && report[nameEnd] != u'/') ++nameEnd;
    if (std::u16string_view(report).substr(nameStart, nameEnd - nameStart) == word) return {open, close};
    pos = close + 1;
  }
  return {};
}

void UpdateAttribute(std::u16string& report, EntrySpan& entry, const Attribute& attribute) {
  std::u16string needle = u" ";
  needle += attribute.name;
  needle += u"=\"";
  const std::size_t found = report.find(needle, entry.start);
  if (found != std::u16string::npos && found < entry.end) {
    const std::size_t valueStart = found + needle.size();
    const std::size_t valueEnd = report.find(u'"', valueStart);
    report.replace(valueStart, valueEnd - valueStart, attribute.value);
    entry.end = entry.end + attribute.value.size() - (valueEnd - valueStart);
    return;
  }
  // A new attribute goes after the entry's last one, before its "/>".
  std::u16string text = needle + attribute.value + u"\"";
  const std::size_t slash = report[entry.end - 1] == u'/' ? entry.end - 1 : entry.end;
  report.insert(slash, text);
  entry.end += text.size();
}

}  // namespace

void AddReportEntry(std::u16string& report, const ReportEntry& entry, ReportMode mode) {
  if (report.size() >= kReportCeiling) return;
  std::array<Attribute, 3> attributes;
  const std::size_t count = CollectAttributes(entry, attributes);
  if (mode == ReportMode::kUpdate) {
    EntrySpan span = FindTopLevelEntry(report, entry.word);
    if (span.start == std::u16string::npos) return;
    for (std::size_t i = 0; i < count; ++i) UpdateAttribute(report, span, attributes[i]);
    return;
  }
  report += u'<';
  report += entry.word;
  for (std::size_t i = 0; i < count; ++i) {
    report += u' ';
    report += attributes[i].name;
    report += u"=\"";
    report += attributes[i].value;
    report += u'"';
  }
  report += u"/>";
}

void AddReportEntry(std::u16string& report, std::u16string_view word) {
  AddReportEntry(report, ReportEntry{word, ReportText::kNone, {}, ReportNumber::kOffset, -1, -1});
}

void AddReportEntry(std::u16string& report, std::u16string_view word, ReportText textName,
                    std::u16string_view text, ReportNumber numberName, std::int64_t number,
                    std::int64_t offset2, ReportMode mode) {
  AddReportEntry(report, ReportEntry{word, textName, text, numberName, number, offset2}, mode);
}

void AddReportEntry(std::u16string& report, std::u16string_view word, ReportNumber numberName,
                    std::int64_t number, std::int64_t offset2, ReportMode mode) {
  AddReportEntry(report, ReportEntry{word, ReportText::kNone, {}, numberName, number, offset2}, mode);
}
