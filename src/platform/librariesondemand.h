#pragma once

// System libraries that only some commands need are opened when one of those commands first
// runs, not with the program: libxlsxwriter (and with it OpenSSL's libcrypto) saves a workbook,
// minizip unpacks an .xlsx one, chmlib reads the help. librariesondemand.cpp defines the
// functions the program calls under the libraries' own declarations, each handing on to the
// library's function of that name, so that the code calling them reads as if they were linked.
namespace LibrariesOnDemand {

// The function of that name in the library of that soname, opening the library at its first
// use; it then stays open. Throws CommandError when the library cannot be opened or lacks the
// function; the next call tries again.
void *function(const char *soname, const char *name);

} // namespace LibrariesOnDemand
