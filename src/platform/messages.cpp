#include "messages.h"

#include "tracelog.h"

#include <cstdio>

namespace platform {

QString iconName(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical:
        return QStringLiteral("critical");
    case MsgIcon::Question:
        return QStringLiteral("question");
    case MsgIcon::Exclamation:
        return QStringLiteral("exclamation");
    case MsgIcon::Information:
        return QStringLiteral("information");
    case MsgIcon::None:
        break;
    }
    return QStringLiteral("none");
}

int defaultAnswer(int buttons)
{
    switch (buttons) {
    case MB_YesNo:
    case MB_YesNoCancel:
        return ANS_Yes;
    default:
        return ANS_OK;
    }
}

int defaultAnswer(const Message &m)
{
    return m.defaultButton != 0 ? m.defaultButton : defaultAnswer(m.buttons);
}

QString messageLine(const Message &m)
{
    QString text = m.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QStringLiteral("MESSAGE %1 %2: %3").arg(iconName(m.icon), m.title, text);
}

int UnattendedMessages::show(const Message &m)
{
    const QByteArray line = messageLine(m).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    TraceLog::instance().write(messageLine(m));
    return defaultAnswer(m);
}

int ScriptedMessages::show(const Message &m)
{
    shown << m;
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return defaultAnswer(m);
}

namespace {
std::shared_ptr<MessageService> &serviceRef()
{
    static std::shared_ptr<MessageService> s = std::make_shared<UnattendedMessages>();
    return s;
}
} // namespace

MessageService &messages()
{
    return *serviceRef();
}

void setMessageService(std::shared_ptr<MessageService> service)
{
    serviceRef() = service ? std::move(service) : std::make_shared<UnattendedMessages>();
}

bool unattendedRequested()
{
    return qEnvironmentVariable("AEROLIS_UNATTENDED") == QLatin1String("1");
}

void HeadlessStatusWindow::setText(const QString &text)
{
    m_text = text;
    history << text;
    TraceLog::instance().write(QStringLiteral("[status] ") + text);
}

} // namespace platform
