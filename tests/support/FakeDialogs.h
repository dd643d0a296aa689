#pragma once

#include "base/UserDialogs.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

namespace zurm::test {

// Scripted answers for UserDialogs; records every message and question.
class FakeDialogs : public UserDialogs {
public:
    struct FileRequest {
        QString kind; // "open" or "save"
        QString title;
        QString initialFolder;
        QString filter;
    };

    QStringList messages;
    QList<MessageKind> kinds;          // the kind of each message
    QStringList questions;             // caption + "|" + text
    std::deque<bool> answers;          // for askYesNo; empty means No
    std::deque<std::optional<QString>> files; // for the file dialogs; empty means cancelled
    QList<FileRequest> fileRequests;
    QStringList openedFiles;           // shown in the default application
    bool noDefaultApplication = false; // the desktop has no application to show them

    void showMessage(const QString& text, MessageKind kind) override
    {
        messages.append(text);
        kinds.append(kind);
    }
    bool askYesNo(const QString& caption, const QString& text) override
    {
        questions.append(caption + QLatin1Char('|') + text);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> chooseFileToOpen(const QString& title, const QString& folder, const QString& filter) override
    {
        return nextFile({QStringLiteral("open"), title, folder, filter});
    }
    std::optional<QString> chooseFileToSave(const QString& title, const QString& folder, const QString& filter) override
    {
        return nextFile({QStringLiteral("save"), title, folder, filter});
    }

    bool openWithDefaultApplication(const QString& path) override
    {
        openedFiles.append(path);
        return !noDefaultApplication;
    }

private:
    std::optional<QString> nextFile(FileRequest request)
    {
        fileRequests.append(std::move(request));
        if (files.empty())
            return std::nullopt;
        auto file = files.front();
        files.pop_front();
        return file;
    }
};

// Records what a long operation showed.
class FakeProgress : public Progress {
public:
    QStringList statuses;
    int locks = 0;
    int unlocks = 0;
    bool busy = false;

    void setStatus(const QString& text) override { statuses.append(text); }
    void setBusy(bool b) override { busy = b; }
    void processEvents() override {}
    void lockWindow() override { ++locks; }
    void unlockWindow() override { ++unlocks; }
};

} // namespace zurm::test
