#include "checker/protocol_file.h"

#include <cstdint>

#include "checker/protocol.h"

ProtocolFileOutcome WriteProtocolFile(const std::string& path, const CCheckResult& result,
                                      std::string_view displayName, const CFileStatus* input,
                                      const std::function<bool()>& mayReplace,
                                      std::unique_ptr<CStdioFile>& file,
                                      CFileException& openError) {
  CFileStatus chosen;
  if (input && CFile::GetStatus(path, chosen) && chosen.IsSameFile(*input))
    return ProtocolFileOutcome::sameAsInput;

  // An existing file with content is only replaced with consent. One that
  // cannot be opened for reading counts as absent.
  {
    CFile existing;
    if (existing.Open(path, CFile::modeRead)) {
      const std::uint64_t length = existing.GetLength();
      existing.Abort();
      if (length > 0) {
        if (!mayReplace()) return ProtocolFileOutcome::overwriteRefused;
        CFile::Remove(path);
      }
    }
  }

  file = std::make_unique<CStdioFile>();
  if (!file->Open(path,
                  CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite |
                      CFile::shareExclusive,
                  &openError)) {
    return ProtocolFileOutcome::openFailed;
  }
  file->SetLength(0);
  file->SeekToBegin();
  CStdioFile& out = *file;
  EmitProtocol(result, displayName, [&out](std::string_view text) { out.WriteString(text); });
  file->Close();
  file.reset();
  return ProtocolFileOutcome::written;
}
