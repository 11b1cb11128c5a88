#include "lsp/features.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "checker/finding_text.h"
#include "checker/fix/fix_apply.h"
#include "checker/fix/line_diff.h"
#include "checker/scanner.h"
#include "lsp/protocol_values.h"
#include "lsp/server_text.h"

namespace {

Json PositionJson(std::size_t line, std::uint32_t character) {
  return {{"line", line}, {"character", character}};
}

Json RangeJson(const CRange& range) {
  return {{"start", PositionJson(range.start.line, range.start.character)},
          {"end", PositionJson(range.end.line, range.end.character)}};
}

Json LocationOf(const CDocumentView& view, const CPlace& place) {
  return {{"uri", view.uri}, {"range", RangeOf(place, view.encoding)}};
}

// Where `entry`, a definition or a reference of the view's check, stands.
CPlace PlaceOf(const CDocumentView& view, const CLabelEntry& entry) {
  return PlaceIn(view.analysis.Result(), entry);
}

const CLabelList& Definitions(const CDocumentView& view) {
  return *view.analysis.Result().definitions;
}
const CLabelList& References(const CDocumentView& view) {
  return *view.analysis.Result().references;
}

// The name under `at`, if any.
std::optional<CNameHit> HitAt(const CDocumentView& view, const CPosition& at) {
  if (at.line >= view.document.LineCount()) return std::nullopt;
  const std::size_t byte =
      ByteOfUnits(view.document.LineText(at.line), at.character, view.encoding);
  return view.analysis.NameAt(at.line, byte);
}

// The definition a name under the cursor stands for: itself, or the list a
// reference resolves to; -1 for a reference that resolves to none.
int TargetOf(const CDocumentView& view, const CNameHit& hit) {
  if (hit.definition) return hit.index;
  const auto& resolution = view.analysis.Result().resolution;
  return hit.index < static_cast<int>(resolution.size()) ? resolution[hit.index] : -1;
}

const CLabelEntry& EntryOf(const CDocumentView& view, const CNameHit& hit) {
  return hit.definition ? Definitions(view).At(hit.index) : References(view).At(hit.index);
}

// Every reference that resolves to `definition`, and the definition first
// when asked. A reference that resolves to nothing stands with the other
// references of its name and section that resolve to nothing.
std::vector<const CLabelEntry*> Occurrences(const CDocumentView& view, const CNameHit& hit,
                                            bool withDefinition) {
  std::vector<const CLabelEntry*> out;
  const int target = TargetOf(view, hit);
  if (target >= 0) {
    if (withDefinition) out.push_back(&Definitions(view).At(target));
    for (int r : view.analysis.UsesOf(target)) out.push_back(&References(view).At(r));
    return out;
  }
  const CLabelEntry& self = EntryOf(view, hit);
  if (hit.definition) {
    if (withDefinition) out.push_back(&self);
    return out;
  }
  const auto& resolution = view.analysis.Result().resolution;
  const CLabelList& references = References(view);
  for (int r = 0; r < references.GetCount(); ++r) {
    const CLabelEntry& entry = references.At(r);
    if (resolution[r] < 0 && entry.kind == self.kind && entry.name == self.name)
      out.push_back(&entry);
  }
  return out;
}

Json DiagnosticOf(const CDocumentView& view, const CFinding& finding) {
  const FindingRule& rule = finding.Rule();
  Json diagnostic = {
      {"range", RangeOf(finding.place, view.encoding)},
      {"severity", rule.severity == Severity::error     ? DiagnosticSeverity::error
                   : rule.severity == Severity::warning ? DiagnosticSeverity::warning
                                                        : DiagnosticSeverity::information},
      {"code", std::string(rule.id)},
      {"source", "veltrane"},
      {"message", finding.message},
  };
  // Lists and suppressions that nothing needs may be shown faded.
  if (finding.kind == FindingKind::unused || finding.kind == FindingKind::unusedSuppression)
    diagnostic["tags"] = Json::array({DiagnosticTag::unnecessary});
  Json related = Json::array();
  if (finding.kind == FindingKind::duplicate && finding.firstPlace.line > 0) {
    related.push_back({{"location", LocationOf(view, finding.firstPlace)},
                       {"message", FirstDefinedMessage(finding.name)}});
  }
  if (finding.note) {
    const CPlace& place = finding.note->place.line > 0 ? finding.note->place : finding.place;
    related.push_back({{"location", LocationOf(view, place)}, {"message", finding.note->message}});
    // The duplicate's first place is in its message already; the note is
    // not, and without it a "not found" loses its hint.
    if (!view.relatedInformation)
      diagnostic["message"] = finding.message + "\n" + finding.note->message;
  }
  if (!related.empty() && view.relatedInformation)
    diagnostic["relatedInformation"] = std::move(related);
  return diagnostic;
}

// Whether the `only` of a code action request asks for actions of `kind`:
// by its name, or by a kind above it ("source", "source.fixAll"). The
// empty kind asks for every action.
bool Asks(const Json& only, std::string_view kind) {
  return std::any_of(only.begin(), only.end(), [kind](const Json& asked) {
    if (!asked.is_string()) return false;
    const std::string& name = asked.get_ref<const std::string&>();
    return name.empty() || kind == name || (kind.starts_with(name) && kind[name.size()] == '.');
  });
}

// Byte edits of the view's text as a WorkspaceEdit: one versioned
// TextDocumentEdit when the client takes them, else plain changes.
Json WorkspaceEdit(const CDocumentView& view, const std::vector<CEdit>& edits) {
  Json textEdits = Json::array();
  for (const CEdit& edit : edits) {
    const CPosition start = view.document.PositionAt(edit.begin, view.encoding);
    const CPosition end = view.document.PositionAt(edit.end, view.encoding);
    textEdits.push_back({{"range", RangeJson({start, end})}, {"newText", edit.text}});
  }
  if (!view.versionedEdits) return {{"changes", {{view.uri, std::move(textEdits)}}}};
  return {{"documentChanges",
           Json::array({{{"textDocument", {{"uri", view.uri}, {"version", view.document.Version()}}},
                         {"edits", std::move(textEdits)}}})}};
}

}  // namespace

std::vector<CLineChange> NearbyLineChanges(const std::vector<std::string_view>& before,
                                           const std::vector<std::string_view>& after) {
  // Far enough for a fix that removes or adds a few lines.
  constexpr std::size_t kLookAhead = 16;
  std::vector<CLineChange> changes;
  auto add = [&](std::size_t oldBegin, std::size_t oldEnd, std::size_t newBegin, std::size_t newEnd) {
    if (oldBegin == oldEnd && newBegin == newEnd) return;
    if (!changes.empty() && changes.back().oldEnd == oldBegin && changes.back().newEnd == newBegin) {
      changes.back().oldEnd = oldEnd;
      changes.back().newEnd = newEnd;
    } else {
      changes.push_back({oldBegin, oldEnd, newBegin, newEnd});
    }
  };
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < before.size() && j < after.size()) {
    if (before[i] == after[j]) {
      ++i;
      ++j;
      continue;
    }
    // The nearest line the two share again, counting lines skipped on both
    // sides; none within reach: both sides' next lines are one change.
    std::size_t skipOld = std::min(kLookAhead, before.size() - i);
    std::size_t skipNew = std::min(kLookAhead, after.size() - j);
    bool found = false;
    for (std::size_t distance = 1; distance <= 2 * kLookAhead && !found; ++distance) {
      for (std::size_t old = distance > kLookAhead ? distance - kLookAhead : 0;
           old <= std::min(distance, kLookAhead); ++old) {
        const std::size_t added = distance - old;
        if (i + old < before.size() && j + added < after.size() && before[i + old] == after[j + added]) {
          skipOld = old;
          skipNew = added;
          found = true;
          break;
        }
      }
    }
    add(i, i + skipOld, j, j + skipNew);
    i += skipOld;
    j += skipNew;
  }
  add(i, before.size(), j, after.size());
  return changes;
}

namespace {

// The edits that turn the view's text into `fixed`: each run of changed
// lines replaced whole, so that an edit stays small on a large document.
std::vector<CEdit> EditsTo(const CDocumentView& view, std::string_view fixed) {
  const std::string& text = view.document.Text();
  const std::vector<std::string_view> before = SplitLines(text);
  const std::vector<std::string_view> after = SplitLines(fixed);
  auto offsetOf = [](const std::vector<std::string_view>& lines, std::string_view whole,
                     std::size_t line) {
    return line < lines.size() ? static_cast<std::size_t>(lines[line].data() - whole.data())
                               : whole.size();
  };
  std::vector<CEdit> edits;
  for (const CLineChange& change : NearbyLineChanges(before, after)) {
    const std::size_t from = offsetOf(after, fixed, change.newBegin);
    const std::size_t to = offsetOf(after, fixed, change.newEnd);
    edits.push_back(CEdit{offsetOf(before, text, change.oldBegin),
                          offsetOf(before, text, change.oldEnd),
                          std::string(fixed.substr(from, to - from))});
  }
  return edits;
}

// The document with every safe fix applied, by the command line's --fix
// (FixBytes), or nullopt when no fix applies. The rounds start from the
// document's own check, which the diagnostics came from, and let it go
// (where the view allows) before they make another: a large document's
// fix-all holds one check at a time, not three.
std::optional<std::string> SafelyFixed(const CDocumentView& view) {
  const CRuleSelection rules = view.analysis.Rules();
  CFixOutcome outcome = FixBytes(
      view.document.Text(), view.analysis.Result(), view.releaseAnalysis,
      [&rules](std::string_view text) { return CAnalysis::Check(text, rules); }, false);
  if (!outcome.changed) return std::nullopt;
  return std::move(outcome.text);
}

// The fix-all action, or null when there is nothing to fix. The same
// rounds as the command line's --fix, over the same check with the rules
// the document's diagnostics report.
Json FixAll(const CDocumentView& view) {
  if (!view.analysis.IsInstrumentFile()) return nullptr;
  const std::optional<std::string> fixed = SafelyFixed(view);
  if (!fixed || *fixed == view.document.Text()) return nullptr;
  return {{"title", "Fix all safely fixable findings"},
          {"kind", kFixAllKind},
          {"edit", WorkspaceEdit(view, EditsTo(view, *fixed))}};
}

[[noreturn]] void Refuse(std::string why) {
  throw CRequestError{lsp_error::kRequestFailed, std::move(why)};
}

// The definition a rename at `at` renames, or a refusal.
std::pair<CNameHit, int> RenameTarget(const CDocumentView& view, const CPosition& at) {
  const auto hit = HitAt(view, at);
  if (!hit) Refuse(NothingToRename());
  const int target = TargetOf(view, *hit);
  const CLabelEntry& entry = EntryOf(view, *hit);
  if (target < 0) {
    Refuse(NoListToRename(entry.name, SectionHeaderText(entry.kind)));
  }
  if (Definitions(view).At(target).unclosed)
    Refuse(UnnamedListRename());
  return {*hit, target};
}

}  // namespace

CRange RangeIn(const CPlace& place, PositionEncoding encoding) {
  if (place.line <= 0) return {};
  const auto line = static_cast<std::uint32_t>(place.line - 1);
  const std::string_view text = place.lineText;
  const std::size_t begin = std::min<std::size_t>(place.begin, text.size());
  const std::size_t end = std::clamp<std::size_t>(place.end, begin, text.size());
  const std::uint32_t start = UnitsOf(text.substr(0, begin), encoding);
  const std::uint32_t stop = start + UnitsOf(text.substr(begin, end - begin), encoding);
  return {{line, start}, {line, stop}};
}

Json RangeOf(const CPlace& place, PositionEncoding encoding) {
  return RangeJson(RangeIn(place, encoding));
}

void AppendDiagnostics(const CDocumentView& view, std::string& out) {
  const CCheckResult& result = view.analysis.Result();
  // Each diagnostic goes to text as soon as it is made: a document of
  // hundreds of thousands of findings never holds their JSON values at
  // once, only their text.
  out.push_back('[');
  bool first = true;
  auto append = [&](const Json& diagnostic) {
    if (!first) out.push_back(',');
    first = false;
    out += DumpJson(diagnostic);
  };
  // The file's own notes come first, as in every other format: they say
  // how to read the findings after them.
  for (const CNote& note : result.fileNotes) {
    append({{"range", RangeOf(note.place, view.encoding)},
            {"severity", DiagnosticSeverity::information},
            {"source", "veltrane"},
            {"message", note.message}});
  }
  for (const CFinding* finding : result.reported) append(DiagnosticOf(view, *finding));
  out.push_back(']');
}

Json Definition(const CDocumentView& view, const CPosition& at) {
  const auto hit = HitAt(view, at);
  if (!hit) return nullptr;
  const int target = TargetOf(view, *hit);
  if (target < 0) return nullptr;
  return LocationOf(view, PlaceOf(view, Definitions(view).At(target)));
}

Json References(const CDocumentView& view, const CPosition& at, bool includeDeclaration) {
  const auto hit = HitAt(view, at);
  if (!hit) return nullptr;
  Json out = Json::array();
  for (const CLabelEntry* entry : Occurrences(view, *hit, includeDeclaration))
    out.push_back(LocationOf(view, PlaceOf(view, *entry)));
  return out;
}

Json Highlights(const CDocumentView& view, const CPosition& at) {
  const auto hit = HitAt(view, at);
  if (!hit) return nullptr;
  Json out = Json::array();
  for (const CLabelEntry* entry : Occurrences(view, *hit, true))
    out.push_back(
        {{"range", RangeOf(PlaceOf(view, *entry), view.encoding)}, {"kind", DocumentHighlightKind::text}});
  return out;
}

Json Hover(const CDocumentView& view, const CPosition& at) {
  const auto hit = HitAt(view, at);
  if (!hit) return nullptr;
  const CLabelEntry& entry = EntryOf(view, *hit);
  const std::string_view section = SectionHeaderText(entry.kind);
  std::string text;
  if (!hit->definition) {
    const int target = TargetOf(view, *hit);
    if (target >= 0) {
      text = ResolvedReferenceHover(entry.name, section, Definitions(view).At(target).placeLine);
    } else {
      std::vector<std::string_view> notes;
      const CPlace place = PlaceOf(view, entry);
      for (const CFinding& finding : view.analysis.Result().findings) {
        if (finding.kind == FindingKind::notFound && finding.note &&
            finding.place.line == place.line && finding.place.begin == place.begin)
          notes.push_back(finding.note->message);
      }
      text = UnresolvedReferenceHover(entry.name, section, notes);
    }
  } else if (entry.shadowed) {
    const int first = view.analysis.Result().FirstDefinition(entry.name, entry.kind);
    text = ShadowedListHover(entry.name, section,
                             first >= 0 ? Definitions(view).At(first).placeLine : 0);
  } else if (entry.kind == kInstrumentDefinitions) {
    text = InstrumentHover(entry.name, view.analysis.UsesOf(hit->index).size());
  } else {
    text = ListHover(entry.name, section, view.analysis.UsesOf(hit->index).size());
  }
  return {{"contents", {{"kind", "plaintext"}, {"value", text}}},
          {"range", RangeOf(PlaceOf(view, entry), view.encoding)}};
}

Json Symbols(const CDocumentView& view) {
  const CDocument& document = view.document;
  const auto& sections = view.analysis.Sections();
  const CLabelList& definitions = Definitions(view);
  std::vector<const CLabelEntry*> lists;
  for (int d = 0; d < definitions.GetCount(); ++d) {
    if (definitions.At(d).placeLine > 0) lists.push_back(&definitions.At(d));
  }
  std::stable_sort(lists.begin(), lists.end(), [&](const CLabelEntry* a, const CLabelEntry* b) {
    return a->placeLine < b->placeLine;
  });
  auto lineEnd = [&](std::size_t line) {
    return PositionJson(line, UnitsOf(document.LineText(line), view.encoding));
  };
  const std::size_t lastLine = document.LineCount() - 1;
  Json top = Json::array();
  std::size_t next = 0;  // the next list to place
  // Lists stand in the section before them; those before any header stand
  // at the top.
  // The 0-based line a list's name stands in.
  auto lineOf = [](const CLabelEntry* list) {
    return static_cast<std::size_t>(list->placeLine - 1);
  };
  auto addLists = [&](Json& into, std::size_t untilLine) {
    while (next < lists.size() && lineOf(lists[next]) < untilLine) {
      const CLabelEntry& list = *lists[next];
      const std::size_t line = lineOf(&list);
      // A list runs to the line before the next one; two lists can share
      // a line when a long line's second piece is a label line too.
      std::size_t last = untilLine - 1;
      if (next + 1 < lists.size()) {
        const std::size_t nextLine = lineOf(lists[next + 1]);
        last = std::min(last, nextLine > line ? nextLine - 1 : line);
      }
      Json selection = RangeOf(PlaceOf(view, list), view.encoding);
      into.push_back({{"name", list.name.empty() ? std::string("[]") : std::string(list.name)},
                      {"detail", OutlineDetail(list.placeLine)},
                      {"kind", SymbolKind::array},
                      {"range", {{"start", PositionJson(line, 0)}, {"end", lineEnd(std::max(last, line))}}},
                      {"selectionRange", selection}});
      ++next;
    }
  };
  // The 0-based line a header stands in.
  auto headerLine = [&](std::size_t s) { return static_cast<std::size_t>(sections[s].line - 1); };
  addLists(top, sections.empty() ? lastLine + 1 : headerLine(0));
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const std::size_t first = headerLine(s);
    const std::size_t until = s + 1 < sections.size() ? headerLine(s + 1) : lastLine + 1;
    Json children = Json::array();
    addLists(children, until);
    const std::string header(SectionHeaderText(sections[s].kind));
    top.push_back({{"name", header},
                   {"kind", SymbolKind::namespace_},
                   {"range", {{"start", PositionJson(first, 0)}, {"end", lineEnd(std::max(until, first + 1) - 1)}}},
                   {"selectionRange",
                    {{"start", PositionJson(first, 0)},
                     {"end", PositionJson(first, UnitsOf(header, view.encoding))}}},
                   {"children", std::move(children)}});
  }
  return top;
}

Json Completion(const CDocumentView& view, const CPosition& at) {
  Json items = Json::array();
  if (at.line >= view.document.LineCount()) return items;
  const std::string_view line = view.document.LineText(at.line);
  const ReferenceKey* key = FindReferenceKey(line);
  const std::size_t cursor = ByteOfUnits(line, at.character, view.encoding);
  const std::size_t eq = line.find('=');
  if (!key || eq == std::string_view::npos || cursor <= eq) return items;
  const int kind = key->kind == kNoSection ? view.analysis.SectionAt(at.line) : key->kind;
  const Json range = {
      {"start", PositionJson(at.line, UnitsOf(line.substr(0, eq + 1), view.encoding))},
      {"end", PositionJson(at.line, UnitsOf(line, view.encoding))}};
  auto add = [&](std::string_view name, CompletionItemKind itemKind, const std::string& detail) {
    const std::string text(name);
    items.push_back({{"label", text},
                     {"kind", itemKind},
                     {"detail", detail},
                     {"sortText", std::string(1, itemKind == CompletionItemKind::reference ? 'a' : 'b') + text},
                     {"filterText", text},
                     {"textEdit", {{"range", range}, {"newText", text}}}});
  };
  const CLabelList& definitions = Definitions(view);
  for (int d = 0; d < definitions.GetCount(); ++d) {
    const CLabelEntry& list = definitions.At(d);
    if (list.kind != kind || list.shadowed || list.unclosed || list.name.empty()) continue;
    add(list.name, CompletionItemKind::reference,
        ListCompletionDetail(SectionHeaderText(kind), list.placeLine));
  }
  if (key->numberedListsOk) {
    for (const std::string_view name : kNumberedLists)
      add(name, CompletionItemKind::value, NumberedListDetail(name));
  }
  return items;
}

Json PrepareRename(const CDocumentView& view, const CPosition& at) {
  const auto [hit, target] = RenameTarget(view, at);
  const CLabelEntry& entry = EntryOf(view, hit);
  return {{"range", RangeOf(PlaceOf(view, entry), view.encoding)},
          {"placeholder", std::string(entry.name)}};
}

Json Rename(const CDocumentView& view, const CPosition& at, const std::string& newName) {
  const auto [hit, target] = RenameTarget(view, at);
  const CLabelEntry& list = Definitions(view).At(target);
  if (newName.empty()) Refuse(EmptyNewName());
  if (newName.find(']') != std::string::npos) Refuse(BracketInNewName());
  if (newName.find_first_of("\r\n") != std::string::npos) Refuse(LineEndInNewName());
  // Whatever the file's readers would read otherwise than it was typed is
  // refused: the rename would raise a finding where none was.
  const std::size_t first = newName.find_first_not_of(" \t");
  const std::string_view trimmed =
      first == std::string::npos
          ? std::string_view()
          : std::string_view(newName).substr(first, newName.find_last_not_of(" \t") + 1 - first);
  if (IsNumberedListName(trimmed) && NumberedListsName(list.kind)) Refuse(NumberedNewName(trimmed));
  if (std::any_of(newName.begin(), newName.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    Refuse(ControlInNewName());
  if (trimmed.size() != newName.size()) Refuse(BlankAtNewNameEnd());
  if (newName.find(';') != std::string::npos) Refuse(SemicolonInNewName());
  Json edits = Json::array();
  if (newName == list.name) return {{"changes", {{view.uri, edits}}}};
  const int taken = view.analysis.Result().FirstDefinition(newName, list.kind);
  if (taken >= 0) {
    Refuse(NewNameTaken(newName, SectionHeaderText(list.kind), Definitions(view).At(taken).placeLine));
  }
  std::vector<CRange> ranges;
  for (const CLabelEntry* entry : Occurrences(view, hit, true)) {
    const CPlace place = PlaceOf(view, *entry);
    // A line longer than one piece would be read as two, and the name
    // would no longer be what the file has in that line: the guard every
    // fix keeps to.
    const std::size_t length = place.lineText.size() - (place.end - place.begin) + newName.size();
    if (!LineStaysWhole(place.lineText.size(), length)) {
      Refuse(LineTooLongAfterRename(place.line, length, kLongestWholeLine));
    }
    ranges.push_back(RangeIn(place, view.encoding));
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const CRange& a, const CRange& b) { return a.start < b.start; });
  for (const CRange& range : ranges) edits.push_back({{"range", RangeJson(range)}, {"newText", newName}});
  return {{"changes", {{view.uri, edits}}}};
}

Json CodeActions(const CDocumentView& view, const CPosition& from, const CPosition& to,
                 const Json& only, bool invoked) {
  Json actions = Json::array();
  const CRange requested{from, to};
  // One for each diagnostic that has a fix: the findings reported.
  for (const CFinding* reported : view.analysis.Result().reported) {
    if (only.is_array() && !Asks(only, "quickfix")) break;
    const CFinding& finding = *reported;
    if (!finding.fix) continue;
    // Overlap, with touching counting: a cursor just after the name asks
    // about it too.
    if (!RangeIn(finding.place, view.encoding).Touches(requested)) continue;
    Json action = {{"title", finding.fix->title},
                   {"kind", "quickfix"},
                   {"diagnostics", Json::array({DiagnosticOf(view, finding)})},
                   {"edit", WorkspaceEdit(view, finding.fix->edits)}};
    if (finding.fix->safe) action["isPreferred"] = true;
    actions.push_back(std::move(action));
  }
  // Fix-all is offered when asked for, not at every move of the cursor,
  // where an editor asks without `only`: it is costly on a large document.
  // Editors that cannot name a kind (Kate) ask without `only` when the user
  // does; it comes after the quick fixes, which are about the place asked.
  if (only.is_array() ? Asks(only, kFixAllKind) : invoked) {
    if (Json fixAll = FixAll(view); !fixAll.is_null()) actions.push_back(std::move(fixAll));
  }
  return actions;
}
