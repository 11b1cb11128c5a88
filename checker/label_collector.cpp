#include "checker/label_collector.h"

#include <cstring>
#include <optional>
#include <string_view>

void CLabelCollector::Collect(const CSourceLine& line, int piece) {
  // The line as a piece: its text and, for a line end, one "\n" (the
  // reader makes one of a CR LF). Only a line of at most a piece's length
  // gets here.
  char bytes[CStdioFile::kMaxPiece + 1];
  const std::size_t size = line.text.size();
  std::memcpy(bytes, line.text.data(), size);
  if (!line.ending.empty()) bytes[size] = '\n';
  const std::string_view text(bytes, size + (line.ending.empty() ? 0 : 1));
  if (text.front() == '.') {
    if (const int header = FindSectionHeader(text); header != kNoSection) {
      m_section = header;
      m_headers.push_back({line.physicalLine, header});
    }
    return;
  }
  const std::optional<CLabelLine> label = ReadLabelLine(text, m_section, m_codePage);
  if (!label) return;
  CLabelList& list = AddLabelLine(*label, text, piece, m_definitions, m_references);
  const int index = list.GetCount() - 1;
  // The name's line as editors show it: lone CRs end lines too.
  const CPlace place = line.PlaceOf(label->nameBegin, label->nameBegin);
  const std::string_view lineText =
      text.substr(static_cast<std::size_t>(place.lineText.data() - line.text.data()),
                  place.lineText.size());
  if (line.ending.empty()) {
    // The last line, without a line end: the scanner keeps its text apart.
    list.SetPlace(index, place.line, place.lineOffset, place.begin, lineText);
  } else {
    list.SetPlace(index, place.line, place.lineOffset, place.begin, lineText, text);
  }
}
