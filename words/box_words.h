// What the core's messages say, as boxes: the caption, the icon and the text
// of each. The window shows them, the recorder writes their texts to its
// console, and the tools name their file failures in the same words.
#pragma once

#include <string>

#include "engine/message.h"
#include "scope/oscillogram_file.h"

namespace tarvin {

enum class BoxIcon { None, Warning, Error, Question };

// The application title: the caption of plain boxes.
inline constexpr const char* kAppTitle = "Тарвин-9";

// A message box with one OK button. Plain boxes (no icon, caption kAppTitle)
// answer numbers typed wrongly and file errors.
struct Box {
  BoxIcon icon = BoxIcon::None;
  std::string caption;
  std::string text;
};

namespace words {

Box BoxFor(const Message& message);
inline std::string MessageText(const Message& message) { return BoxFor(message).text; }

// "Файл не удается открыть: <path>" when it could not be opened or created, else
// "Файл не удается записать: <path>": what every program says of a file it could not read or write.
std::string FileFailureText(bool cannot_open, const std::string& path);
// The same of a file to be shown (status not Ok): could not be opened, or
// short or of another version.
inline std::string FileFailureText(FileStatus status, const std::string& path) {
  return MessageText(FileFailure(status, path));
}

}  // namespace words
}  // namespace tarvin
