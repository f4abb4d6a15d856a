// The texts of cabtool --help, cabtool COMMAND --help and cabtool --version.
#pragma once

#include <string>

namespace cabtool {

// The commands and the options every command takes.
const char *overviewHelp();
// One command's usage, options and examples; null for an unknown command.
const char *commandHelp(const std::string &command);
// "cabtool VERSION" and the compression methods read and written.
std::string versionText();

}  // namespace cabtool
