#include "gui/network/NetworkCommands.h"

#include "base/Guarded.h"
#include "entry/CalculationFields.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/CommandHost.h"
#include "gui/network/NetworkEditor.h"
#include "session/DocumentSession.h"

#include <QMainWindow>

namespace zurm::gui {

namespace {
const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kHeadNodesContext = QStringLiteral("Ошибка при записи номеров узлов с заданными напорами.");
} // namespace

NetworkCommands::NetworkCommands(CommandHost& host) : QObject(&host.window()), host_(host) {}

NetworkCommands::~NetworkCommands()
{
    delete editor_;
}

NetworkEditor* NetworkCommands::editor()
{
    if (!editor_)
        editor_ = new NetworkEditor(host_.session(), host_.dialogs(), host_.progress(), &host_.window());
    return editor_;
}

void NetworkCommands::networkParameters()
{
    DocumentSession& session = host_.session();
    UserDialogs& dialogs = host_.dialogs();
    CalculationGrids& grids = host_.grids();
    if (!session.data().calculationOpen() || !session.indicatorsValid())
        return;
    if (session.data().calculationReadOnly()) {
        dialogs.showMessage(session.data().calculationViewingMessage(session.calculationFileSetting()),
                            MessageKind::Warning);
        return;
    }
    if (session.checkIndicators && !session.checkIndicators())
        return;
    grids.takeTypedFields();
    if (!guardedStep(dialogs, kSaveContext, [&] {
            grids.finishEditing();
            grids.postPendingEdits();
        }))
        return;

    DataModule& data = session.data();
    // While the editor is open, the main window is locked with its grids
    // released; unlocking binds them to what the editor left.
    host_.progress().lockWindow();
    data.guards().enterNetworkEditor();
    NetworkEditor* dialog = editor();
    dialog->applyFontSizes(host_.fontSizes());
    const bool shown = dialog->prepare();
    if (shown)
        dialog->exec();
    data.guards().leaveNetworkEditor();
    if (shown)
        session.networkEdited(dialog->storedStatus(), dialog->storedMessage());
    guardedStep(dialogs, kHeadNodesContext, [&] {
        if (const std::optional<QString> startNode = placeGivenHeadsAtStartNode(data))
            grids.showHeadNodes(*startNode);
    });
    host_.progress().unlockWindow();
    host_.bindGridsIfReleased();
}

} // namespace zurm::gui
