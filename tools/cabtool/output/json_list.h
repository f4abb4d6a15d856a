// cabtool list --json: for scripts, one JSON object on standard output with
// every cabinet of the file (the file itself, those found inside it, or the
// one --offset picks): its offset, header, folders and file entries.
#pragma once

#include "names/name_filter.h"

#include <string>

namespace cabtool {

// Prints the listing of the file at path, with the files the filter selects;
// an exit status. Nothing goes to standard output when a cabinet cannot be
// read whole.
int printJsonListing(const std::string &path, const NameFilter &filter);

}  // namespace cabtool
