// A network variable of the simulated object server seen through a
// recorder: every settings call is passed on and written down, so tests can
// check the order of the settings bracket around each change.
#pragma once

#include <lns/lnsobjects.h>

#include <QStringList>

class RecordingNv : public lns::NetworkVariable
{
public:
    explicit RecordingNv(lns::NetworkVariablePtr inner) : m_inner(std::move(inner)) {}

    QStringList calls;
    int valueReads = 0;
    int failNextSettings = 0; // make the next n settings calls throw

    lns::ObjectPtr parent() const override { return m_inner->parent(); }
    QString name() const override { return m_inner->name(); }
    int index() const override { return m_inner->index(); }
    QString formatSpecifier() const override { return m_inner->formatSpecifier(); }
    void setFormatSpecifier(const QString &f) override
    {
        record(QStringLiteral("format=%1").arg(f));
        m_inner->setFormatSpecifier(f);
    }
    QString value() override
    {
        ++valueReads;
        return m_inner->value();
    }
    void setValue(const QString &t) override { m_inner->setValue(t); }
    lns::NvFieldPtr field(const QString &n) override { return m_inner->field(n); }
    lns::CollectionPtr<lns::ConfigProperty> configProperties() const override { return m_inner->configProperties(); }
    int typeIndex() const override { return m_inner->typeIndex(); }
    void changeType(int t, const QString &p, int s) override { m_inner->changeType(t, p, s); }

    bool editing() const override { return m_inner->editing(); }
    void setEditing(bool on) override
    {
        calls << (on ? QStringLiteral("edit on") : QStringLiteral("edit off"));
        m_inner->setEditing(on);
    }
    int monitorTag() const override { return m_inner->monitorTag(); }
    void setMonitorTag(int tag) override
    {
        record(QStringLiteral("tag=%1").arg(tag));
        m_inner->setMonitorTag(tag);
    }
    int pollInterval() const override { return m_inner->pollInterval(); }
    void setPollInterval(int i) override
    {
        record(QStringLiteral("poll=%1").arg(i));
        m_inner->setPollInterval(i);
    }
    bool reportByException() const override { return m_inner->reportByException(); }
    void setReportByException(bool on) override
    {
        record(QStringLiteral("rbe=%1").arg(on));
        m_inner->setReportByException(on);
    }
    bool monitorMessageFlag() const override { return m_inner->monitorMessageFlag(); }
    void setMonitorMessageFlag(bool on) override
    {
        record(QStringLiteral("flag=%1").arg(on));
        m_inner->setMonitorMessageFlag(on);
    }
    int monitorOption() const override { return m_inner->monitorOption(); }
    void setMonitorOption(int v) override
    {
        record(QStringLiteral("option=%1").arg(v));
        m_inner->setMonitorOption(v);
    }

private:
    void record(const QString &c)
    {
        if (failNextSettings > 0) {
            --failNextSettings;
            calls << c + QStringLiteral(" failed");
            throw lns::LnsError(lns::ErrBadValue, QStringLiteral("refused ") + c);
        }
        calls << c;
    }
    lns::NetworkVariablePtr m_inner;
};
