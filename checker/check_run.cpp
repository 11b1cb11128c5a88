#include "checker/check_run.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "checker/protocol.h"
#include "checker/scanner.h"

namespace {

// The first definition in sorted order of each (name, kind), found by hash:
// open addressing over a power-of-two table of definition indices, each slot
// with its hash so that most probes compare no bytes.
class FirstDefinitionIndex {
 public:
  explicit FirstDefinitionIndex(const CLabelList& definitions) : m_definitions(definitions) {
    std::size_t size = 16;
    while (size < 2 * static_cast<std::size_t>(definitions.GetCount())) size *= 2;
    m_slots.assign(size, Slot{});
    m_mask = size - 1;
    // In sorted order, so that the first of equal (name, kind) takes the
    // slot; a later one can never be matched.
    for (int j = 0; j < definitions.GetCount(); ++j) {
      const CLabelEntry& entry = definitions.At(j);
      const std::size_t hash = Hash(entry.name, entry.kind);
      Slot& slot = m_slots[SlotOf(entry.name, entry.kind, hash)];
      if (slot.index < 0) slot = Slot{static_cast<std::uint32_t>(hash), j};
    }
  }

  // The index of the matching definition, or -1.
  int Find(std::string_view name, int kind) const {
    return m_slots[SlotOf(name, kind, Hash(name, kind))].index;
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;  // the low bits of the entry's hash
    int index = -1;
  };

  static std::size_t Hash(std::string_view name, int kind) {
    return std::hash<std::string_view>()(name) ^
           (static_cast<std::size_t>(kind) * 0x9e3779b97f4a7c15ULL);
  }

  // The position of the slot that holds (name, kind), or of the empty slot
  // where it belongs. The table is never more than half full.
  std::size_t SlotOf(std::string_view name, int kind, std::size_t hash) const {
    for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
      const Slot& slot = m_slots[i];
      if (slot.index < 0) return i;
      if (slot.hash == static_cast<std::uint32_t>(hash)) {
        const CLabelEntry& entry = m_definitions.At(slot.index);
        if (entry.kind == kind && entry.name == name) return i;
      }
    }
  }

  const CLabelList& m_definitions;
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
};

}  // namespace

void ResolveReferences(CLabelList& definitions, CLabelList& references) {
  const FirstDefinitionIndex first(definitions);
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    const int match = first.Find(entry.name, entry.kind);
    if (match < 0) continue;
    references.MarkUsed(i);
    definitions.MarkUsed(match);
  }
}

void CCheckRun::RunCheck() {
  m_nErrorCount = 0;
  m_bHaveInputStatus = false;
  // Bytes read from memory have no file on disk that a protocol could
  // replace, so there is nothing to guard.
  if (!m_pInputFile->IsMemory()) {
    m_inputStatus = m_pInputFile->GetStatus();
    m_bHaveInputStatus = true;
  }
  m_pDefinitions = std::make_unique<CLabelList>();
  m_pReferences = std::make_unique<CLabelList>();

  // One reading gives what a definitions pass and a references pass would;
  // the references play no part in sorting and pre-marking definitions.
  ScanLabels(*m_pInputFile, *m_pDefinitions, *m_pReferences, m_codePage);
  m_pDefinitions->Sort(m_codePage);
  for (int j = 0; j < m_pDefinitions->GetCount(); ++j) {
    if (m_pDefinitions->GetKind(j) == kInstrumentDefinitions) m_pDefinitions->MarkUsed(j);
  }

  // Nothing was written to the input file, so a failing close loses nothing.
  m_pInputFile->Abort();
  m_pInputFile.reset();

  ResolveReferences(*m_pDefinitions, *m_pReferences);
}

CCheckRun::ProtocolOutcome CCheckRun::WriteProtocol(CProtocolHost& host) {
  const CFileDialogParams params{false, "Select Protfile", "txt",
                                 OFN_PATHMUSTEXIST,
                                 "Prot File (*.txt)|*.txt||"};
  std::string path;
  const int choice = host.DoSaveDialog(params, path);
  if (choice == IDCANCEL) return ProtocolOutcome::cancelled;
  if (choice != IDOK) path.clear();

  CFileStatus chosen;
  if (m_bHaveInputStatus && CFile::GetStatus(path, chosen) &&
      chosen.IsSameFile(m_inputStatus)) {
    return ProtocolOutcome::sameAsInput;
  }

  // An existing file with content is only replaced with the user's consent.
  // One that cannot be opened for reading counts as absent.
  {
    CFile existing;
    if (existing.Open(path, CFile::modeRead)) {
      const std::uint64_t length = existing.GetLength();
      existing.Abort();
      if (length > 0) {
        if (host.MessageBox("Overwrite existing file?", MB_YESNO) != IDYES)
          return ProtocolOutcome::overwriteRefused;
        CFile::Remove(path);
      }
    }
  }

  m_pProtocolFile = std::make_unique<CStdioFile>();
  if (!m_pProtocolFile->Open(path,
                             CFile::modeCreate | CFile::modeNoTruncate |
                                 CFile::modeReadWrite | CFile::shareExclusive,
                             &m_protocolOpenError)) {
    return ProtocolOutcome::openFailed;
  }
  m_pProtocolFile->SetLength(0);
  m_pProtocolFile->SeekToBegin();

  CStdioFile& file = *m_pProtocolFile;
  m_nErrorCount += EmitProtocol(
      *m_pDefinitions, *m_pReferences, m_strDisplayName,
      [&file](std::string_view text) { file.WriteString(text); });

  m_pProtocolFile->Close();
  m_pProtocolFile.reset();
  host.ShellOpen(path);
  return ProtocolOutcome::written;
}

void CCheckRun::ReleaseFiles() {
  m_pInputFile.reset();
  m_pProtocolFile.reset();
}

void CCheckRun::ReleaseLists() {
  m_pDefinitions.reset();
  m_pReferences.reset();
}
