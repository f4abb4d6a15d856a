// cabtool list --json: the cabinet's header, folders and file entries as one
// JSON object on standard output, for scripts.
#pragma once

#include "name_filter.h"

#include <string>

namespace cabtool {

// Prints the listing of the cabinet at path, with the files the filter
// selects; an exit status. Nothing goes to standard output when the cabinet
// cannot be read whole.
int printJsonListing(const std::string &path, const NameFilter &filter);

}  // namespace cabtool
