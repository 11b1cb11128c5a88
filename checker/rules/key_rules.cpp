// The line rules that read the key lines of instruments: malformed,
// misspelled, unknown and repeated keys, comments after values, BankSelMethod
// after Patch, gaps inside an instrument, drum maps at note 0.
#include "checker/rules/line_linter.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "checker/blanks.h"
#include "checker/finding_text.h"
#include "checker/fix/reference_fix.h"
#include "checker/scanner.h"

namespace line_pass {

namespace {

// The words of this pass's findings, of their fixes and of their notes.

std::string MalformedKeyMessage(MalformedKeyReason reason, std::string_view key,
                                std::string_view value) {
  switch (reason) {
    case MalformedKeyReason::brackets:
      if (key == kPatchKey) return "Malformed key: Patch takes one bank, Patch[BANK]=";
      if (key == kKeyKey || key == "Drum")
        return "Malformed key: " + std::string(key) + " takes a bank and a program, " +
               std::string(key) + "[BANK,PROGRAM]=";
      return "Malformed key: " + std::string(key) + " takes no brackets, " + std::string(key) + "=";
    case MalformedKeyReason::noEquals:
      return "Malformed key: " + Quoted(key) + " has no \"=\"";
    case MalformedKeyReason::bank:
      return "Malformed key: the bank of " + std::string(key) + " is neither * nor 0..16383";
    case MalformedKeyReason::program:
      return "Malformed key: the program of " + std::string(key) + " is neither * nor 0..127";
    case MalformedKeyReason::bankBlank:
    case MalformedKeyReason::programBlank:
      return "Malformed key: a blank inside the brackets of " + std::string(key) +
             " makes its " + (reason == MalformedKeyReason::bankBlank ? "bank" : "program") +
             " no number for programs; remove the blank";
    case MalformedKeyReason::drumValue:
      return "Drum is set to " + Quoted(value) + ", neither 0 nor 1";
    case MalformedKeyReason::bankSelMethodValue:
      return "BankSelMethod is set to " + Quoted(value) + ", not 0..3";
    case MalformedKeyReason::switchValue:
      return std::string(key) + " is set to " + Quoted(value) + ", neither 0 nor 1";
  }
  return {};
}

std::string MisspelledKeyMessage(std::string_view key, std::string_view likely) {
  return "Unknown key " + Quoted(key) + ": most likely " + Quoted(likely) +
         ", which the instrument lacks in every program";
}

std::string UnknownKeyMessage(std::string_view key) {
  return "Unknown key " + Quoted(key) + ": most programs ignore it";
}

std::string DuplicateKeyMessage(std::string_view key, int firstLine) {
  return "Key " + std::string(key) + " already set in line " + std::to_string(firstLine) +
         ": programs disagree which one wins";
}

std::string FirstKeyMessage(std::string_view key) {
  return "key " + std::string(key) + " is first set here";
}

std::string CommentAfterValueMessage(std::string_view key) {
  return "Comment after the value of " + std::string(key) +
         ": some programs keep it as part of the value";
}

std::string BankSelectAfterPatchMessage(int firstPatchLine) {
  return "BankSelMethod after the instrument's Patch lines (the first in line " +
         std::to_string(firstPatchLine) + "): one program applies it only to later ones";
}

// `comment`: the gap's first line, where the finding stands, is a comment
// line rather than a blank one.
std::string GapInInstrumentMessage(std::string_view instrument, bool comment) {
  return std::string(comment ? "Comment line" : "Blank line") + " inside instrument " +
         Quoted(instrument) + ": one program stops reading the instrument here";
}

std::string DrumZeroMessage() {
  return "Drum[...]=0: one program counts every Drum line as a drum";
}

std::string MoveBankSelectTitle() { return "Move BankSelMethod above the first Patch line"; }

std::string RemoveBlankLinesTitle() { return "Remove the blank lines"; }

std::string RenameKeyTitle(std::string_view key) { return "Change the key to " + Quoted(key); }

}  // namespace

void CLineLinter::CloseInstrument() {
  if (!m_drumZeros.empty()) ReportDrumZeros();
  // Clearing an empty set still clears its buckets.
  if (!m_drumOnes.empty()) m_drumOnes.clear();
  m_keys.Clear();
  m_firstPatchOffset.reset();
  m_bankSelectAfterPatch = false;
  m_gap.reset();
}

void CLineLinter::ReportDrumZeros() {
  const auto setByWider = [this](std::uint32_t drum) {
    const std::uint32_t bank = drum >> 8;
    const std::uint32_t program = drum & 0xFF;
    const auto set = [&](std::uint32_t b, std::uint32_t p) {
      return (b != bank || p != program) && m_drumOnes.count(b << 8 | p) > 0;
    };
    return set(bank, kAnyProgram) || set(kAnyBank, program) || set(kAnyBank, kAnyProgram);
  };
  for (const DrumZero& zero : m_drumZeros) {
    if (setByWider(zero.drum)) continue;
    CPlace place;
    place.line = zero.line;
    place.lineOffset = zero.lineOffset;
    place.end = zero.end;
    place.lineText = Keep(m_out, ReadAgain(zero.lineOffset, zero.lineTextSize));
    AddRuleFinding(m_out, FindingKind::drumZero, place, m_section, DrumZeroMessage());
  }
  m_drumZeros.clear();
}

void CLineLinter::ValueComment(const CSourceLine& line, const KeyLine& key) {
  if (!key.equals || !m_rules.Has(FindingKind::commentAfterValue)) return;
  const std::size_t valueBegin = *key.equals + 1;
  const std::size_t semicolon = m_codePage.Find(key.value, ';');
  if (semicolon == std::string_view::npos) return;
  const std::size_t at = valueBegin + semicolon;
  CFinding& finding = Add(FindingKind::commentAfterValue, line, at, line.text.size(),
                          CommentAfterValueMessage(m_codePage.ToUtf8(key.name)));
  if (line.length != line.text.size() || line.hasLoneCr) return;
  // Above the label line, where no program reads the comment as a gap
  // inside the instrument; it says which key it was written after.
  std::string comment = CommentLineAbove(line.text.substr(0, *key.equals), line.text.substr(at + 1));
  if (comment.size() > kLongestWholeLine) return;
  comment.append(m_labelEnding);
  const std::size_t keep = TrimEndBlanks(line.text.substr(0, at)).size();
  finding.fix = CFix{true, MoveCommentTitle(),
                     {{m_labelOffset, m_labelOffset, std::move(comment)},
                      {line.offset + keep, line.offset + line.text.size(), ""}}};
}

void CLineLinter::KnownKeyLine(const CSourceLine& line, const KeyLine& key) {
  const std::string_view value = TrimEndBlanks(CutComment(key.value, m_codePage));
  const std::size_t valueBegin = key.equals ? *key.equals + 1 : line.text.size();
  std::optional<MalformedKeyReason> malformed = key.malformed;
  const Key which = key.known->key;
  // Any BankSelMethod line, well written or not, after the first Patch line.
  const bool bankSelectBefore = m_bankSelectAfterPatch;
  if (which == Key::bankSelMethod && m_firstPatchOffset) m_bankSelectAfterPatch = true;
  if (!malformed) {
    if (which == Key::drum && value != "0" && value != "1") malformed = MalformedKeyReason::drumValue;
    if (which == Key::bankSelMethod && (value.size() != 1 || value[0] < '0' || value[0] > '3'))
      malformed = MalformedKeyReason::bankSelMethodValue;
    if ((which == Key::useNotesAsControllers || which == Key::usesNotesAsControllers) &&
        value != "0" && value != "1")
      malformed = MalformedKeyReason::switchValue;
  }
  if (malformed) {
    if (m_rules.Has(FindingKind::malformedKey)) {
      const bool aboutValue = *malformed >= MalformedKeyReason::drumValue;
      const std::size_t begin = aboutValue ? valueBegin : 0;
      const std::size_t end = aboutValue ? valueBegin + value.size() : valueBegin - (key.equals ? 1 : 0);
      Add(FindingKind::malformedKey, line, begin, end,
          MalformedKeyMessage(*malformed, m_codePage.ToUtf8(key.name), m_codePage.ToUtf8(value)));
    }
    ValueComment(line, key);
    return;
  }
  if (which == Key::drum && m_rules.Has(FindingKind::drumZero)) {
    const std::uint32_t drum = key.identity & 0xFFFFFF;
    if (value == "0") {
      const CPlace place = line.PlaceOf(0, line.text.size());
      m_drumZeros.push_back({drum, place.line, place.lineOffset, place.end,
                             static_cast<std::uint32_t>(place.lineText.size())});
    } else {
      m_drumOnes.insert(drum);
    }
  }
  if (which == Key::patch && !m_firstPatchOffset) {
    m_firstPatchOffset = m_blockStart;
    m_firstPatchLine = line.physicalLine;
  }
  if (which == Key::bankSelMethod && m_firstPatchOffset &&
      m_rules.Has(FindingKind::bankSelectAfterPatch)) {
    CFinding& finding = Add(FindingKind::bankSelectAfterPatch, line, 0, key.name.size(),
                            NamingLine([firstLine = m_firstPatchLine](int shift) {
                              return BankSelectAfterPatchMessage(firstLine + shift);
                            }));
    // A line with suppression comments above it stays: they would either
    // stay behind, silencing another line, or come along and stand as a
    // gap among the keys, where one program stops reading the instrument.
    // So does one after another BankSelMethod line below the first Patch
    // line, until that one has moved.
    if (line.length == line.text.size() && m_blockStart == line.offset && !bankSelectBefore) {
      std::string moved(line.text);
      moved.append(line.ending.empty() ? m_out.lineEnd : line.ending);
      finding.fix = CFix{true, MoveBankSelectTitle(),
                         {{*m_firstPatchOffset, *m_firstPatchOffset, std::move(moved)},
                          {line.offset, line.EndOffset(), ""}}};
    }
  }
  if (m_rules.Has(FindingKind::duplicateKey)) {
    const auto [index, added] = m_keys.Insert(key.identity);
    const std::size_t keyEnd = key.equals ? *key.equals : line.text.size();
    if (added) {
      if (m_keyPlaces.size() <= index) m_keyPlaces.resize(index + 1);
      Remembered& first = m_keyPlaces[index];
      if (m_notes) first.Set(line.PlaceOf(0, keyEnd));
      first.line = line.physicalLine;
    } else {
      const Remembered& first = m_keyPlaces[index];
      const std::string identity = IdentityText(key.identity);
      CFinding& finding = Add(FindingKind::duplicateKey, line, 0, keyEnd,
                              NamingLine([identity, firstLine = first.line](int shift) {
                                return DuplicateKeyMessage(identity, firstLine + shift);
                              }));
      if (m_notes)
        finding.note = MakeNote(NoteKind::firstKey, first.PlaceIn(m_out),
                                FirstKeyMessage(identity));
    }
  }
  ValueComment(line, key);
}

void CLineLinter::InstrumentLine(const CSourceLine& line, bool blank, bool comment) {
  if (blank || comment) {
    if (!m_gap) {
      m_gap.emplace();
      m_gap->place.Set(line.PlaceOf(0, line.text.size()));
      m_gap->begin = line.offset;
      m_gap->firstComment = comment;
    }
    m_gap->blankOnly = m_gap->blankOnly && blank && line.length == line.text.size();
    m_gap->end = line.EndOffset();
    return;
  }
  if (m_gap) {
    if (m_rules.Has(FindingKind::gapInInstrument)) {
      CFinding& finding = AddRuleFinding(
          m_out, FindingKind::gapInInstrument, m_gap->place.PlaceIn(m_out), m_section,
          GapInInstrumentMessage(m_codePage.ToUtf8(m_listName), m_gap->firstComment));
      if (m_gap->blankOnly)
        finding.fix = CFix{true, RemoveBlankLinesTitle(), {{m_gap->begin, m_gap->end, ""}}};
    }
    m_gap.reset();
  }
  const KeyLine key = ReadKeyLine(line.text, m_codePage);
  if (key.known) {
    KnownKeyLine(line, key);
    return;
  }
  const std::size_t nameEnd = key.name.size();
  if (const KnownKey* likely = LikelyKey(key.name)) {
    if (m_rules.Has(FindingKind::misspelledKey)) {
      CFinding& finding = Add(FindingKind::misspelledKey, line, 0, nameEnd,
                              MisspelledKeyMessage(m_codePage.ToUtf8(key.name), likely->name));
      finding.fix = CFix{false, RenameKeyTitle(likely->name),
                         {{line.offset, line.offset + nameEnd, std::string(likely->name)}}};
    }
    return;
  }
  if (m_rules.Has(FindingKind::unknownKey)) {
    Add(FindingKind::unknownKey, line, 0, std::max<std::size_t>(nameEnd, 1),
        UnknownKeyMessage(m_codePage.ToUtf8(key.name.empty() ? line.text.substr(0, 40) : key.name)));
  }
}

}  // namespace line_pass
