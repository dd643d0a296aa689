// The calculation run: entry, gate, the phases in order, and the write-back of
// the results. The end of the run (messages, text, flag) is RunCompletion.cpp.
#include "hydraulics/CalculationRun.h"
#include "hydraulics/RunPhases.h"

#include "base/DocumentConnection.h"
#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "settings/SettingsRow.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

#include <sys/resource.h>

namespace zurm {

namespace run {

bool RunState::rowStatusDue() const
{
    constexpr qint64 kRowStatusMs = 50;
    return !rowStatusShown.isValid() || rowStatusShown.elapsed() >= kRowStatusMs;
}

void RunState::status(const QString& line)
{
    rowStatusShown.invalidate();
    progress.setStatus(line);
    progress.processEvents();
    checkStop();
}

void RunState::clearStatus()
{
    rowStatusShown.invalidate();
    progress.setStatus(QString());
    progress.processEvents();
    checkStop();
}

void RunState::checkStop() const
{
    if (stoppable && progress.stopRequested())
        throw RunStopped{};
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

void RunState::writeMainLine(int idM)
{
    const auto [first, last] = model.mainRows(idM);
    text.writeMainLine(idM, std::span<const MainRow>(model.mains).subspan(size_t(first), size_t(last - first)));
}

// End of the run and the finishing steps (RunCompletion.cpp): what goes into
// the file with the results, then what is shown once they are committed.
void settleRun(RunState& state, const QString& textPath, RunOutcome& outcome);
void completeRun(RunState& state, UserDialogs& dialogs, const QString& textPath, RunOutcome& outcome);
void finishRun(DataModule& data, Progress& progress, const QString& textPath, bool locked);

} // namespace run

namespace {

const QString kImpossible = QStringLiteral("Расчет невозможен.");
const QString kStopped =
    QStringLiteral("Расчет прерван. Файл гидравлического расчета остался таким, каким был до начала расчета.");

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

// What the text may take where it is written: the space left on its disk,
// and no more than this process may write into one file.
qint64 spaceForText(const QString& textPath)
{
    qint64 space = std::numeric_limits<qint64>::max();
    const QStorageInfo disk(QFileInfo(textPath).absolutePath());
    if (disk.isValid() && disk.isReady())
        space = disk.bytesAvailable();
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        space = std::min(space, qint64(limit.rlim_cur));
    return space;
}

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + QStringLiteral(" МБ");
}

// Asked before the run when the text would not fit: true runs without the text.
bool runWithoutText(UserDialogs& dialogs, const QString& textPath, qint64 estimate, qint64 space)
{
    const QStorageInfo disk(QFileInfo(textPath).absolutePath());
    const QString diskName = disk.isValid() ? QDir::toNativeSeparators(disk.rootPath()) : QFileInfo(textPath).absolutePath();
    return dialogs.askYesNo(
        QStringLiteral("Выполнить расчет"),
        QStringLiteral("Текст расчета займет около ") + megabytes(estimate) + QStringLiteral(", а для файла ")
            + QDir::toNativeSeparators(textPath) + QStringLiteral(" на диске ") + diskName + QStringLiteral(" доступно ")
            + megabytes(std::max<qint64>(space, 0))
            + QStringLiteral(".\r\rВыполнить расчет без сохранения текста расчета?"));
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
        dialogs.showMessage(kImpossible, MessageKind::Warning);
        run::finishRun(data, progress, textPath, false);
        return outcome;
    }
    if (data.calculationReadOnly()) {
        dialogs.showMessage(data.calculationViewingMessage(data.calculation().databaseName()), MessageKind::Warning);
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
    // The run is one transaction: stopped, it leaves the file as it was before.
    std::optional<Transaction> whole;
    // The stop also ends a long statement; only while the window is locked
    // and its grids are released, so that no event reaches the connection.
    std::optional<StatementStop> statementStop;
    bool settling = false;
    const auto stopped = [&] {
        statementStop.reset();
        state.reset();
        whole.reset();
        data.loadCalculationDoneFlag();
        outcome.stopped = true;
        run::finishRun(data, progress, textPath, locked);
        dialogs.showMessage(kStopped, MessageKind::Information);
    };
    const auto keepWhatWasComputed = [&] {
        statementStop.reset();
        if (state) {
            try {
                state->flush(); // what was computed before the failure stays written
            } catch (...) {
            }
        }
        if (whole) {
            try {
                whole->commit();
            } catch (...) {
            }
        }
        whole.reset();
        run::finishRun(data, progress, textPath, locked);
    };
    try {
        progress.setBusy(true);
        const QSqlDatabase db = data.calculation();
        CalculationRow(db).setValue(CalculationRow::kName, options.calculationName.isEmpty()
                                                               ? QVariant(QMetaType::fromType<QString>())
                                                               : QVariant(options.calculationName));
        if (options.postPendingEdits)
            options.postPendingEdits();
        progress.lockWindow();
        locked = true;
        whole.emplace(db);
        statementStop.emplace([&progress] {
            progress.processEvents();
            return progress.stopRequested();
        });
        data.SetCalculationDoneFlag(false);
        progress.setStatus(QString());
        progress.processEvents();
        RunSettings settings = readSettings(data, options);

        if (!options.indicatorsValid || options.networkStatus != 0) {
            whole->commit();
            dialogs.showMessage(kImpossible, MessageKind::Warning);
            run::finishRun(data, progress, textPath, locked);
            return outcome;
        }

        run::RunModel model = run::RunModel::load(db, options.writtenMains.get());
        if (settings.writeText && options.offerRunWithoutText) {
            const qint64 estimate = estimatedTextSize(qint64(model.endNodes.size()), qint64(model.segments.size()),
                                                      model.twoPipe(), model.designMode);
            const qint64 space = spaceForText(textPath);
            if (estimate > space) {
                if (!runWithoutText(dialogs, textPath, estimate, space)) {
                    whole.reset();
                    data.loadCalculationDoneFlag();
                    run::finishRun(data, progress, textPath, locked);
                    return outcome;
                }
                settings.writeText = false;
            }
        }
        outcome.started = true;

        state = std::make_unique<run::RunState>(run::RunState{
            data, progress, options, std::move(model),
            CalculationText(settings.writeText, settings.digits, options.decimalPoint), ReferenceTables(), {}, {}, true, {}});
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
        s.checkResults();
        run::calculateHeads(s);
        run::writeTextEnd(s);
        if (s.ok())
            s.model.clearVisited();
        s.flush();
        s.checkStop();
        s.stoppable = false;
        statementStop.reset();
        settling = true;
        run::settleRun(s, textPath, outcome);
        whole->commit();

        run::completeRun(s, dialogs, textPath, outcome);
    } catch (const run::RunStopped&) {
        stopped();
        return outcome;
    } catch (const Failure&) {
        // A statement the stop interrupted.
        if (statementStop && progress.stopRequested()) {
            stopped();
            return outcome;
        }
        if (settling) {
            // The results are whole but could not be delivered with their text.
            state.reset();
            whole.reset();
            data.loadCalculationDoneFlag();
            run::finishRun(data, progress, textPath, locked);
            throw;
        }
        keepWhatWasComputed();
        throw;
    } catch (...) {
        keepWhatWasComputed();
        throw;
    }
    run::finishRun(data, progress, textPath, locked);
    return outcome;
}

qint64 estimatedTextSize(qint64 mains, qint64 segments, bool twoPipe, bool designMode)
{
    // Each choice of the next main lists the mains not yet calculated, a line
    // "Магистраль (ветвь) a - b" and an empty one each (in design mode with
    // four lines of heads and losses more); a pass makes one choice per main.
    const qint64 passes = twoPipe ? 2 : 1;
    const qint64 perListedMain = designMode ? 480 : 32;
    const qint64 listed = mains * (mains + 1) / 2;
    // Every segment: its indicators in each pass and its heads.
    const qint64 perSegment = 900;
    return passes * (listed * perListedMain + segments * perSegment);
}

} // namespace zurm
