// The words of a finding and of its note, shared by every format that
// shows them so that no two say it differently.
#ifndef VELTRANE_CLI_FINDING_TEXT_H_
#define VELTRANE_CLI_FINDING_TEXT_H_

#include <string>

#include "checker/note_finder.h"
#include "checker/protocol.h"

// 'Label "NAME" already in line FIRST', 'Label "NAME" not used' or
// 'Label "NAME" not found', NAME copied byte for byte.
std::string FindingMessage(const CFinding& finding);

// 'a list "NAME" exists in line N, but under SECTION, not WANTED',
// 'did you mean "NAME" (line N)?' or '"NAME" (line N) is the only SECTION
// list that nothing uses', with the section header texts.
std::string NoteMessage(const CNote& note);

#endif  // VELTRANE_CLI_FINDING_TEXT_H_
