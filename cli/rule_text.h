// A rule as --explain tells it, shared by the command line and the web
// page's rule table, so that both say the same words.
#ifndef VELTRANE_CLI_RULE_TEXT_H_
#define VELTRANE_CLI_RULE_TEXT_H_

#include <string>

#include "checker/finding.h"

// "ID Name (severity, on|off by default)", the one-line description, what
// it means, the example indented by four blanks, how to fix it and whether
// an automatic fix exists: the whole text of --explain ID.
std::string ExplainText(const FindingRule& rule);

#endif  // VELTRANE_CLI_RULE_TEXT_H_
