// The state of one check, from the loaded input file to the written
// protocol. The dialog and the command-line checker each own one.
#ifndef VELTRANE_CHECKER_CHECK_RUN_H_
#define VELTRANE_CHECKER_CHECK_RUN_H_

#include <memory>
#include <string>

#include "checker/label_list.h"
#include "checker/protocol_host.h"
#include "platform/code_page.h"
#include "platform/file.h"

// Marks every reference that names a definition of its own kind, and that
// definition, as used. A reference matches the first definition in sorted
// order with an equal name and kind.
// REQUIRES: `definitions` is sorted by name.
void ResolveReferences(CLabelList& definitions, CLabelList& references);

class CCheckRun {
 public:
  // How WriteProtocol ended. Only `written` means a protocol exists.
  enum class ProtocolOutcome {
    written,
    cancelled,         // the save dialog was cancelled
    overwriteRefused,  // the user kept an existing non-empty file
    openFailed,        // the protocol file could not be opened
    sameAsInput,       // the chosen path is the checked file itself
  };

  // Builds, sorts and resolves both lists from the input file, then closes
  // and releases the input file. Instrument definitions count as used.
  // Throws CFileException on a read error; the input file and the lists
  // built so far then stay where they are.
  // REQUIRES: m_pInputFile is set and open.
  void RunCheck();

  // Asks `host` for the protocol path and writes the protocol of the lists
  // RunCheck resolved. An existing non-empty file is replaced only when the
  // user says Yes to "Overwrite existing file?"; the checked file itself is
  // never replaced (`sameAsInput`, asked nothing). On `openFailed`,
  // m_protocolOpenError says why. Throws CFileException when the old file
  // cannot be removed or the protocol cannot be written.
  // REQUIRES: RunCheck has completed.
  ProtocolOutcome WriteProtocol(CProtocolHost& host);

  // Closes and releases the input and protocol files, if any.
  void ReleaseFiles();
  // Deletes both lists, if any.
  void ReleaseLists();

  std::unique_ptr<CStdioFile> m_pInputFile;
  std::unique_ptr<CLabelList> m_pDefinitions;
  std::unique_ptr<CLabelList> m_pReferences;
  int m_nErrorCount = 0;
  std::unique_ptr<CStdioFile> m_pProtocolFile;
  std::string m_strDisplayName;
  CFileException m_protocolOpenError;
  // The code page names are read and sorted in: the system's, unless the
  // owner chooses another before RunCheck.
  CCodePage m_codePage = SystemCodePage();

 private:
  // Identifies the checked file after it is closed, so that no protocol is
  // ever written over it.
  CFileStatus m_inputStatus;
  bool m_bHaveInputStatus = false;
};

#endif  // VELTRANE_CHECKER_CHECK_RUN_H_
