// The labels, references and section headers of a file, taken from its
// lines as the line rules read them, so that a check with rules reads each
// line once rather than once for the rules and once for the lists.
#ifndef VELTRANE_CHECKER_LABEL_COLLECTOR_H_
#define VELTRANE_CHECKER_LABEL_COLLECTOR_H_

#include <vector>

#include "checker/label_list.h"
#include "checker/line_source.h"
#include "checker/scanner.h"
#include "platform/code_page.h"

// The lists a reading fills: what ScanLabels fills.
struct CLabelLists {
  CLabelList& definitions;
  CLabelList& references;
  std::vector<CSectionHeader>& headers;
};

// Gives the lists what ScanLabels gives them, entry for entry, as long as
// every line is one piece: no longer than kLongestWholeLine. A longer line
// is read as several pieces, any of which may be a label line of its own;
// then the collector stops collecting, and the lists must be scanned from
// the pieces (see Whole).
class CLabelCollector {
 public:
  // Collects into the lists and `headers`, starting at a line start of
  // section `section` whose piece, as ScanLabels counts them, is
  // `firstPiece`.
  CLabelCollector(CLabelList& definitions, CLabelList& references,
                  std::vector<CSectionHeader>& headers, const CCodePage& codePage,
                  int section = kNoSection, int firstPiece = 1)
      : m_definitions(definitions), m_references(references), m_headers(headers),
        m_codePage(codePage), m_section(section), m_piece(firstPiece) {}

  // Takes the next line of the file. Inline: every line passes here, and
  // most are neither labels, keys nor headers.
  void Line(const CSourceLine& line) {
    const int piece = m_piece++;
    if (line.length > kLongestWholeLine) m_whole = false;
    if (line.text.empty() || !kMayNameOrOpen[static_cast<unsigned char>(line.text.front())])
      return;
    if (m_whole) Collect(line, piece);
  }

  // Counts `lines` entries of a name list that the caller passed over
  // (digits first, at most a piece long): no labels, each one piece.
  void Pass(int lines) { m_piece += lines; }

  // False when a line was longer than a piece, so that the lists lack what
  // its later pieces hold.
  bool Whole() const { return m_whole; }
  // The piece number the next line gets.
  int NextPiece() const { return m_piece; }

 private:
  void Collect(const CSourceLine& line, int piece);

  CLabelList& m_definitions;
  CLabelList& m_references;
  std::vector<CSectionHeader>& m_headers;
  const CCodePage& m_codePage;
  int m_section;
  int m_piece;
  bool m_whole = true;
};

#endif  // VELTRANE_CHECKER_LABEL_COLLECTOR_H_
