#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zurm::test {

// A throw-away program folder holding copies of the delivered files, and a
// separate documents folder beside it. Checked-in or built files are never
// opened in place.
class ProgramFolderFixture {
public:
    ProgramFolderFixture()
    {
        QDir root(dir_.path());
        root.mkdir(QStringLiteral("program"));
        root.mkdir(QStringLiteral("docs"));
        for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"})
            copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name), program(QString::fromUtf8(name)));
    }

    QString programFolder() const { return dir_.path() + QStringLiteral("/program"); }
    QString docsFolder() const { return dir_.path() + QStringLiteral("/docs"); }
    QString program(const QString& name) const { return programFolder() + QLatin1Char('/') + name; }
    QString docs(const QString& name) const { return docsFolder() + QLatin1Char('/') + name; }

    // A new calculation file in the documents folder, copied from the template.
    QString newCalculation(const QString& name = QStringLiteral("calc.mdb")) const
    {
        const QString path = docs(name);
        copy(program(QStringLiteral("GidrRas.mdb")), path);
        return path;
    }

    static void copy(const QString& from, const QString& to)
    {
        QFile::remove(to);
        if (!QFile::copy(from, to))
            ADD_FAILURE() << "cannot copy " << from.toStdString() << " to " << to.toStdString();
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

private:
    QTemporaryDir dir_;
};

} // namespace zurm::test
