#include "checker/check_run.h"

void CCheckRun::RunCheck() {
  m_nErrorCount = 0;
  m_bHaveInputStatus = false;
  // Bytes read from memory have no file on disk that a protocol could
  // replace, so there is nothing to guard.
  if (!m_pInputFile->IsMemory()) {
    m_inputStatus = m_pInputFile->GetStatus();
    m_bHaveInputStatus = true;
  }
  m_pResult.reset();
  m_pResult = std::make_unique<CCheckResult>(
      CheckFile(*m_pInputFile, CCheckOptions{m_codePage, m_bNotes, kScanSplitFrom, m_pRules}));
  // Nothing was written to the input file, so a failing close loses nothing.
  m_pInputFile->Abort();
  m_pInputFile.reset();
}

void CCheckRun::ReleaseFiles() {
  m_pInputFile.reset();
  m_pProtocolFile.reset();
}

void CCheckRun::ReleaseLists() { m_pResult.reset(); }
