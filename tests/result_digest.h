// Everything a check result holds, as text, so that two ways of checking
// the same bytes can be compared whole: both lists entry by entry with
// their flags and places, the resolution, the findings with their notes,
// the section headers, and what the rules report. Shared by the unit tests and the fuzz target.
#ifndef VELTRANE_TESTS_RESULT_DIGEST_H_
#define VELTRANE_TESTS_RESULT_DIGEST_H_

#include <sstream>
#include <string>

#include "checker/check.h"

inline void DigestPlace(std::ostringstream& out, const CPlace& place) {
  out << " @" << place.line << "+" << place.lineOffset << "[" << place.begin << ","
      << place.end << ")<" << place.lineText << ">";
}

inline void DigestList(std::ostringstream& out, const CLabelList& list) {
  out << "list of " << list.GetCount() << "\n";
  for (int i = 0; i < list.GetCount(); ++i) {
    const CLabelEntry& entry = list.At(i);
    out << "<" << entry.name << "> " << entry.line << " <" << entry.Text() << "> kind "
        << entry.kind << (entry.used ? " used" : "") << (entry.shadowed ? " shadowed" : "")
        << (entry.unclosed ? " unclosed" : "");
    DigestPlace(out, list.PlaceOf(i));
    out << "\n";
  }
}

inline std::string DigestOf(const CCheckResult& result) {
  std::ostringstream out;
  DigestList(out, *result.definitions);
  DigestList(out, *result.references);
  for (const int match : result.resolution) out << match << " ";
  out << "\n";
  for (const CFinding& finding : result.findings) {
    out << static_cast<int>(finding.kind) << " " << finding.message << " " << finding.line
        << " section " << finding.section << " first " << finding.firstLine;
    DigestPlace(out, finding.place);
    DigestPlace(out, finding.firstPlace);
    if (finding.note) {
      out << " note " << static_cast<int>(finding.note->kind) << " " << finding.note->message
          << " " << finding.note->line;
      DigestPlace(out, finding.note->place);
    }
    out << "\n";
  }
  for (const CNote& note : result.fileNotes) out << "file note " << note.message << "\n";
  for (const CSectionHeader& header : result.sections)
    out << "section " << header.kind << " in line " << header.line << "\n";
  // With rules: what is reported, whichever list it came from, with its
  // fix.
  out << "line end " << (result.lineEnd == "\n" ? "LF" : "CR LF") << "\n";
  for (const CFinding* finding : result.reported) {
    out << "reported " << finding->Rule().id << " " << finding->message;
    DigestPlace(out, finding->place);
    if (finding->note) {
      out << " note " << finding->note->message;
      DigestPlace(out, finding->note->place);
    }
    if (finding->fix) {
      out << " fix " << finding->fix->title;
      for (const CEdit& edit : finding->fix->edits)
        out << " [" << edit.begin << "," << edit.end << ")<" << edit.text << ">";
    }
    out << "\n";
  }
  return out.str();
}

#endif  // VELTRANE_TESTS_RESULT_DIGEST_H_
