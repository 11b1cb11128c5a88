#include "cli/sarif_format.h"

#include <cstdio>

#include "checker/finding_text.h"

using json = nlohmann::ordered_json;

namespace {

json TextObject(std::string_view text) { return json{{"text", std::string(text)}}; }

// The level a SARIF viewer knows for `severity`.
std::string_view LevelOf(Severity severity) { return SeverityName(severity); }

// A physical location in `input`; with a place, its region: the name's
// columns in code-page characters and its whole line as the snippet.
json PhysicalLocation(std::string_view input, const CPlace* place, const CCodePage& codePage) {
  json location = {{"artifactLocation", {{"uri", PathToUriReference(input)}}}};
  if (place && place->line >= 1) {
    location["region"] = {
        {"startLine", place->line},
        {"startColumn", ColumnOf(place->lineText, place->begin, codePage)},
        {"endColumn", ColumnOf(place->lineText, place->end, codePage)},
        {"snippet", TextObject(codePage.ToUtf8(place->lineText))},
    };
  }
  return location;
}

json RelatedLocation(int id, std::string_view input, const CPlace& place,
                     const std::string& message, const CCodePage& codePage) {
  return {{"id", id},
          {"physicalLocation", PhysicalLocation(input, &place, codePage)},
          {"message", TextObject(message)}};
}

}  // namespace

CSarifLog::CSarifLog() {
  json rules = json::array();
  for (const FindingRule& rule : FindingRules()) {
    rules.push_back({{"id", std::string(rule.id)},
                     {"name", std::string(rule.name)},
                     {"shortDescription", TextObject(rule.shortText)},
                     {"fullDescription", TextObject(rule.fullText)},
                     {"help", TextObject(rule.help)},
                     {"defaultConfiguration",
                      {{"level", std::string(LevelOf(rule.severity))},
                       {"enabled", rule.onByDefault}}},
                     {"properties",
                      {{"fix", std::string(FixAvailabilityName(rule.fix))}}}});
  }
  m_log = {
      {"$schema",
       "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json"},
      {"version", "2.1.0"},
      {"runs",
       json::array({{{"tool",
                      {{"driver",
                        {{"name", "veltrane-check"},
                         {"version", VELTRANE_VERSION},
                         {"semanticVersion", VELTRANE_VERSION},
                         {"rules", rules}}}}},
                     {"columnKind", "unicodeCodePoints"}}})},
  };
}

void CSarifLog::AddResults(std::string_view input, const CCheckResult& result) {
  const CCodePage& codePage = result.codePage;
  for (const CNote& note : result.fileNotes) {
    m_notifications.push_back(
        {{"level", "note"},
         {"message", TextObject(note.message)},
         {"locations", json::array({{{"physicalLocation",
                                      PhysicalLocation(input, &note.place, codePage)}}})}});
  }
  for (const CFinding* reported : result.reported) {
    const CFinding& finding = *reported;
    const FindingRule& rule = finding.Rule();
    json item = {
        {"ruleId", std::string(rule.id)},
        {"ruleIndex", static_cast<int>(finding.kind)},
        {"level", std::string(LevelOf(rule.severity))},
        {"message", TextObject(finding.message)},
        {"locations",
         json::array({{{"physicalLocation", PhysicalLocation(input, &finding.place, codePage)}}})},
    };
    json related = json::array();
    if (finding.kind == FindingKind::duplicate) {
      related.push_back(RelatedLocation(
          1, input, finding.firstPlace,
          FirstDefinedMessage(codePage.ToUtf8(finding.name)), codePage));
    }
    if (finding.note)
      related.push_back(RelatedLocation(2, input, finding.note->place, finding.note->message,
                                        codePage));
    if (!related.empty()) item["relatedLocations"] = std::move(related);
    m_results.push_back(std::move(item));
  }
}

void CSarifLog::AddUnreadable(std::string_view input, std::string_view message) {
  m_bFailed = true;
  json notification = {{"level", "error"}, {"message", TextObject(CCodePage().ToUtf8(message))}};
  if (!input.empty()) {
    notification["locations"] =
        json::array({{{"physicalLocation", PhysicalLocation(input, nullptr, CCodePage())}}});
  }
  m_notifications.push_back(std::move(notification));
}

std::string CSarifLog::Text() const {
  json log = m_log;
  json& run = log["runs"][0];
  run["results"] = m_results;
  json invocation = {{"executionSuccessful", !m_bFailed}};
  if (!m_notifications.empty()) invocation["toolExecutionNotifications"] = m_notifications;
  run["invocations"] = json::array({invocation});
  // Every text was made UTF-8 on its way in; replacing is only a guard.
  return log.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string PathToUriReference(std::string_view path) {
  constexpr std::string_view kKept = "-._~/!$&'()*+,;=@";
  std::string uri;
  for (const char ch : path) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum || kKept.find(ch) != std::string_view::npos) {
      uri.push_back(ch);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      uri.append(escape);
    }
  }
  return uri;
}
