// The calculation run: entry, gate, the phases in order, and the write-back of
// the results. The end of the run (messages, text, flag) is RunCompletion.cpp.
#include "hydraulics/CalculationRun.h"
#include "hydraulics/RunPhases.h"

#include "document/DataModule.h"
#include "document/DocumentSession.h"
#include "document/Failure.h"
#include "document/Sql.h"
#include "document/UserDialogs.h"
#include "settings/SettingsRow.h"

#include <QFile>
#include <cmath>
#include <memory>

namespace zurm {

namespace run {

void RunState::status(const QString& line)
{
    progress.setStatus(line);
    progress.processEvents();
}

void RunState::clearStatus()
{
    progress.setStatus(QString());
    progress.processEvents();
}

void RunState::flush()
{
    checkResults();
    model.writeBack(data.calculation());
}

void RunState::checkResults()
{
    if (!ok())
        return;
    auto bad = [](const Value& v) { return v && !std::isfinite(*v); };
    const QString outOfRange = QStringLiteral("\" выходит за пределы допустимого диапазона чисел.");
    const QString start = QStringLiteral("Значение показателя \"");
    for (const SegmentRecord& segment : model.segments)
        for (int i = 0; i < model.segmentColumns.size(); ++i)
            if (bad(segment.values[size_t(i)])) {
                error = segmentPrefix(segment.startNode, segment.endNode) + start + model.segmentColumns.names().at(i)
                    + outOfRange;
                return;
            }
    for (const EndNodeRow& e : model.endNodes)
        for (const EndNodeField& field : endNodeFields())
            if (field.number && bad(e.*field.number)) {
                error = QStringLiteral("Форма \"Параметры теплосети\", таблица \"Конечные узлы теплосети\", узел ")
                    + QString::number(e.endNode) + QStringLiteral(":\r\n\r\n") + start + field.name + outOfRange;
                return;
            }
    // The header last: its maxima and user indicators follow from the segments.
    for (int i = 0; i < model.headerColumns.size(); ++i)
        if (bad(model.header.values[size_t(i)])) {
            error = start + model.headerColumns.names().at(i) + outOfRange;
            return;
        }
}

QString RunState::segmentName(qint16 a, qint16 b)
{
    return QString::number(a) + QStringLiteral(" - ") + QString::number(b);
}

QString RunState::segmentPrefix(qint16 a, qint16 b)
{
    return QStringLiteral("Участок ") + segmentName(a, b) + QStringLiteral(":\r\n");
}

QString RunState::chain(int idM) const
{
    const auto [first, last] = model.mainRows(idM);
    QString text;
    for (int r = first; r < last; ++r)
        text += QString::number(model.mains[size_t(r)].startNode) + QStringLiteral(" - ");
    if (last > first)
        text += QString::number(model.mains[size_t(last - 1)].endNode);
    return text;
}

// End of the run and the finishing steps (RunCompletion.cpp).
void completeRun(RunState& state, UserDialogs& dialogs, const QString& textPath, RunOutcome& outcome);
void finishRun(DataModule& data, Progress& progress, const QString& textPath, bool locked);

} // namespace run

namespace {

const QString kImpossible = QStringLiteral("Расчет невозможен.");

struct RunSettings {
    bool writeText = true;
    int digits = 3;
};

RunSettings readSettings(DataModule& data, const RunOptions& options)
{
    RunSettings settings;
    if (data.settingsOpen()) {
        const QVariant digits = SettingsRow::value(data.settings(), QStringLiteral("ТочностьЧиселВОтч"));
        if (!digits.isNull())
            settings.digits = digits.toInt();
        const QVariant write = SettingsRow::value(data.settings(), QStringLiteral("СохрТекстРас"));
        settings.writeText = !write.isNull() && write.toInt() != 0;
    }
    if (options.writeText)
        settings.writeText = *options.writeText;
    if (options.digits)
        settings.digits = *options.digits;
    return settings;
}

void writeTextStart(run::RunState& state)
{
    CalculationText& t = state.text;
    t.writeLine(QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ"));
    t.writeLine();
    t.writeLine(QStringLiteral("Название расчета:")
                + (state.options.calculationName.isEmpty() ? QString() : QStringLiteral(" ") + state.options.calculationName));
    t.writeLine(QStringLiteral("Тип сети:")
                + (state.model.twoPipe() ? QStringLiteral(" Двухтрубная") : QStringLiteral(" Однотрубная")));
}

} // namespace

RunOutcome runCalculation(DataModule& data, UserDialogs& dialogs, Progress& progress, const RunOptions& options)
{
    RunOutcome outcome;
    const QString textPath =
        options.temporaryTextFile.isEmpty() ? data.resolve(kCalculationTextFileName) : options.temporaryTextFile;
    if (!data.calculationOpen()) {
        dialogs.showMessage(kImpossible);
        run::finishRun(data, progress, textPath, false);
        return outcome;
    }
    if (options.askConfirmation
        && !dialogs.askYesNo(QStringLiteral("Выполнить расчет"),
                             QStringLiteral("Данная операция может занять некоторое время. Выполнить расчет?"))) {
        run::finishRun(data, progress, textPath, false);
        return outcome;
    }

    bool locked = false;
    std::unique_ptr<run::RunState> state;
    try {
        progress.setBusy(true);
        const QSqlDatabase db = data.calculation();
        execSql(db, QStringLiteral("UPDATE [НазвРасч] SET [НазвРасч] = ?"),
                {options.calculationName.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                   : QVariant(options.calculationName)});
        if (options.postPendingEdits)
            options.postPendingEdits();
        progress.lockWindow();
        locked = true;
        data.SetCalculationDoneFlag(false);
        progress.setStatus(QString());
        progress.processEvents();
        const RunSettings settings = readSettings(data, options);

        if (!options.indicatorsValid || options.networkStatus != 0) {
            dialogs.showMessage(kImpossible);
            run::finishRun(data, progress, textPath, locked);
            return outcome;
        }
        outcome.started = true;

        state = std::make_unique<run::RunState>(run::RunState{
            data, progress, options, run::RunModel::load(db),
            CalculationText(settings.writeText, settings.digits, options.decimalPoint), ReferenceTables(), {}, {}});
        run::RunState& s = *state;
        if (settings.writeText)
            s.text.streamTo(textPath);
        writeTextStart(s);
        if (data.referenceOpen())
            s.reference = ReferenceTables::load(data.reference());
        s.evaluation.reference = &s.reference;
        s.evaluation.decimalPoint = options.decimalPoint;
        if (settings.writeText)
            s.evaluation.writeText = [&s](const QString& piece) { s.text.write(piece); };

        run::storeNodeFields(s);
        if (s.ok())
            s.model.loadOrder(db);
        run::prepareRun(s);
        s.flush();
        run::calculateHeads(s);
        run::writeTextEnd(s);
        if (s.ok())
            s.model.clearVisited();
        s.flush();

        run::completeRun(s, dialogs, textPath, outcome);
    } catch (...) {
        if (state) {
            try {
                state->flush(); // what was computed before the failure stays written
            } catch (...) {
            }
        }
        run::finishRun(data, progress, textPath, locked);
        throw;
    }
    run::finishRun(data, progress, textPath, locked);
    return outcome;
}

RunOptions desktopRunOptions(DocumentSession& session)
{
    RunOptions options;
    options.indicatorsValid = session.indicatorsValid();
    options.networkStatus = session.viewState().networkStatus;
    options.calculationName = session.viewState().calculationName;
    options.supplyHeadNodeText = session.viewState().supplyHeadNodeText;
    options.availableHeadNodeText = session.viewState().availableHeadNodeText;
    options.postPendingEdits = [&session] { if (session.postPendingEdits) session.postPendingEdits(); };
    return options;
}

} // namespace zurm
