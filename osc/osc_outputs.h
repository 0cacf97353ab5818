// Where tarvin9-osc writes: with one file, OUT itself or the file's name with
// the new suffix beside it; with several, one output beside each file, or in
// OUT when OUT is a folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scope/oscillogram_file.h"

namespace tarvin::osc {

// The output for each input, in order; nullopt when OUT is not a folder but
// several files were given (bad usage).
std::optional<std::vector<std::string>> OutputPaths(const std::vector<std::string>& inputs,
                                                    const std::string& out, const std::string& suffix);

// OUT names a folder to be made when it ends with a separator ("pictures/").
bool NamesFolder(const std::string& out);

// What standard error says of a file that could not be read: the program's
// name, then the window's message, or that a folder was given as a file.
std::string ReadFailureLine(FileStatus status, const std::string& path);
// ... and of one that could not be written, with the system's reason in the
// message's language (ReasonInRussian).
std::string WriteFailureLine(FileStatus status, const std::string& path, const std::string& reason);

// The system's words for a failed write, as the Russian messages say them;
// words it does not know are kept as the system gave them.
std::string ReasonInRussian(const std::string& system_words);

// Why OUT cannot be written to, for a usage error; empty when it can. A
// device, a pipe or a socket is never written over (nor a folder, unless the
// command writes into one).
std::string RefusedOutput(const std::string& out, bool folder_allowed);

// "x.bin" -> "x<suffix>", "x" -> "x<suffix>".
std::string WithSuffix(const std::string& path, const std::string& suffix);

}  // namespace tarvin::osc
