#pragma once

#include "base/Failure.h"
#include "base/UserDialogs.h"

#include <typeinfo>

namespace zurm {

template <typename Step>
bool guardedStep(UserDialogs& dialogs, const QString& context, Step&& step)
{
    try {
        step();
        return true;
    } catch (const QuietAbort&) {
        return false;
    } catch (const Failure& failure) {
        dialogs.showMessage(errorReport(context, failure), MessageKind::Error);
        return false;
    } catch (const std::exception& e) {
        dialogs.showMessage(errorReport(context, QString::fromLatin1(typeid(e).name()),
                                        QString::fromLocal8Bit(e.what())), MessageKind::Error);
        return false;
    }
}

} // namespace zurm
