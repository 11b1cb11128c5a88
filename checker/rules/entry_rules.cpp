// The line rules that read the entries of name lists: numbers out of range,
// numbers given twice, malformed entries, comments in an entry's text, and
// at a list's end the note on one that counts from 1.
#include "checker/rules/line_linter.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "checker/finding_text.h"
#include "checker/scanner.h"

namespace line_pass {

namespace {

// The words of this pass's findings, of their fixes and of their notes.

std::string NumberOutOfRangeMessage(std::string_view number, int largest) {
  return "Number " + std::string(number) + " is outside 0.." + std::to_string(largest);
}

std::string DuplicateNumberMessage(std::string_view number, int firstLine, bool sameText,
                                   std::string_view firstText) {
  std::string text = "Number " + std::string(number) + " already has an entry in line " +
                     std::to_string(firstLine);
  if (sameText) return text + ", with the same text";
  return text + ", with another text: " + Quoted(firstText);
}

std::string FirstEntryMessage(std::string_view number) {
  return "number " + std::string(number) + " is first given here";
}

std::string MalformedEntryMessage() {
  return "Not an entry: a line of a name list is NUMBER=NAME, a comment or blank";
}

std::string CommentInEntryTextMessage(std::string_view number) {
  return "\";\" in the name of entry " + std::string(number) +
         ": some programs cut the name there";
}

std::string DeleteLineTitle() { return "Remove the repeated line"; }

std::string CountsFromOneMessage(std::string_view list) {
  return "the list " + Quoted(list) +
         " counts from 1 to 128, not from 0: every name lands one number too high";
}

}  // namespace

bool CLineLinter::QuickEntryKnows(const CRuleSelection& rules) {
  for (const FindingRule& rule : FindingRules()) {
    if ((rule.pass != RulePass::lineEntries && rule.pass != RulePass::lineForm) ||
        !rules.Has(rule.kind))
      continue;
    switch (rule.kind) {
      // QuickEntry takes only numbers in range, new to their list, on
      // lines of a piece; a ";" only while VLT3007 is off. The line's end
      // and a list's counting from 1 are told later, whoever took the line.
      case FindingKind::numberOutOfRange:
      case FindingKind::duplicateNumber:
      case FindingKind::malformedEntry:
      case FindingKind::commentInEntryText:
      case FindingKind::noFinalLineEnd:
      case FindingKind::longLine:
        break;
      default:
        return false;
    }
  }
  return true;
}

void CLineLinter::CloseList() {
  // A patch or note list numbered 1 to 128 counts from 1.
  const bool countsFromOne = (m_section == kPatchNames || m_section == kNoteNames) &&
                             !m_has0 && m_has1 && !m_at128.empty();
  if (countsFromOne && m_notes) {
    const CPlace label = m_label.PlaceIn(m_out);
    for (const std::size_t index : m_at128) {
      m_out.findings[index].note = MakeNote(
          NoteKind::countsFromOne, label, CountsFromOneMessage(m_codePage.ToUtf8(m_listName)));
    }
  }
  ++m_list;
  m_entries.clear();
  // Clearing an empty map still clears its buckets.
  if (!m_largeNumbers.empty()) m_largeNumbers.clear();
  if (!m_largeLast.empty()) m_largeLast.clear();
  m_has0 = m_has1 = false;
  m_at128.clear();
}

int CLineLinter::FirstOf(std::uint32_t slot) {
  const std::uint64_t first = m_numbers[slot].first;
  if (first >> 32 != m_list) return -1;
  const auto low = static_cast<std::uint32_t>(first);
  if (low & kInEntries) return static_cast<int>(low & ~kInEntries);
  // A line QuickEntry took: digits, "=" and a name, no lone CR, at most a
  // piece long. Should the file have changed since, the entry's parts are
  // taken from what is there now, within the bytes read.
  const std::uint64_t offset = m_numbers[slot].offset;
  std::string text = ReadAgain(offset, kLongestWholeLine + 2);
  text.resize(std::min(text.size(), text.find('\n')));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  std::size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  const std::size_t name = digits < text.size() ? text.size() - digits - 1 : 0;
  const int index = static_cast<int>(m_entries.size());
  m_entries.push_back({static_cast<int>(low), static_cast<std::uint32_t>(digits), offset, offset,
                       static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(name)});
  SetFirst(slot, index);
  return index;
}

void CLineLinter::Entry(const CSourceLine& line) {
  const std::string_view text = line.text;
  // The digits and their value in one pass; past kMostDigits significant
  // digits the number is out of every range and its value is not needed.
  std::size_t digits = 0;
  std::uint64_t value = 0;
  std::size_t significant = 0;
  for (; digits < text.size() && IsDigit(text[digits]); ++digits) {
    if (significant > 0 || text[digits] != '0') ++significant;
    if (significant <= kMostDigits) value = value * 10 + static_cast<unsigned>(text[digits] - '0');
  }
  if (digits == 0 || digits == text.size() || text[digits] != '=') {
    if (text.starts_with(kBasedOnKey)) return;  // inherits from another list
    if (m_rules.Has(FindingKind::malformedEntry))
      Add(FindingKind::malformedEntry, line, 0, text.size(), MalformedEntryMessage());
    return;
  }
  const std::string_view numberText = text.substr(0, digits);
  const std::string_view name = text.substr(digits + 1);
  const std::optional<std::uint64_t> number =
      significant <= kMostDigits ? std::make_optional(value) : std::nullopt;
  const std::uint64_t largest =
      m_section == kRpnNames || m_section == kNrpnNames ? kLargestBank : kLargestProgram;
  if (number == 0u) m_has0 = true;
  if (number == 1u) m_has1 = true;
  if ((!number || *number > largest) && m_rules.Has(FindingKind::numberOutOfRange)) {
    if (number == 128u) m_at128.push_back(m_out.findings.size());
    Add(FindingKind::numberOutOfRange, line, 0, digits,
        NumberOutOfRangeMessage(numberText, static_cast<int>(largest)));
  }
  if (line.hasSemicolon && m_readsEntrySemicolons) {
    if (const std::size_t semicolon = m_codePage.Find(name, ';'); semicolon != std::string_view::npos)
      Add(FindingKind::commentInEntryText, line, digits + 1 + semicolon, text.size(),
          CommentInEntryTextMessage(numberText));
  }
  if (!m_readsDuplicates) return;

  // The entry that came first with this number, or -1; numbers of every
  // range have a slot, others are looked up by their digits.
  int first = -1;
  int* large = nullptr;
  std::uint64_t* last = nullptr;
  std::uint32_t slot = 0;
  if (number && *number <= kLargestBank) {
    slot = static_cast<std::uint32_t>(*number);
    first = FirstOf(slot);
    last = &m_numbers[slot].last;
  } else {
    const std::string key = number ? std::to_string(*number)
                                   : std::string(numberText.substr(numberText.find_first_not_of('0')));
    large = &m_largeNumbers.try_emplace(key, -1).first->second;
    first = *large;
    last = &m_largeLast[key];
  }
  // The entry of this number just before this one, which programs where
  // the last entry wins read until this line.
  const std::uint64_t previous = *last;
  *last = line.offset;
  if (first < 0) {
    const int index = static_cast<int>(m_entries.size());
    if (large) *large = index;
    else SetFirst(slot, index);
    int placeLine = line.physicalLine;
    std::uint64_t lineOffset = line.offset;
    std::size_t lineTextSize = text.size();
    if (line.hasLoneCr) {
      const CPlace place = line.PlaceOf(0, digits);
      placeLine = place.line;
      lineOffset = place.lineOffset;
      lineTextSize = place.lineText.size();
    }
    m_entries.push_back({placeLine, static_cast<std::uint32_t>(digits), lineOffset, line.offset,
                         static_cast<std::uint32_t>(lineTextSize),
                         static_cast<std::uint32_t>(name.size())});
    return;
  }
  const EntryNumber& earlier = m_entries[static_cast<std::size_t>(first)];
  const std::string earlierName =
      ReadAgain(earlier.offset + earlier.digits + 1, earlier.nameSize);
  const bool same = earlierName == name;
  CFinding& finding = Add(
      FindingKind::duplicateNumber, line, 0, digits,
      NamingLine([number = std::string(numberText), firstLine = earlier.line, same,
                  earlierUtf8 = m_codePage.ToUtf8(earlierName)](int shift) {
        return DuplicateNumberMessage(number, firstLine + shift, same, earlierUtf8);
      }));
  if (m_notes) {
    CPlace place;
    place.line = earlier.line;
    place.lineOffset = earlier.lineOffset;
    place.end = earlier.digits;
    place.lineText = Keep(m_out, ReadAgain(earlier.lineOffset, earlier.lineTextSize));
    finding.note = MakeNote(NoteKind::firstEntry, place, FirstEntryMessage(numberText));
  }
  // Removing this line changes what no program reads only when the entry
  // of this number just before it has the same name: where the last entry
  // wins, that one is then read instead.
  if (line.length == line.text.size() && !line.hasLoneCr && EntryNamed(previous, name)) {
    finding.fix = CFix{true, DeleteLineTitle(), {{line.offset, line.EndOffset(), ""}}};
  }
}

bool CLineLinter::EntryNamed(std::uint64_t offset, std::string_view name) const {
  std::string text = ReadAgain(offset, kLongestWholeLine + 2);
  const std::size_t end = text.find('\n');
  if (end == std::string::npos) return false;
  text.resize(end);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.size() > kLongestWholeLine || text.find('\r') != std::string::npos) return false;
  const std::size_t equals = text.find('=');
  return equals != std::string::npos && std::string_view(text).substr(equals + 1) == name;
}

}  // namespace line_pass
