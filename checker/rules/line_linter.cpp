// The line linter's frame: reading a line again, adding findings, closing
// a list or instrument, and the rules on labels, sections, comments and the
// form of every line (its length, the final line end).
#include "checker/rules/line_linter.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "checker/blanks.h"
#include "checker/finding_text.h"
#include "checker/scanner.h"

namespace line_pass {

namespace {

// The words of this pass's findings, of their fixes and of their notes.

std::string UnknownSectionMessage(std::string_view header) {
  return "Unknown section header " + Quoted(header) +
         ": programs read the lists after it differently";
}

std::string NoFinalLineEndMessage() {
  return "The last line has no line end: one program loses its last character";
}

std::string LongLineMessage(std::uint64_t length) {
  return "Line of " + std::to_string(length) +
         " bytes: programs read a line of more than 253 bytes as several";
}

std::string AddLineEndTitle() { return "End the last line"; }

}  // namespace

std::string CLineLinter::ReadAgain(std::uint64_t offset, std::size_t size) const {
  std::string bytes(size, '\0');
  std::size_t got = 0;
  while (got < size) {
    const std::size_t n = m_file.ReadBytesAt(offset + got, bytes.data() + got, size - got);
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

CFinding& CLineLinter::Add(FindingKind kind, const CSourceLine& line, std::size_t begin,
                           std::size_t end, std::string message) {
  CPlace place = line.PlaceOf(begin, end);
  place.lineText = Keep(m_out, place.lineText);
  return AddRuleFinding(m_out, kind, place, m_section, std::move(message));
}

CNote CLineLinter::MakeNote(NoteKind kind, const CPlace& place, std::string message) const {
  return ::MakeNote(kind, place, m_section, std::move(message));
}

void CLineLinter::Close() {
  if (m_context == Context::list) CloseList();
  CloseInstrument();
  m_context = Context::none;
  UpdateQuick();
}

void CLineLinter::OpenLabel(const CSourceLine& line) {
  Close();
  // Under a header of no section the lines after a label may be anything
  // its program wants (".Sequences" holds "Start=F0 7E F7"): they are no
  // entries or keys, and that header's finding says what is wrong.
  if (m_section == kNoSection || m_underUnknown) return;
  const std::size_t close = m_codePage.Find(line.text, ']');
  m_listName.assign(close == std::string_view::npos ? std::string_view()
                                                     : line.text.substr(1, close - 1));
  // Only the note on a list that counts from 1 points at its label.
  if (m_notes) m_label.Set(line.PlaceOf(1, close == std::string_view::npos ? 1 : close));
  m_labelOffset = line.offset;
  m_labelEnding.assign(line.ending.empty() ? m_out.lineEnd : line.ending);
  m_context = m_section == kInstrumentDefinitions ? Context::instrument : Context::list;
  UpdateQuick();
}

void CLineLinter::Comment(const CSourceLine& line) {
  CSuppression suppression;
  // A lone CR ends the comment's line as editors show it: what follows is
  // no part of the suppression.
  const std::string_view own = line.text.substr(0, line.text.find('\r'));
  if (!ParseSuppression(own, suppression)) return;
  suppression.place = line.PlaceOf(0, own.size());
  suppression.place.lineText = Keep(m_out, suppression.place.lineText);
  // Removing the comment removes its line as editors show it, up to its
  // line end or the lone CR that ends it.
  suppression.lineEndOffset =
      own.size() < line.text.size() ? line.offset + own.size() + 1 : line.EndOffset();
  suppression.endsAtLoneCr = own.size() + 1 < line.text.size();
  m_suppressions.push_back(std::move(suppression));
  UpdateQuick();
}

void CLineLinter::CheckLength(const CSourceLine& line) {
  if (line.length > kLongestWholeLine && m_rules.Has(FindingKind::longLine))
    Add(FindingKind::longLine, line, kLongestWholeLine, line.text.size(),
        LongLineMessage(line.length));
}

void CLineLinter::Line(const CSourceLine& line) {
  CheckLength(line);
  const std::string_view text = line.text;
  // Most lines are entries or keys: their first byte says they are neither
  // blank nor comments.
  const char first = text.empty() ? ' ' : text.front();
  const bool mayBeBlank = IsBlank(first) || first == ';';
  const bool blank = mayBeBlank && IsBlankLine(text);
  const bool comment = mayBeBlank && !blank && IsCommentLine(text);
  if (comment) Comment(line);
  if (!blank && !comment) m_blockStart = line.offset;
  if (!blank && !comment && m_firstPending < m_suppressions.size()) {
    // The line that the suppressions above it silence.
    for (; m_firstPending < m_suppressions.size(); ++m_firstPending) {
      CSuppression& suppression = m_suppressions[m_firstPending];
      if (suppression.wholeFile) continue;
      suppression.targetLine = line.physicalLine;
      m_blockStart = std::min(m_blockStart, suppression.place.lineOffset);
    }
    UpdateQuick();
  }
  if (text.starts_with('.')) {
    Close();
    const int header = FindSectionHeader(text);
    m_underUnknown = header == kNoSection;
    if (header != kNoSection) {
      m_section = header;
    } else if (m_rules.Has(FindingKind::unknownSection)) {
      Add(FindingKind::unknownSection, line, 0, text.size(),
          UnknownSectionMessage(m_codePage.ToUtf8(text.substr(0, 80))));
    }
    return;
  }
  if (text.starts_with('[')) {
    OpenLabel(line);
    return;
  }
  switch (m_context) {
    case Context::list:
      if (!blank && !comment && m_readsEntries) Entry(line);
      break;
    case Context::instrument:
      if (m_readsInstruments) InstrumentLine(line, blank, comment);
      break;
    case Context::none:
      break;
  }
}

void CLineLinter::Finish(const CSourceLine& last) {
  Close();
  const bool unended = last.length > 0 &&
                       !(last.length == last.text.size() && last.text.back() == '\r');
  if (unended && m_rules.Has(FindingKind::noFinalLineEnd)) {
    CFinding& finding = Add(FindingKind::noFinalLineEnd, last, last.text.size(),
                            last.text.size(), NoFinalLineEndMessage());
    const std::uint64_t end = last.EndOffset();
    finding.fix = CFix{true, AddLineEndTitle(), {{end, end, std::string(m_out.lineEnd)}}};
  }
}

}  // namespace line_pass
