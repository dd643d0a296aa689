#pragma once

#include "base/UserDialogs.h"
#include "document/DataModule.h"

#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace zurm::bench {

// Messages go to stderr, every question is answered Yes, no file is chosen.
class QuietDialogs : public UserDialogs {
public:
    void showMessage(const QString& text, zurm::MessageKind) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool askYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
};

// A generated calculation of `segments` segments (NetworkGenerator) in a
// folder of its own, opened for writing.
struct GeneratedCalculation {
    explicit GeneratedCalculation(int segments);
    QTemporaryDir folder;
    QString path;
    QuietDialogs dialogs;
    std::unique_ptr<DataModule> data;
};

} // namespace zurm::bench
