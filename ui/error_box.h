#pragma once
// The one place where a failure raised by a click handler reaches the
// operator: a modal error box owned by no window.
#include <QString>
#include <functional>
#include <string>

namespace ui {

// The application title: the program file's name without folder and without
// everything from the first "." on, the first character kept, the rest lower case.
QString applicationTitle(const QString& programPath);
void setApplicationTitle(const QString& title);
QString currentApplicationTitle();

// The text shown for a failure's message: a "." appended when the last
// character's code lies above that of ".".
QString shownMessage(const QString& message);

// Shows the box for a failure message and returns when the operator closes it.
void showErrorBox(const std::string& message);

// Tests replace what showErrorBox presents (caption, text); an empty function
// restores the real box.
using ErrorPresenter = std::function<void(const QString& caption, const QString& text)>;
void setErrorPresenter(ErrorPresenter presenter);

}  // namespace ui
