#include "base/Failure.h"

namespace zurm {

Failure::Failure(QString className, QString text)
    : className_(std::move(className)), text_(std::move(text)),
      what_((className_ + QStringLiteral(": ") + text_).toUtf8())
{
}

QString errorReport(const QString& context, const QString& className, const QString& text)
{
    return context + QStringLiteral("\r\rКласс ошибки: \"") + className
        + QStringLiteral("\"\rТекст ошибки: \"") + text + QStringLiteral("\"");
}

QString errorReport(const QString& context, const Failure& failure)
{
    return errorReport(context, failure.className(), failure.text());
}

} // namespace zurm
