#pragma once

#include <QString>
#include <exception>

namespace zurm {

// Class name carried by every database failure in the error report.
inline constexpr const char* kSqlErrorClass = "SqlError";

// An unexpected failure (database, file system, platform component). The
// command boundary catches it and shows the error report; expected user errors
// are never thrown but collected as one message text.
class Failure : public std::exception {
public:
    Failure(QString className, QString text);
    const QString& className() const { return className_; }
    const QString& text() const { return text_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    QString className_;
    QString text_;
    QByteArray what_;
};

// Cancels an insert, delete or post without any message. Never shown.
class QuietAbort : public std::exception {
public:
    const char* what() const noexcept override { return "quiet abort"; }
};

// The error report: context sentence, two line breaks, the failure's class and
// text in straight double quotes, each label on its own line.
QString errorReport(const QString& context, const QString& className, const QString& text);
QString errorReport(const QString& context, const Failure& failure);

class UserDialogs;

// Runs one guarded step: a Failure is shown as the error report with the given
// context, a quiet abort is swallowed, any other std::exception is reported with
// its own class. Returns true when the step ran to its end.
template <typename Step>
bool guardedStep(UserDialogs& dialogs, const QString& context, Step&& step);

} // namespace zurm
