// The state of one check, from the loaded input file to its result. The
// dialog and the command-line checker each own one.
#ifndef VELTRANE_CHECKER_CHECK_RUN_H_
#define VELTRANE_CHECKER_CHECK_RUN_H_

#include <memory>
#include <string>

#include "checker/check.h"
#include "checker/resolve.h"
#include "platform/code_page.h"
#include "platform/file.h"

class CCheckRun {
 public:
  // Checks the input file into m_pResult, then closes and releases the
  // input file. Throws CFileException on a read error; the input file then
  // stays where it is.
  // REQUIRES: m_pInputFile is set and open.
  void RunCheck();

  // The checked file, so that no protocol is ever written over it; null
  // before a check or when the bytes came from memory.
  const CFileStatus* InputStatus() const {
    return m_bHaveInputStatus ? &m_inputStatus : nullptr;
  }

  // Closes and releases the input and protocol files, if any.
  void ReleaseFiles();
  // Deletes the result and its lists, if any.
  void ReleaseLists();

  std::unique_ptr<CStdioFile> m_pInputFile;
  // The resolved lists and the findings of the last check.
  std::unique_ptr<CCheckResult> m_pResult;
  int m_nErrorCount = 0;
  std::unique_ptr<CStdioFile> m_pProtocolFile;
  std::string m_strDisplayName;
  CFileException m_protocolOpenError;
  // The code page names are read and sorted in: the system's, unless the
  // owner chooses another before RunCheck.
  CCodePage m_codePage = SystemCodePage();
  // Whether the check makes notes; the protocol shows none.
  bool m_bNotes = false;
  // The rules beyond the protocol's, for the formats that show them; null
  // for the protocol. Must outlive RunCheck.
  const CRuleSelection* m_pRules = nullptr;

 private:
  CFileStatus m_inputStatus;
  bool m_bHaveInputStatus = false;
};

#endif  // VELTRANE_CHECKER_CHECK_RUN_H_
