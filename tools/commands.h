// The subcommands of the `quenmora` tool. Each takes its arguments after the command name and
// returns the process exit code; messages go to standard output and standard error.
#pragma once

#include <string>
#include <vector>

namespace qm::tool {

using Args = std::vector<std::string>;

int RunPack(const Args& args);
int RunInfo(const Args& args);
int RunDecode(const Args& args);
int RunRender(const Args& args);
int RunStyles(const Args& args);
int RunGallery(const Args& args);
int RunVideo(const Args& args);
int RunShow(const Args& args);

}  // namespace qm::tool
