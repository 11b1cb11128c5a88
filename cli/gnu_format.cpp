#include "cli/gnu_format.h"

std::string FormatGnuFinding(std::string_view input, const CFinding& finding) {
  std::string line(input);
  line.append(":");
  line.append(std::to_string(finding.line));
  line.append(finding.kind == CFinding::Kind::duplicate ? ": warning: "
                                                        : ": error: ");
  line.append("Label \"");
  line.append(finding.name);
  switch (finding.kind) {
    case CFinding::Kind::duplicate:
      line.append("\" already in line ");
      line.append(std::to_string(finding.firstLine));
      break;
    case CFinding::Kind::unused:
      line.append("\" not used");
      break;
    case CFinding::Kind::notFound:
      line.append("\" not found");
      break;
  }
  line.push_back('\n');
  return line;
}
