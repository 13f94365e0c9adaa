// A parameter collection on a demo network of the simulated object server
// (in a temporary root), with a window double holding standalone controls
// named like the main window's, and scripted message boxes.
#pragma once

#include "demorooms.h"
#include "testenv.h"

#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <params/controlutil.h>
#include <params/paramcollection.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>
#include <ui/controlbinder.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>

#include <memory>

struct LoggedLine
{
    QString text;
    int color = 0;
};

// The window seen by the collection: a logger that records, a caption, and
// controls made on demand: each a state for the collection and a real
// widget below a plain root widget, kept in step by the window's binder.
class TestWindow : public params::WindowPort
{
public:
    void LogLine(const QString &text, int color, bool, bool, int) override { lines << LoggedLine{text, color}; }
    QString caption() const override { return captionText; }
    // Every control array of the window has every index: a control is made
    // the first time it is asked for.
    model::ControlState *control(const QString &arrayName, int index) const override
    {
        auto *self = const_cast<TestWindow *>(this);
        if (arrayName == QLatin1String("TextBox"))
            return self->textBox(index);
        if (arrayName == QLatin1String("ComboBox"))
            return self->comboBox(index);
        if (arrayName == QLatin1String("CheckBox"))
            return self->checkBox(index);
        if (arrayName == QLatin1String("Option"))
            return self->option(index);
        return nullptr;
    }

    template <class W>
    model::ControlState *make(model::ControlKind kind, int index)
    {
        const QString name = model::arrayName(kind) + QString::number(index);
        if (auto *existing = states.findChild<model::ControlState *>(name))
            return existing;
        auto *state = new model::ControlState(kind, name, -1, &states);
        auto *w = new W(&root);
        w->setObjectName(name);
        binder.bind(state, w);
        return state;
    }
    model::ControlState *textBox(int i) { return make<QLineEdit>(model::ControlKind::TextBox, i); }
    model::ControlState *comboBox(int i) { return make<QComboBox>(model::ControlKind::ComboBox, i); }
    model::ControlState *checkBox(int i) { return make<QCheckBox>(model::ControlKind::CheckBox, i); }
    model::ControlState *option(int i) { return make<QRadioButton>(model::ControlKind::OptionButton, i); }
    // The widgets the user works with.
    QLineEdit *textBoxWidget(int i) { return qobject_cast<QLineEdit *>(binder.widgetOf(textBox(i))); }
    QComboBox *comboBoxWidget(int i) { return qobject_cast<QComboBox *>(binder.widgetOf(comboBox(i))); }
    QCheckBox *checkBoxWidget(int i) { return qobject_cast<QCheckBox *>(binder.widgetOf(checkBox(i))); }
    QRadioButton *optionWidget(int i) { return qobject_cast<QRadioButton *>(binder.widgetOf(option(i))); }
    model::ControlState *stateOf(const QWidget *w) const { return binder.stateOf(w); }

    QWidget root;
    QObject states;
    ui::ControlBinder binder;
    QString captionText = QStringLiteral("Room101 / Controller");
    QList<LoggedLine> lines;
};

class ParamsFixture
{
public:
    explicit ParamsFixture(const QString &deviceName = QStringLiteral("Room101"))
    {
        if (!ini.setFileName(TestEnvironment::iniPath()))
            qFatal("device template %s missing", qPrintable(TestEnvironment::iniPath()));
        lnssim::DemoNetwork::create(env.lnsRoot(), ini, false);
        platform::setLanguageOffset(0);
        messages = std::make_shared<platform::ScriptedMessages>();
        platform::setMessageService(messages);
        server = lnssim::SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
        system = network->system();
        admin = std::make_unique<lnssim::NetworkAdmin>(env.lnsRoot(), QStringLiteral("Demo"));
        admin->open();
        select(deviceName);
        platform::TraceLog::instance().clearRecent();
    }
    ~ParamsFixture()
    {
        params.reset();
        if (network && network->isOpen())
            network->close();
        platform::setMessageService(nullptr);
    }

    lns::AppDevicePtr findDevice(const QString &name) const { return demoRoom(system, name); }

    // A new collection on the named device, bound to the test window.
    void select(const QString &name)
    {
        deviceName = name;
        device = findDevice(name);
        object = device->lonMarkObjects()->item(QStringLiteral("Controller"));
        deviceId = admin->device(name).id;
        params = std::make_unique<params::cParams>();
        params->setWindow(&window);
        params->setSystem(system);
        params->setTemplateContext(lns::TemplateContext{&ini, device->deviceTemplate()});
        params->setConnection(object, device);
    }

    lns::ConfigPropertyPtr cp(const QString &name) const { return object->configProperties()->item(name); }
    QByteArray deviceBytes(const QString &cpName) const { return admin->deviceCp(deviceId, cpName); }
    void setDeviceBytes(const QString &cpName, const QByteArray &bytes) { admin->setDeviceCp(deviceId, cpName, bytes); }
    lnssim::Counters counters() const { return admin->counters(deviceId); }
    void resetCounters() { admin->resetCounters(); }
    bool traced(const QString &part) const
    {
        for (const QString &l : platform::TraceLog::instance().recent()) {
            if (l.contains(part))
                return true;
        }
        return false;
    }

    TestEnvironment env;
    platform::IniFile ini;
    std::shared_ptr<platform::ScriptedMessages> messages;
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;
    std::unique_ptr<lnssim::NetworkAdmin> admin;
    QString deviceName;
    lns::AppDevicePtr device;
    lns::LonMarkObjectPtr object;
    int deviceId = 0;
    TestWindow window;
    std::unique_ptr<params::cParams> params;
};

inline QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}
