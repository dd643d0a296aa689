#pragma once

#include <QDir>
#include <QString>
#include <optional>

namespace zurm {

// Caption of the program's own questions.
inline const QString kApplicationTitle = QStringLiteral("ЗУРМ");

// What a message tells the person, and so the icon it is shown with: a thing
// done or a state to know of, a request or a typed value refused, an
// operation that failed.
enum class MessageKind { Information, Warning, Error };

// Everything the core needs from a person. The desktop program answers with
// message boxes and file dialogs, zurm-calc answers Yes and chooses no files,
// tests answer from a script.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A plain message box; "\r" is a line break. The caller knows what it
    // reports, so the kind is never guessed from the words.
    virtual void showMessage(const QString& text, MessageKind kind) = 0;
    // A Yes/No question; only Yes returns true.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
    // File dialogs; nullopt when cancelled. filter is "База данных (*.mdb)|*.mdb".
    virtual std::optional<QString> chooseFileToOpen(const QString& title, const QString& initialFolder,
                                                    const QString& filter) = 0;
    virtual std::optional<QString> chooseFileToSave(const QString& title, const QString& initialFolder,
                                                    const QString& filter) = 0;
    // Shows a file in the desktop's default application for it; false when
    // the desktop could not. Batch use shows nothing and has nothing to say.
    virtual bool openWithDefaultApplication(const QString& /*path*/) { return true; }

    // Shows a file the program has written (a workbook); a desktop without
    // an application for it would otherwise leave the person not knowing
    // where the file went.
    void showWrittenFile(const QString& path)
    {
        if (!openWithDefaultApplication(path))
            showMessage(QStringLiteral("Файл \"") + QDir::toNativeSeparators(path)
                            + QStringLiteral("\" записан, но не открыт: на компьютере нет программы, которая "
                                             "открывает такие файлы."),
                        MessageKind::Information);
    }
};

// What a long operation shows while it works.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void setStatus(const QString& text) = 0;
    virtual void setBusy(bool busy) = 0;
    // Lets the window repaint between steps.
    virtual void processEvents() = 0;
    // LockMainWindow / UnlockMainWindow.
    virtual void lockWindow() = 0;
    virtual void unlockWindow() = 0;
    // The user asked to stop the operation (asked at its check points, after
    // processEvents). Operations that cannot be stopped never ask.
    virtual bool stopRequested() { return false; }
};

// Answers nothing and shows nothing; for batch use.
class SilentProgress : public Progress {
public:
    void setStatus(const QString&) override {}
    void setBusy(bool) override {}
    void processEvents() override {}
    void lockWindow() override {}
    void unlockWindow() override {}
};

} // namespace zurm
