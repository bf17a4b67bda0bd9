// The text `qorcli COMMAND --help` prints: one command's synopsis and its
// own options, shorter than the whole usage.
#pragma once

#include <string>

namespace qorclient {

// The help of `command` (the empty command: the whole usage); nullptr when
// there is no such command.
const char *command_help(const std::string &command);

}  // namespace qorclient
