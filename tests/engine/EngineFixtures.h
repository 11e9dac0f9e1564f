// Media fixtures made on demand by the ffmpeg tool and cached in the build folder, plus helpers
// to run the peer tools as oracles.
#pragma once

#include <string>

namespace mw::test {

// Path of a named fixture ("av.avi", "a.mp3", ...), made on first use; throws when it cannot be.
std::string Fixture(const std::string& name);
// Runs a shell command and returns its standard output; status gets the exit status.
std::string RunCommand(const std::string& command, int& status);
std::string ShellQuote(const std::string& text);
// The shared folder of real media files (beside the checkout); empty when there is none.
std::string RealMediaFolder();
// Loads the encoder's libraries from the system (test set-up).
void LoadEngineLibraries();

} // namespace mw::test
