// The rules that read the resolved lists: BasedOn cycles and order, and
// blanks around names, whose fix reaches every reference to a list.
#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "checker/blanks.h"
#include "checker/finding_text.h"
#include "checker/resolve.h"
#include "checker/rules/lint.h"
#include "checker/scanner.h"

namespace {

// The words of this pass's findings, of their fixes and of their notes.

std::string BasedOnCycleMessage(std::string_view list, std::string_view basedOn) {
  if (list == basedOn) return "List " + Quoted(list) + " is based on itself";
  return "List " + Quoted(list) + " is based on " + Quoted(basedOn) +
         ", which leads back to it";
}

// '"A" (line 3) -> "B" (line 9) -> "A"': each list with the line of its
// BasedOn, back to `last`.
std::string BasedOnChainMessage(const std::vector<std::pair<std::string, int>>& links,
                                std::string_view last) {
  std::string text = "the chain: ";
  for (const auto& [name, line] : links) text += QuotedAt(name, line) + " -> ";
  return text + Quoted(last);
}

std::string BasedOnLaterMessage(std::string_view list, int line) {
  return "BasedOn names " + Quoted(list) + ", which is defined only later, in line " +
         std::to_string(line);
}

std::string BasedOnDeepMessage(std::string_view list, std::string_view basedOn) {
  return "BasedOn names " + Quoted(list) + ", which is itself based on " + Quoted(basedOn) +
         ": a chain more than one level deep";
}

std::string ListDefinedHereMessage(std::string_view list) {
  return "list " + Quoted(list) + " is defined here";
}

std::string BlanksAroundLabelMessage(std::string_view name) {
  return "Label " + Quoted(name) + " has blanks around its name";
}

std::string BlanksAroundReferenceMessage(std::string_view name) {
  return "Reference " + Quoted(name) + " matches its list only with the blanks around it";
}

std::string TrimNameTitle() { return "Remove the blanks from the name and its references"; }

// "note lists", "patch lists", ...: the lists that keys of section `kind` name.
std::string ListsOf(int kind) {
  switch (kind) {
    case kPatchNames: return "patch lists";
    case kNoteNames: return "note lists";
    case kControllerNames: return "controller lists";
    case kRpnNames: return "RPN lists";
    case kNrpnNames: return "NRPN lists";
    default: return "lists";
  }
}

// A run of lists (`first` to `last`, `count` of them) under section `section`
// that keys of section `wanted` use: a header is probably missing above
// line `line`. The note on each such reference points at its list.
std::string MissingSectionHeaderMessage(std::string_view first, std::string_view last, int count,
                                        int section, int wanted, int line) {
  const std::string lists = ListsOf(wanted);
  std::string text =
      count == 1
          ? "List " + Quoted(first) + " is used as " +
                (wanted == kRpnNames || wanted == kNrpnNames ? "an " : "a ") +
                lists.substr(0, lists.size() - 1) + " but stands under "
          : "Lists " + Quoted(first) + " to " + Quoted(last) + " (" + std::to_string(count) +
                " lists) are used as " + lists + " but stand under ";
  text.append(SectionHeaderText(section));
  text.append(": a \"");
  text.append(SectionHeaderText(wanted));
  text.append("\" line is probably missing above line ");
  text.append(std::to_string(line));
  return text;
}

std::string MissingHeaderNoteMessage(std::string_view list, int listLine, int section, int wanted,
                                     int line) {
  return "the list " + QuotedAt(list, listLine) + " stands under " +
         std::string(SectionHeaderText(section)) +
         ": a \"" + std::string(SectionHeaderText(wanted)) +
         "\" line is probably missing above line " + std::to_string(line);
}

std::string InsertHeaderTitle(int section) {
  return "Insert the header " + Quoted(SectionHeaderText(section));
}

bool HasBlanksAround(std::string_view name) {
  return !name.empty() && (IsBlank(name.front()) || IsBlank(name.back()));
}

std::uint64_t OffsetOf(const CPlace& place) { return place.lineOffset + place.begin; }

// Where an entry's name stands in the file: OffsetOf its place, without
// making the place.
std::uint64_t NameOffset(const CLabelEntry& entry) {
  return entry.LineOffset() + entry.placeBegin;
}

CFinding& AddListFinding(std::vector<CFinding>& findings, FindingKind kind, const CPlace& place,
                         std::string_view name, int section, std::string message) {
  CFinding& finding = AddRuleFinding(findings, kind, place, section, std::move(message));
  finding.name = name;
  return finding;
}

// A BasedOn line: list `from` inherits from list `to` (both numbered as
// FindBasedOn numbers them), by reference `reference`.
struct BasedOn {
  int from;
  int to;
  int reference;
};

// The strongly connected components of the BasedOn graph, by definition:
// two lists share a component when each leads to the other.
std::vector<int> Components(int nodes, const std::vector<int>& starts, const std::vector<BasedOn>& edges) {
  std::vector<int> component(static_cast<std::size_t>(nodes), -1);
  std::vector<int> index(static_cast<std::size_t>(nodes), -1);
  std::vector<int> low(static_cast<std::size_t>(nodes), 0);
  std::vector<bool> onStack(static_cast<std::size_t>(nodes), false);
  std::vector<int> stack;
  std::vector<std::pair<int, int>> calls;  // (node, next edge)
  int counter = 0;
  int components = 0;
  for (int root = 0; root < nodes; ++root) {
    if (index[root] >= 0 || starts[root] == starts[root + 1]) continue;
    calls.push_back({root, starts[root]});
    index[root] = low[root] = counter++;
    stack.push_back(root);
    onStack[root] = true;
    while (!calls.empty()) {
      auto& [node, next] = calls.back();
      if (next < starts[node + 1]) {
        const int to = edges[static_cast<std::size_t>(next++)].to;
        if (index[to] < 0) {
          index[to] = low[to] = counter++;
          stack.push_back(to);
          onStack[to] = true;
          calls.push_back({to, starts[to]});
        } else if (onStack[to]) {
          low[node] = std::min(low[node], index[to]);
        }
        continue;
      }
      if (low[node] == index[node]) {
        int member = -1;
        do {
          member = stack.back();
          stack.pop_back();
          onStack[member] = false;
          component[member] = components;
        } while (member != node);
        ++components;
      }
      const int done = node;
      calls.pop_back();
      if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
    }
  }
  return component;
}

class CListLinter {
 public:
  CListLinter(const CRuleSelection& rules, bool notes, const CCheckResult& result,
              const std::vector<CBasedOnOwner>& owners, std::vector<CFinding>& findings)
      : m_rules(rules), m_notes(notes), m_result(result), m_owners(owners), m_findings(findings),
        m_definitions(*result.definitions), m_references(*result.references) {}

  void BasedOnRules();
  void BlanksAroundNames();
  void MissingSectionHeaders(std::vector<CReferenceNote>* notes);

 private:
  // The BasedOn lines that name a list, as edges between the lists they
  // join, numbered as their entries in `lists`.
  std::vector<BasedOn> FindBasedOn(std::vector<const CLabelEntry*>& lists) const;
  std::string Chain(const BasedOn& closing, const std::vector<int>& starts,
                    const std::vector<BasedOn>& edges, const std::vector<int>& component,
                    const std::vector<const CLabelEntry*>& lists) const;
  std::string NameOf(int definition) const {
    return m_result.codePage.ToUtf8(m_definitions.At(definition).name);
  }
  // The names of references before their ";", as programs that cut the
  // comment and keep the blanks read them, with their section; and the
  // names of lists without their blanks, as programs that trim read them,
  // with how many lists have each.
  std::unordered_set<std::string> CutNames() const;
  std::unordered_map<std::string, int> TrimmedNames() const;
  std::optional<CFix> TrimFix(int definition, const std::unordered_set<std::string>& cutNames,
                              const std::unordered_map<std::string, int>& trimmedNames,
                              const std::vector<int>& usesStart,
                              const std::vector<int>& uses);
  // Whether a header of section `wanted` above lists[first] moves the
  // lists [first, end) of block `block` and changes nothing else.
  bool MovesCleanly(const std::vector<int>& lists, std::size_t first, std::size_t end,
                    std::ptrdiff_t block, int wanted) const;

  const CRuleSelection& m_rules;
  const bool m_notes;
  const CCheckResult& m_result;
  const std::vector<CBasedOnOwner>& m_owners;
  std::vector<CFinding>& m_findings;
  const CLabelList& m_definitions;
  const CLabelList& m_references;
};

std::vector<BasedOn> CListLinter::FindBasedOn(std::vector<const CLabelEntry*>& nodes) const {
  // The lists that BasedOn lines join, numbered as they come.
  std::unordered_map<const CLabelEntry*, int> ids;
  const auto id = [&](const CLabelEntry* list) {
    const auto [it, added] = ids.try_emplace(list, static_cast<int>(nodes.size()));
    if (added) nodes.push_back(list);
    return it->second;
  };
  std::vector<BasedOn> edges;
  for (const CBasedOnOwner& basedOn : m_owners) {
    const int to = m_result.resolution[static_cast<std::size_t>(basedOn.reference)];
    if (to < 0) continue;
    const int from = id(basedOn.owner);
    edges.push_back({from, id(&m_definitions.At(to)), basedOn.reference});
  }
  return edges;
}

std::string CListLinter::Chain(const BasedOn& closing, const std::vector<int>& starts,
                               const std::vector<BasedOn>& edges, const std::vector<int>& component,
                               const std::vector<const CLabelEntry*>& lists) const {
  const auto nameOf = [&](int node) {
    return m_result.codePage.ToUtf8(lists[static_cast<std::size_t>(node)]->name);
  };
  // The shortest way back from the list named to the list that names it,
  // within their component.
  std::unordered_map<int, int> via;  // list -> the edge that reached it
  std::vector<int> queue = {closing.to};
  via[closing.to] = -1;
  for (std::size_t i = 0; i < queue.size() && !via.count(closing.from); ++i) {
    const int node = queue[i];
    for (int e = starts[node]; e < starts[node + 1]; ++e) {
      const int to = edges[static_cast<std::size_t>(e)].to;
      if (component[to] != component[node] || via.count(to)) continue;
      via[to] = e;
      queue.push_back(to);
    }
  }
  std::vector<const BasedOn*> path;
  for (int node = closing.from; node != closing.to && via.count(node) && via[node] >= 0;
       node = edges[static_cast<std::size_t>(via[node])].from)
    path.push_back(&edges[static_cast<std::size_t>(via[node])]);
  path.push_back(&closing);
  std::reverse(path.begin(), path.end());
  std::vector<std::pair<std::string, int>> links;
  for (const BasedOn* edge : path)
    links.push_back({nameOf(edge->from), m_references.PlaceOf(edge->reference).line});
  return BasedOnChainMessage(links, nameOf(closing.from));
}

void CListLinter::BasedOnRules() {
  if (!ChecksBasedOn(m_rules)) return;
  const bool cycles = m_rules.Has(FindingKind::basedOnCycle);
  const bool order = m_rules.Has(FindingKind::basedOnOrder);
  std::vector<const CLabelEntry*> lists;
  std::vector<BasedOn> edges = FindBasedOn(lists);
  if (edges.empty()) return;
  const auto nameOf = [&](int node) {
    return m_result.codePage.ToUtf8(lists[static_cast<std::size_t>(node)]->name);
  };
  const int nodes = static_cast<int>(lists.size());
  std::vector<BasedOn> byFrom = edges;
  std::stable_sort(byFrom.begin(), byFrom.end(),
                   [](const BasedOn& a, const BasedOn& b) { return a.from < b.from; });
  std::vector<int> starts(static_cast<std::size_t>(nodes) + 1, 0);
  for (const BasedOn& edge : byFrom) ++starts[edge.from + 1];
  std::partial_sum(starts.begin(), starts.end(), starts.begin());
  const std::vector<int> component = Components(nodes, starts, byFrom);

  for (const BasedOn& edge : edges) {
    const CLabelEntry& reference = m_references.At(edge.reference);
    const CLabelEntry& list = *lists[static_cast<std::size_t>(edge.to)];
    const bool inCycle = component[edge.from] >= 0 && component[edge.from] == component[edge.to];
    const bool later = NameOffset(list) > NameOffset(reference);
    const bool deep = starts[edge.to] != starts[edge.to + 1];
    // Most BasedOn lines are fine: their places are made only for a finding.
    if (inCycle ? !cycles : !order || (!later && !deep)) continue;
    const CPlace place = m_references.PlaceOf(reference);
    const CPlace target = m_definitions.PlaceOf(list);
    if (inCycle) {
      CFinding& finding =
          AddListFinding(m_findings, FindingKind::basedOnCycle, place, reference.name, reference.kind,
                         BasedOnCycleMessage(nameOf(edge.from), nameOf(edge.to)));
      if (m_notes)
        finding.note = MakeNote(NoteKind::basedOnChain, target, reference.kind,
                                Chain(edge, starts, byFrom, component, lists));
      continue;
    }
    CFinding& finding = AddListFinding(
        m_findings, FindingKind::basedOnOrder, place, reference.name, reference.kind,
        later ? BasedOnLaterMessage(nameOf(edge.to), target.line)
              : BasedOnDeepMessage(nameOf(edge.to),
                                   nameOf(byFrom[static_cast<std::size_t>(starts[edge.to])].to)));
    if (m_notes)
      finding.note = MakeNote(NoteKind::firstDefinition, target, reference.kind,
                              ListDefinedHereMessage(nameOf(edge.to)));
  }
}

std::string CutNameKey(int kind, std::string_view name) {
  return std::to_string(kind) + ':' + std::string(name);
}

std::unordered_map<std::string, int> CListLinter::TrimmedNames() const {
  std::unordered_map<std::string, int> names;
  for (int d = 0; d < m_definitions.GetCount(); ++d) {
    const CLabelEntry& label = m_definitions.At(d);
    ++names[CutNameKey(label.kind, TrimBlanks(label.name))];
  }
  return names;
}

std::unordered_set<std::string> CListLinter::CutNames() const {
  std::unordered_set<std::string> names;
  for (int r = 0; r < m_references.GetCount(); ++r) {
    const CLabelEntry& reference = m_references.At(r);
    const std::size_t semicolon = m_result.codePage.Find(reference.name, ';');
    if (semicolon != std::string_view::npos)
      names.insert(CutNameKey(reference.kind, reference.name.substr(0, semicolon)));
  }
  return names;
}

std::optional<CFix> CListLinter::TrimFix(int definition, const std::unordered_set<std::string>& cutNames,
                                         const std::unordered_map<std::string, int>& trimmedNames,
                                         const std::vector<int>& usesStart,
                                         const std::vector<int>& uses) {
  const CLabelEntry& label = m_definitions.At(definition);
  const std::string_view name = label.name;
  const std::string_view trimmed = TrimBlanks(name);
  if (trimmed.empty()) return std::nullopt;
  // A reference that programs cutting its comment read as this very name
  // keeps it, and would name nothing once the label is trimmed.
  if (cutNames.count(CutNameKey(label.kind, name))) return std::nullopt;
  // Nor one of several lists that programs trimming blanks read as one
  // name: programs that do not would then find this one where they found
  // none, and those that do another.
  if (trimmedNames.at(CutNameKey(label.kind, trimmed)) > 1) return std::nullopt;
  // Nor is one of two lists of that name: where the last list wins, the
  // other would take its references.
  for (const int step : {-1, 1}) {
    for (int j = definition + step; j >= 0 && j < m_definitions.GetCount(); j += step) {
      const CLabelEntry& other = m_definitions.At(j);
      if (other.name != name) break;
      if (other.kind == label.kind) return std::nullopt;
    }
  }
  const auto first = static_cast<std::size_t>(trimmed.data() - name.data());
  const std::size_t end = first + trimmed.size();
  const int other = m_result.FirstDefinition(trimmed, label.kind);
  if (other >= 0 && other != definition) return std::nullopt;
  CFix fix{true, TrimNameTitle(), {}};
  auto trim = [&](const CLabelList& list, int index) {
    // Only a line that is one piece, read alike by every program: a longer
    // one is read in pieces, which a shorter one would cut elsewhere, and
    // one with a lone CR is one line to some programs and two to others.
    const CPlace place = list.PlaceOf(index);
    std::string_view piece = list.At(index).Text();
    if (piece.ends_with('\n')) piece.remove_suffix(1);
    if (piece.ends_with('\r')) piece.remove_suffix(1);
    if (!place.Holds(name) || piece != place.lineText) return false;
    const std::uint64_t begin = OffsetOf(place);
    if (first > 0) fix.edits.push_back({begin, begin + first, ""});
    if (end < name.size()) fix.edits.push_back({begin + end, begin + name.size(), ""});
    return true;
  };
  if (!trim(m_definitions, definition)) return std::nullopt;
  for (int u = usesStart[definition]; u < usesStart[definition + 1]; ++u)
    if (!trim(m_references, uses[static_cast<std::size_t>(u)])) return std::nullopt;
  std::sort(fix.edits.begin(), fix.edits.end(),
            [](const CEdit& a, const CEdit& b) { return a.begin < b.begin; });
  return fix;
}

void CListLinter::BlanksAroundNames() {
  if (!m_rules.Has(FindingKind::blanksAroundName)) return;
  std::vector<int> blankLabels;
  for (int d = 0; d < m_definitions.GetCount(); ++d)
    if (HasBlanksAround(m_definitions.At(d).name)) blankLabels.push_back(d);
  if (blankLabels.empty()) return;
  // The references to each list, for the fix that trims them all.
  const CUses index = IndexUses(m_result.resolution, m_definitions.GetCount());
  const std::vector<int>& usesStart = index.starts;
  const std::vector<int>& uses = index.uses;

  std::unordered_map<int, std::optional<CFix>> fixes;
  const std::unordered_set<std::string> cutNames = CutNames();
  const std::unordered_map<std::string, int> trimmedNames = TrimmedNames();
  for (const int d : blankLabels) {
    const CLabelEntry& label = m_definitions.At(d);
    std::optional<CFix>& fix = fixes[d] = TrimFix(d, cutNames, trimmedNames, usesStart, uses);
    CFinding& finding = AddListFinding(m_findings, FindingKind::blanksAroundName,
                                       m_definitions.PlaceOf(d), label.name, label.kind,
                                       BlanksAroundLabelMessage(NameOf(d)));
    finding.fix = fix;
    for (int u = usesStart[d]; u < usesStart[d + 1]; ++u) {
      const int r = uses[static_cast<std::size_t>(u)];
      const CLabelEntry& reference = m_references.At(r);
      CFinding& use = AddListFinding(m_findings, FindingKind::blanksAroundName,
                                     m_references.PlaceOf(r), reference.name, reference.kind,
                                     BlanksAroundReferenceMessage(NameOf(d)));
      use.fix = fix;
    }
  }
}

bool IsBasedOn(const CLabelEntry& reference) { return reference.Text().starts_with(kBasedOnKey); }

// A reference not found whose name is that of a list of another section.
struct OtherUse {
  int definition;
  int reference;
  int wanted;  // the section the reference wants
};

bool CListLinter::MovesCleanly(const std::vector<int>& lists, std::size_t first, std::size_t end,
                               std::ptrdiff_t block, int wanted) const {
  const int section = m_definitions.At(lists[first]).kind;
  // RPN and NRPN numbers run higher than those of the other lists.
  const bool wider = section == kRpnNames || section == kNrpnNames;
  if (wider && wanted != kRpnNames && wanted != kNrpnNames) return false;
  std::vector<bool> moved(static_cast<std::size_t>(m_definitions.GetCount()), false);
  for (std::size_t i = first; i < end; ++i) {
    const CLabelEntry& list = m_definitions.At(lists[i]);
    // A list of that name in the new section would make one a duplicate.
    if (m_result.FirstDefinition(list.name, wanted) >= 0) return false;
    moved[static_cast<std::size_t>(lists[i])] = true;
  }
  // A BasedOn between a list that moves and one that stays would name a
  // list of another section.
  const int from = m_definitions.At(lists[first]).placeLine;
  const auto& headers = m_result.sections;
  const int to = static_cast<std::size_t>(block) < headers.size()
                     ? headers[static_cast<std::size_t>(block)].line
                     : std::numeric_limits<int>::max();
  for (int r = 0; r < m_references.GetCount(); ++r) {
    const CLabelEntry& reference = m_references.At(r);
    const int d = m_result.resolution[static_cast<std::size_t>(r)];
    if (d < 0 || !IsBasedOn(reference)) continue;
    const bool inside = reference.placeLine >= from && reference.placeLine < to;
    if (inside != moved[static_cast<std::size_t>(d)]) return false;
  }
  return true;
}

void CListLinter::MissingSectionHeaders(std::vector<CReferenceNote>* notes) {
  if (!m_rules.Has(FindingKind::missingSectionHeader)) return;
  // A list that a key of its own section uses stays where it is; BasedOn
  // lines move with the lists they stand in, so they count for neither.
  std::vector<OtherUse> uses;
  for (int r = 0; r < m_references.GetCount(); ++r) {
    const CLabelEntry& reference = m_references.At(r);
    // A list without a name is no list that anything means.
    if (m_result.resolution[static_cast<std::size_t>(r)] >= 0 || IsBasedOn(reference) ||
        reference.kind < kPatchNames || reference.kind > kNrpnNames || reference.name.empty())
      continue;
    for (int section = kNoSection; section <= kNrpnNames; ++section) {
      if (section == reference.kind) continue;
      const int d = m_result.FirstDefinition(reference.name, section);
      if (d >= 0) uses.push_back({d, r, reference.kind});
    }
  }
  if (uses.empty()) return;
  std::vector<bool> ownUse(static_cast<std::size_t>(m_definitions.GetCount()), false);
  for (int r = 0; r < m_references.GetCount(); ++r) {
    const CLabelEntry& reference = m_references.At(r);
    if (IsBasedOn(reference)) continue;
    const int d = m_result.resolution[static_cast<std::size_t>(r)];
    if (d >= 0) {
      ownUse[static_cast<std::size_t>(d)] = true;
      continue;
    }
    // A key that programs cutting its comment, or trimming its blanks, read
    // as a list of its own section uses that list too: a header that moved
    // it would take it from them.
    const std::string_view cut = CutComment(reference.name, m_result.codePage);
    for (const std::string_view reading : {cut, TrimEndBlanks(cut), TrimBlanks(cut)}) {
      const int loose = m_result.FirstDefinition(reading, reference.kind);
      if (loose >= 0) ownUse[static_cast<std::size_t>(loose)] = true;
    }
  }
  std::unordered_map<int, std::vector<const OtherUse*>> usesOf;
  for (const OtherUse& use : uses) usesOf[use.definition].push_back(&use);

  // The name lists in file order, each with the block of lines between two
  // section headers it stands in.
  const std::vector<CSectionHeader>& headers = m_result.sections;
  const auto blockOf = [&](const CLabelEntry& list) {
    return std::upper_bound(headers.begin(), headers.end(), list.placeLine,
                            [](int line, const CSectionHeader& header) { return line < header.line; }) -
           headers.begin();
  };
  std::vector<int> lists;
  for (int d = 0; d < m_definitions.GetCount(); ++d)
    if (m_definitions.At(d).kind <= kNrpnNames) lists.push_back(d);
  std::sort(lists.begin(), lists.end(), [&](int a, int b) {
    return NameOffset(m_definitions.At(a)) < NameOffset(m_definitions.At(b));
  });
  for (std::size_t begin = 0, end = 0; begin < lists.size(); begin = end) {
    const auto block = blockOf(m_definitions.At(lists[begin]));
    end = begin + 1;
    while (end < lists.size() && blockOf(m_definitions.At(lists[end])) == block) ++end;
    // The lists after the last one a key of their own section uses: a
    // header above the first of them that others use moves them all.
    std::size_t first = begin;
    for (std::size_t i = begin; i < end; ++i)
      if (ownUse[static_cast<std::size_t>(lists[i])]) first = i + 1;
    while (first < end && !usesOf.count(lists[first])) ++first;
    if (first == end) continue;
    int wanted = kNoSection;
    int count = 0;
    bool oneKind = true;
    for (std::size_t i = first; i < end; ++i) {
      const auto it = usesOf.find(lists[i]);
      if (it == usesOf.end()) continue;
      for (const OtherUse* use : it->second) {
        oneKind = oneKind && (wanted == kNoSection || wanted == use->wanted);
        wanted = use->wanted;
        ++count;
      }
    }
    if (!oneKind || count < 2) continue;
    const int d = lists[first];
    const CLabelEntry& label = m_definitions.At(d);
    const CPlace place = m_definitions.PlaceOf(d);
    CFinding& finding = AddListFinding(
        m_findings, FindingKind::missingSectionHeader, place, label.name, label.kind,
        MissingSectionHeaderMessage(NameOf(d), NameOf(lists[end - 1]),
                                    static_cast<int>(end - first), label.kind, wanted,
                                    place.line));
    // The header goes in as a line of its own before the label's, which
    // must start its line for that, and only where it changes nothing but
    // the section of the lists it moves.
    if (place.begin == 1 && place.Holds(label.name) &&
        MovesCleanly(lists, first, end, block, wanted)) {
      std::string header(SectionHeaderText(wanted));
      header.append(m_result.lineEnd);
      finding.fix = CFix{false, InsertHeaderTitle(wanted),
                         {{place.lineOffset, place.lineOffset, std::move(header)}}};
    }
    if (!notes) continue;
    for (std::size_t i = first; i < end; ++i) {
      const auto it = usesOf.find(lists[i]);
      if (it == usesOf.end()) continue;
      for (const OtherUse* use : it->second)
        notes->push_back({use->reference,
                          MakeNote(NoteKind::missingHeader, place, label.kind,
                                   MissingHeaderNoteMessage(
                                       NameOf(lists[i]), m_definitions.PlaceOf(lists[i]).line,
                                       label.kind, wanted, place.line))});
    }
  }
}

}  // namespace

bool ChecksBasedOn(const CRuleSelection& rules) {
  return rules.Reads(RulePass::listsBasedOn);
}

std::vector<CBasedOnOwner> FindBasedOnOwners(const CLabelList& definitions,
                                             const CLabelList& references) {
  // Both lists in file order: one walk through each.
  std::vector<CBasedOnOwner> owners;
  const CLabelEntry* last = nullptr;
  int d = 0;
  for (int r = 0; r < references.GetCount(); ++r) {
    const CLabelEntry& reference = references.At(r);
    if (reference.kind == kNoSection || !IsBasedOn(reference)) continue;
    const std::uint64_t at = NameOffset(reference);
    for (; d < definitions.GetCount() && NameOffset(definitions.At(d)) < at; ++d)
      last = &definitions.At(d);
    // A header of another section between them ends the label's list.
    if (last && last->kind == reference.kind) owners.push_back({r, last});
  }
  return owners;
}

void LintLists(const CRuleSelection& rules, bool notes, const CCheckResult& result,
               const std::vector<CBasedOnOwner>& owners, std::vector<CFinding>& findings,
               std::vector<CReferenceNote>* referenceNotes) {
  CListLinter linter(rules, notes, result, owners, findings);
  linter.BasedOnRules();
  linter.BlanksAroundNames();
  linter.MissingSectionHeaders(notes ? referenceNotes : nullptr);
}
