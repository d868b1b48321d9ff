// How the program tells the user something: its own messages in a plain box,
// and errors through one top-level reporter that abandons the handler that
// raised them. No exception ever leaves a handler into Qt.
#pragma once

#include <QString>

#include <stdexcept>
#include <string>

namespace tirevo {

// An error raised inside a handler; the handler stops there and the text is
// shown by the reporter.
class AppError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kAppTitle = "QUVA Tirevo";

// The program's own message: plain box, application title, one OK button,
// centred on the screen.
void ShowMessage(const QString& text);

// The top-level error reporter: error icon, application title, the text with
// a full stop added when it ends in a character after "." in code order.
void ReportError(const std::string& text);

std::string WithFullStop(const std::string& text);

// Runs a handler body; any error it raises is reported and the body is
// abandoned at that point.
template <typename Body> void Guarded(Body&& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unexpected error");
    }
}

// Text as the user's 8-bit code page sees it, and back.
QString FromLocal(const std::string& text);
std::string ToLocal(const QString& text);

}  // namespace tirevo
