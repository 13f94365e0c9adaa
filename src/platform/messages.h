// Message boxes, seen from below the window.
//
// Every user message goes through one MessageService. The widget
// implementation lives in the user-interface library; an unattended one
// (AEROLIS_UNATTENDED=1) prints the message and takes the default answer, and
// a scripted one lets tests answer and read back what was shown.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace platform {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };

enum MsgButtons { MB_OK = 0, MB_OKCancel = 1, MB_YesNoCancel = 3, MB_YesNo = 4 };

enum MsgAnswer { ANS_OK = 1, ANS_Cancel = 2, ANS_Yes = 6, ANS_No = 7 };

struct Message
{
    MsgIcon icon = MsgIcon::None;
    QString title;
    QString text;
    int buttons = MB_OK;
    // The answer of the default button; 0: the first button of the set.
    int defaultButton = 0;
};

QString iconName(MsgIcon icon);
// The default answer of a button set (the first button).
int defaultAnswer(int buttons);
// The answer of the message's default button.
int defaultAnswer(const Message &m);
// "MESSAGE <icon> <title>: <text>" with line breaks written as \n.
QString messageLine(const Message &m);

class MessageService
{
public:
    virtual ~MessageService() = default;
    virtual int show(const Message &m) = 0;
    int show(MsgIcon icon, const QString &title, const QString &text, int buttons = MB_OK, int defaultButton = 0)
    {
        return show(Message{icon, title, text, buttons, defaultButton});
    }
};

// Prints messageLine() to standard error and answers with the default.
class UnattendedMessages : public MessageService
{
public:
    int show(const Message &m) override;
};

// Records every message and answers from a queue (default answer when empty).
class ScriptedMessages : public MessageService
{
public:
    int show(const Message &m) override;
    void queueAnswer(int answer) { m_answers << answer; }
    QList<Message> shown;

private:
    QList<int> m_answers;
};

// The process-wide service; set by the program at start, unattended by default.
MessageService &messages();
void setMessageService(std::shared_ptr<MessageService> service);
bool unattendedRequested();

// The status window shown during start-up.
class StatusWindow
{
public:
    virtual ~StatusWindow() = default;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void setText(const QString &text) = 0;
    virtual bool isShown() const = 0;
    virtual QString text() const = 0;
};

// Keeps the state and writes each text to the trace log; used headless and
// in tests.
class HeadlessStatusWindow : public StatusWindow
{
public:
    void showWindow() override { m_shown = true; }
    void hideWindow() override { m_shown = false; }
    void setText(const QString &text) override;
    bool isShown() const override { return m_shown; }
    QString text() const override { return m_text; }
    QStringList history;

private:
    bool m_shown = false;
    QString m_text;
};

} // namespace platform
