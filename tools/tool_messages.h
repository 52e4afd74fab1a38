// The tool's own messages, in English: each begins with "quenmora COMMAND: ", naming the command
// being run, and says what went wrong with which file and, where the system gave one, why.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace qm::tool {

// The command being run ("pack"), set once before it starts.
void SetCommandName(const char* name);
const char* CommandName();

// Prints "quenmora COMMAND: message" on standard error; returns 1, the exit code of a failure.
int Fail(const std::string& message);

// Prints the one-line error and where the options are described; returns 2, the exit code of
// a command line that cannot be run.
int UsageError(const std::string& message);

// An error the tool words itself.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What an exception raised by the command's work says to the user: a memory shortage (whose
// framework text is the player's) in English, anything else as it is.
std::string Describe(const std::exception& error);

}  // namespace qm::tool
