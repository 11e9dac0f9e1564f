// File operations of the download roads: unguessable partial names, exclusive creation, moving a
// finished file to its name without replacing anything, and private folders for the extractor's
// partial files. POSIX calls on UTF-8 names; any thread.
#pragma once

#include <string>

namespace mw {

// Sixteen hex digits nobody can guess ahead.
std::string RandomHex();
// A hidden partial file's name in the folder (not created).
std::string NewPartialFileName(const std::string& folder);
// Writes data to a new file of its own (never an existing one); false with errno set.
bool WriteNewFile(const std::string& path, const std::string& data);
// Moves a finished file to its final name without replacing anything that appeared meanwhile.
bool MoveWithoutReplacing(const std::string& from, const std::string& to);
// Creates a new hidden folder of our own (mode 0700) in the folder; "" with errno set.
std::string MakePrivateFolder(const std::string& folder);
// Removes a private folder and everything in it, never following a symbolic link out of it.
void RemovePrivateFolder(const std::string& path);

} // namespace mw
