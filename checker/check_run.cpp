#include "checker/check_run.h"

#include <functional>
#include <string_view>
#include <unordered_map>

#include "checker/protocol.h"
#include "checker/scanner.h"

namespace {

struct NameAndKind {
  std::string_view name;
  int kind;
  bool operator==(const NameAndKind&) const = default;
};

struct NameAndKindHash {
  std::size_t operator()(const NameAndKind& key) const {
    return std::hash<std::string_view>()(key.name) ^
           (static_cast<std::size_t>(key.kind) * 0x9e3779b97f4a7c15ULL);
  }
};

}  // namespace

void ResolveReferences(CLabelList& definitions, CLabelList& references) {
  // Index each (name, kind) by its first definition in sorted order; a later
  // definition with the same name and kind can never be matched.
  std::unordered_map<NameAndKind, int, NameAndKindHash> first;
  first.reserve(static_cast<std::size_t>(definitions.GetCount()));
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    first.try_emplace(NameAndKind{entry.name, entry.kind}, j);
  }
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    auto match = first.find(NameAndKind{entry.name, entry.kind});
    if (match == first.end()) continue;
    references.MarkUsed(i);
    definitions.MarkUsed(match->second);
  }
}

void CCheckRun::RunCheck() {
  m_nErrorCount = 0;
  m_bHaveInputStatus = false;
  m_inputStatus = m_pInputFile->GetStatus();
  m_bHaveInputStatus = true;
  m_pDefinitions = std::make_unique<CLabelList>();
  m_pReferences = std::make_unique<CLabelList>();

  ScanDefinitions(*m_pInputFile, *m_pDefinitions);
  m_pDefinitions->Sort();
  for (int j = 0; j < m_pDefinitions->GetCount(); ++j) {
    if (m_pDefinitions->GetKind(j) == kInstrumentDefinitions) m_pDefinitions->MarkUsed(j);
  }
  ScanReferences(*m_pInputFile, *m_pReferences);

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
