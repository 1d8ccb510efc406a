#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace outside {

// The package's message box. The program runs unattended, so a message box shows its text to
// whoever watches (the console view) and returns at once; it never waits for an answer.
using MessageSink = std::function<void(std::string_view text)>;

// Routes message boxes; the default writes them to standard error.
void setMessageSink(MessageSink sink);
// Shows a message of the given kind code ("E" error, "A" warning, "I" information, others as
// information). `detail` is appended on its own line when not empty.
void Mensagem(std::string_view kind, std::string_view text, std::string_view detail = {});
// The error box with a detail text; the caller aborts its step afterwards.
void ShowDetailError(std::string_view message, std::string_view detail);

}  // namespace outside
