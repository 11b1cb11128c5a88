#include "cli/sarif_format.h"

#include <string>

#include "cli/finding_text.h"
#include "cli/json_text.h"

namespace {

struct Rule {
  CFinding::Kind kind;
  const char* id;
  const char* name;
  const char* level;
  const char* shortText;
  const char* fullText;
  const char* help;
};

// In the order of CFinding::Kind, which is also each rule's index.
constexpr Rule kRules[] = {
    {CFinding::Kind::duplicate, "VLT1001", "DuplicateLabel", "warning",
     "A list is defined twice in one section.",
     "A label names a list that an earlier label in the same section already "
     "names. Every reference reaches the first of the two, so the second list "
     "is never used.",
     "Rename the second list and refer to it by its new name, or remove it if "
     "it is a copy of the first."},
    {CFinding::Kind::unused, "VLT1002", "LabelNotUsed", "error",
     "A list that nothing refers to.",
     "No instrument definition and no other list refers to this list by "
     "name, so a sequencer never shows it. Often a reference meant it and "
     "misspells its name.",
     "Refer to the list where it is meant to be used (Patch[...]=, Key[...]=, "
     "Control=, RPN=, NRPN= or BasedOn=), or remove it."},
    {CFinding::Kind::notFound, "VLT1003", "LabelNotFound", "error",
     "A reference to a list that does not exist.",
     "The value of this key line names no list of the section the key needs "
     "(Patch a patch list, Key a note list, Control a controller list, RPN "
     "and NRPN their own lists, BasedOn a list of its own section). Names "
     "match exactly, case and blanks included.",
     "Correct the name to that of an existing list of the right section, or "
     "add the list. The related location, when there is one, points at the "
     "list the reference most likely means."},
};

const Rule& RuleOf(CFinding::Kind kind) { return kRules[static_cast<int>(kind)]; }

void AppendText(std::string& json, std::string_view key, std::string_view text) {
  json.append("\"");
  json.append(key);
  json.append("\":{\"text\":");
  AppendJsonString(json, text);
  json.append("}");
}

// A physical location in `input`, at `line` when it is 1 or more, showing
// `snippet` when it is not empty.
void AppendPhysicalLocation(std::string& json, std::string_view input, int line,
                            std::string_view snippet = {}) {
  json.append("\"physicalLocation\":{\"artifactLocation\":{\"uri\":");
  AppendJsonString(json, PathToUriReference(input));
  json.append("}");
  if (line >= 1) {
    json.append(",\"region\":{\"startLine\":");
    json.append(std::to_string(line));
    if (!snippet.empty()) {
      json.append(",");
      AppendText(json, "snippet", snippet);
    }
    json.append("}");
  }
  json.append("}");
}

// The line as a viewer shows it: without its line end.
std::string_view LineWithoutEnd(std::string_view text) {
  if (text.ends_with('\n')) text.remove_suffix(1);
  if (text.ends_with('\r')) text.remove_suffix(1);
  return text;
}

void AppendRelatedLocation(std::string& json, int id, std::string_view input, int line,
                           std::string_view message) {
  json.append("{\"id\":");
  json.append(std::to_string(id));
  json.append(",");
  AppendPhysicalLocation(json, input, line);
  json.append(",");
  AppendText(json, "message", message);
  json.append("}");
}

}  // namespace

void CSarifLog::Begin() {
  std::string json =
      "{\"$schema\":\"https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json\","
      "\"version\":\"2.1.0\",\"runs\":[{\"tool\":{\"driver\":{"
      "\"name\":\"veltrane-check\",\"version\":\"" VELTRANE_VERSION "\","
      "\"semanticVersion\":\"" VELTRANE_VERSION "\",\"rules\":[";
  for (const Rule& rule : kRules) {
    if (&rule != kRules) json.append(",");
    json.append("{\"id\":\"");
    json.append(rule.id);
    json.append("\",\"name\":\"");
    json.append(rule.name);
    json.append("\",");
    AppendText(json, "shortDescription", rule.shortText);
    json.append(",");
    AppendText(json, "fullDescription", rule.fullText);
    json.append(",");
    AppendText(json, "help", rule.help);
    json.append(",\"defaultConfiguration\":{\"level\":\"");
    json.append(rule.level);
    json.append("\"}}");
  }
  json.append("]}},\"results\":[");
  m_out(json);
}

void CSarifLog::AddResult(std::string_view input, const CFinding& finding, const CNote* note) {
  const Rule& rule = RuleOf(finding.kind);
  std::string json = m_bFirstResult ? "\n{" : ",\n{";
  m_bFirstResult = false;
  json.append("\"ruleId\":\"");
  json.append(rule.id);
  json.append("\",\"ruleIndex\":");
  json.append(std::to_string(static_cast<int>(finding.kind)));
  json.append(",\"level\":\"");
  json.append(rule.level);
  json.append("\",");
  AppendText(json, "message", FindingMessage(finding));
  json.append(",\"locations\":[{");
  AppendPhysicalLocation(json, input, finding.line, LineWithoutEnd(finding.text));
  json.append("}]");

  if (finding.kind == CFinding::Kind::duplicate || note) {
    json.append(",\"relatedLocations\":[");
    if (finding.kind == CFinding::Kind::duplicate) {
      std::string first = "Label \"";
      first.append(finding.name);
      first.append("\" first defined here");
      AppendRelatedLocation(json, 1, input, finding.firstLine, first);
    }
    if (note) {
      if (finding.kind == CFinding::Kind::duplicate) json.append(",");
      AppendRelatedLocation(json, 2, input, note->line, NoteMessage(*note));
    }
    json.append("]");
  }
  json.append("}");
  m_out(json);
}

void CSarifLog::AddUnreadable(std::string_view input, std::string_view message) {
  m_unreadable.push_back(Unreadable{std::string(input), std::string(message)});
}

void CSarifLog::End() {
  std::string json = "\n],\"invocations\":[{\"executionSuccessful\":";
  json.append(m_unreadable.empty() ? "true" : "false");
  if (!m_unreadable.empty()) {
    json.append(",\"toolExecutionNotifications\":[");
    for (std::size_t i = 0; i < m_unreadable.size(); ++i) {
      if (i > 0) json.append(",");
      json.append("\n{\"level\":\"error\",");
      AppendText(json, "message", m_unreadable[i].message);
      if (!m_unreadable[i].input.empty()) {
        json.append(",\"locations\":[{");
        AppendPhysicalLocation(json, m_unreadable[i].input, 0);
        json.append("}]");
      }
      json.append("}");
    }
    json.append("]");
  }
  json.append("}]}]}\n");
  m_out(json);
}
