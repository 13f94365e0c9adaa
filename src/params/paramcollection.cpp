#include "paramcollection.h"

#include "copyplan.h"

#include "controlevents.h"
#include "controlutil.h"

#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>
#include <platform/version.h>


namespace params {

namespace {

const QString kModule = QStringLiteral("cParams");
constexpr int kErrDuplicateKey = 457;

void entry(const QString &head)
{
    platform::traceEntry(QStringLiteral("[cParams] ") + head);
}

template <class P>
QVector<std::shared_ptr<cParamBase>> asBase(const Registry<P> &r)
{
    QVector<std::shared_ptr<cParamBase>> out;
    out.reserve(r.count());
    for (const auto &p : r.items())
        out << p;
    return out;
}

lns::ConfigPropertyPtr cpOf(const cParamBase &p)
{
    if (p.ConfigProperty())
        return p.ConfigProperty();
    if (p.ConfigPropExt())
        return p.ConfigPropExt()->ConfigProperty();
    return nullptr;
}

QString nameOf(const lns::ConfigPropertyPtr &cp)
{
    if (!cp)
        return QString();
    try {
        return cp->name();
    } catch (const lns::LnsError &) {
        return QString();
    }
}

} // namespace

cParams::cParams(QObject *parent) : QObject(parent) {}

cParams::~cParams() = default;

void cParams::setConnection(const lns::LonMarkObjectPtr &object, const lns::AppDevicePtr &device)
{
    m_object = object;
    m_device = device;
}

QString cParams::messageTitle() const
{
    return m_window ? m_window->caption() : platform::kProductName;
}

lns::ObjectPtr cParams::ownerOf(const lns::ConfigPropertyPtr &cp) const
{
    if (cp) {
        if (auto lmo = lns::findAncestor(cp, lns::ClsLonMarkObject))
            return lmo;
        if (auto dev = lns::findAncestor(cp, lns::ClsAppDevice))
            return dev;
    }
    return m_object;
}

namespace {

// The control when it is of the kind asked for, nullptr otherwise.
ControlState *ofKind(ControlState *control, model::ControlKind kind)
{
    return control && control->kind() == kind ? control : nullptr;
}

} // namespace

void cParams::bindControl(ControlState *control, const QString &name)
{
    if (!control)
        return;
    setControlTag(control, name);
    if (m_events)
        m_events->attach(control);
}

template <class P>
std::shared_ptr<P> cParams::addParam(Registry<P> &registry, const QString &name, const lns::ConfigPropertyPtr &cp,
                                     const QString &cpIniName, const std::shared_ptr<cConfigProp> &ext,
                                     const QString &procedure)
{
    entry(QStringLiteral("Public Function %1()").arg(procedure));
    if (registry.contains(name)) {
        CpIo::logError(kModule, procedure, kErrDuplicateKey,
                       QStringLiteral("This key is already associated with an element of this collection (%1)").arg(name));
        return nullptr;
    }
    auto p = std::make_shared<P>();
    cParamBase::Binding b;
    b.parent = this;
    b.name = name;
    if (ext) {
        b.configPropExt = ext;
        b.cpIniName = ext->CpIniName();
    } else {
        b.configProperty = m_io.adopt(cp);
        b.cpIniName = cpIniName;
        b.cpOwner = m_pendingOwner ? m_pendingOwner : ownerOf(cp);
    }
    m_pendingOwner.reset();
    p->bind(b);
    registry.add(name, p);
    m_all << p;
    return p;
}

// ---------------- creation ----------------

std::shared_ptr<cParamTextBox> cParams::AddTextBoxParameter(const QString &name, ControlState *textBox,
                                                            const lns::ConfigPropertyPtr &cp, const QString &cpIniName)
{
    auto p = addParam(m_textBoxes, name, cp, cpIniName, nullptr, QStringLiteral("AddTextBoxParameter"));
    if (!p)
        return p;
    auto *edit = ofKind(textBox, model::ControlKind::TextBox);
    if (textBox && !edit)
        CpIo::logError(kModule, QStringLiteral("AddTextBoxParameter"), 13,
                       QStringLiteral("%1: control %2 is not a text box").arg(name, textBox->objectName()));
    p->setTextBoxControl(edit);
    bindControl(edit, name);
    p->setAvailable(cp != nullptr);
    p->setSnvtType(SNVT_unsigned);
    return p;
}

std::shared_ptr<cParamTextBox> cParams::AddTextBoxParameterExtCp(const QString &name, ControlState *textBox,
                                                                 const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_textBoxes, name, nullptr, QString(), configProp, QStringLiteral("AddTextBoxParameterExtCp"));
    if (!p)
        return p;
    auto *edit = ofKind(textBox, model::ControlKind::TextBox);
    p->setTextBoxControl(edit);
    bindControl(edit, name);
    p->setAvailable(configProp->Available());
    p->setSnvtType(SNVT_unsigned);
    return p;
}

std::shared_ptr<cParamComboBox> cParams::AddComboBoxParameter(const QString &name, ControlState *comboBox,
                                                              const lns::ConfigPropertyPtr &cp,
                                                              const QString &cpIniName)
{
    auto p = addParam(m_comboBoxes, name, cp, cpIniName, nullptr, QStringLiteral("AddComboBoxParameter"));
    if (!p)
        return p;
    auto *combo = ofKind(comboBox, model::ControlKind::ComboBox);
    if (comboBox && !combo)
        CpIo::logError(kModule, QStringLiteral("AddComboBoxParameter"), 13,
                       QStringLiteral("%1: control %2 is not a list").arg(name, comboBox->objectName()));
    p->setComboBoxControl(combo);
    bindControl(combo, name);
    p->setAvailable(cp != nullptr);
    return p;
}

std::shared_ptr<cParamComboBox> cParams::AddComboBoxParameterExtCp(const QString &name, ControlState *comboBox,
                                                                   const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_comboBoxes, name, nullptr, QString(), configProp, QStringLiteral("AddComboBoxParameterExtCp"));
    if (!p)
        return p;
    auto *combo = ofKind(comboBox, model::ControlKind::ComboBox);
    p->setComboBoxControl(combo);
    bindControl(combo, name);
    p->setAvailable(configProp->Available());
    return p;
}

std::shared_ptr<cParamCheckBox> cParams::AddCheckBoxParameter(const QString &name, ControlState *checkBox,
                                                              const lns::ConfigPropertyPtr &cp,
                                                              const QString &cpIniName)
{
    auto p = addParam(m_checkBoxes, name, cp, cpIniName, nullptr, QStringLiteral("AddCheckBoxParameter"));
    if (!p)
        return p;
    auto *box = ofKind(checkBox, model::ControlKind::CheckBox);
    if (checkBox && !box)
        CpIo::logError(kModule, QStringLiteral("AddCheckBoxParameter"), 13,
                       QStringLiteral("%1: control %2 is not a check box").arg(name, checkBox->objectName()));
    p->setCheckBoxControl(box);
    bindControl(box, name);
    p->setAvailable(cp != nullptr);
    return p;
}

std::shared_ptr<cParamCheckBox> cParams::AddCheckBoxParameterExtCp(const QString &name, ControlState *checkBox,
                                                                   const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_checkBoxes, name, nullptr, QString(), configProp, QStringLiteral("AddCheckBoxParameterExtCp"));
    if (!p)
        return p;
    auto *box = ofKind(checkBox, model::ControlKind::CheckBox);
    p->setCheckBoxControl(box);
    bindControl(box, name);
    p->setAvailable(configProp->Available());
    return p;
}

std::shared_ptr<cParamOptBtn> cParams::AddOptionButtonParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                                const QString &cpIniName)
{
    auto p = addParam(m_optionButtons, name, cp, cpIniName, nullptr, QStringLiteral("AddOptionButtonParameter"));
    if (p)
        p->setAvailable(cp != nullptr);
    return p;
}

std::shared_ptr<cParamOptBtn> cParams::AddOptionButtonParameterExtCp(const QString &name,
                                                                     const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_optionButtons, name, nullptr, QString(), configProp,
                      QStringLiteral("AddOptionButtonParameterExtCp"));
    if (p)
        p->setAvailable(configProp->Available());
    return p;
}

void cParams::AddOptionButton(const std::shared_ptr<cParamOptBtn> &param, ControlState *button, const QString &itemData)
{
    auto *b = ofKind(button, model::ControlKind::OptionButton);
    if (!param || !b)
        return;
    param->AddOptionButton(b, itemData);
    bindControl(b, param->Name());
}

std::shared_ptr<cParam2Byte> cParams::Add2ByteParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                        const QString &cpIniName)
{
    auto p = addParam(m_twoBytes, name, cp, cpIniName, nullptr, QStringLiteral("Add2ByteParameter"));
    if (p)
        p->setAvailable(cp != nullptr);
    return p;
}

std::shared_ptr<cParam2Byte> cParams::Add2ByteParameterExtCp(const QString &name,
                                                             const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_twoBytes, name, nullptr, QString(), configProp, QStringLiteral("Add2ByteParameterExtCp"));
    if (p)
        p->setAvailable(configProp->Available());
    return p;
}

std::shared_ptr<cParam1Byte> cParams::Add1ByteParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                        const QString &cpIniName)
{
    auto p = addParam(m_oneBytes, name, cp, cpIniName, nullptr, QStringLiteral("Add1ByteParameter"));
    if (p)
        p->setAvailable(cp != nullptr);
    return p;
}

std::shared_ptr<cParam1Byte> cParams::Add1ByteParameterExtCp(const QString &name,
                                                             const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_oneBytes, name, nullptr, QString(), configProp, QStringLiteral("Add1ByteParameterExtCp"));
    if (p)
        p->setAvailable(configProp->Available());
    return p;
}

std::shared_ptr<cParamASCII> cParams::AddAsciiParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                        const QString &cpIniName)
{
    auto p = addParam(m_asciis, name, cp, cpIniName, nullptr, QStringLiteral("AddAsciiParameter"));
    if (p)
        p->setAvailable(cp != nullptr);
    return p;
}

std::shared_ptr<cParamASCII> cParams::AddAsciiParameterExtCp(const QString &name,
                                                             const std::shared_ptr<cConfigProp> &configProp)
{
    if (!configProp)
        return nullptr;
    auto p = addParam(m_asciis, name, nullptr, QString(), configProp, QStringLiteral("AddAsciiParameterExtCp"));
    if (p)
        p->setAvailable(configProp->Available());
    return p;
}

std::shared_ptr<cConfigProp> cParams::AddConfigProp(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                    const QString &cpIniName)
{
    entry(QStringLiteral("Public Function AddConfigProp()"));
    if (m_configProps.contains(name)) {
        CpIo::logError(kModule, QStringLiteral("AddConfigProp"), kErrDuplicateKey,
                       QStringLiteral("This key is already associated with an element of this collection (%1)").arg(name));
        return nullptr;
    }
    auto w = std::make_shared<cConfigProp>();
    w->bind(this, name, m_io.adopt(cp), cpIniName, ownerOf(cp));
    m_configProps.add(name, w);
    return w;
}

// ---------------- lookups ----------------

std::shared_ptr<cParamTextBox> cParams::TextBoxParameterByControlIndex(int index) const
{
    for (const auto &p : m_textBoxes.items()) {
        if (p->TextBoxControl() && controlIndex(p->TextBoxControl()) == index)
            return p;
    }
    return nullptr;
}

std::shared_ptr<cParamComboBox> cParams::ComboBoxParameterByControlIndex(int index) const
{
    for (const auto &p : m_comboBoxes.items()) {
        if (p->ComboBoxControl() && controlIndex(p->ComboBoxControl()) == index)
            return p;
    }
    return nullptr;
}

std::shared_ptr<cParamBase> cParams::ParameterAllByName(const QString &name, int parameterType) const
{
    switch (parameterType) {
    case PA_CLASSID_TEXTBOX_PARAMETER:
        return m_textBoxes.byName(name);
    case PA_CLASSID_COMBOBOX_PARAMTER:
        return m_comboBoxes.byName(name);
    case PA_CLASSID_CHECKBOX_PARAMETER:
        return m_checkBoxes.byName(name);
    case PA_CLASSID_OPTIONBUTTON_PARAMETER:
        return m_optionButtons.byName(name);
    case PA_CLASSID_1BYTE_PARAMETER:
        return m_oneBytes.byName(name);
    case PA_CLASSID_2BYTE_PARAMETER:
        return m_twoBytes.byName(name);
    default:
        break;
    }
    if (auto p = m_oneBytes.byName(name))
        return p;
    if (auto p = m_twoBytes.byName(name))
        return p;
    if (auto p = m_checkBoxes.byName(name))
        return p;
    if (auto p = m_comboBoxes.byName(name))
        return p;
    if (auto p = m_optionButtons.byName(name))
        return p;
    if (auto p = m_textBoxes.byName(name))
        return p;
    return nullptr;
}

QVector<std::shared_ptr<cParamBase>> cParams::inRegistryOrder() const
{
    QVector<std::shared_ptr<cParamBase>> out;
    out.reserve(m_all.size());
    out << asBase(m_oneBytes) << asBase(m_twoBytes) << asBase(m_checkBoxes) << asBase(m_comboBoxes)
        << asBase(m_optionButtons) << asBase(m_textBoxes) << asBase(m_asciis);
    return out;
}

// ---------------- event forwarding ----------------

void cParams::TextBox_Change_Event(ControlState *textBox)
{
    if (auto p = m_textBoxes.byName(controlTag(textBox)))
        p->TextBox_Change_Event();
}

void cParams::TextBox_KeyPress_Event(ControlState *textBox, int &keyAscii)
{
    if (auto p = m_textBoxes.byName(controlTag(textBox)))
        p->TextBox_KeyPress_Event(keyAscii);
}

void cParams::TextBox_LostFocus_Event(ControlState *textBox)
{
    if (auto p = m_textBoxes.byName(controlTag(textBox)))
        p->TextBox_LostFocus_Event();
}

void cParams::TextBox_Validate_Event(ControlState *textBox, bool &cancel)
{
    if (auto p = m_textBoxes.byName(controlTag(textBox)))
        p->TextBox_Validate_Event(cancel);
}

void cParams::ComboBox_Change_Event(ControlState *comboBox)
{
    for (const auto &p : m_comboBoxes.items()) {
        if (comboBox && p->ComboBoxControl() == comboBox) {
            p->ComboBox_Change_Event();
            return;
        }
    }
}

void cParams::CheckBox_Click_Event(ControlState *checkBox)
{
    for (const auto &p : m_checkBoxes.items()) {
        if (checkBox && p->CheckBoxControl() == checkBox) {
            p->CheckBox_Click_Event();
            return;
        }
    }
}

void cParams::OptionButton_Click_Event(ControlState *optionButton)
{
    const auto *b = optionButton;
    if (!b)
        return;
    for (const auto &p : m_optionButtons.items()) {
        const int i = p->indexOf(b);
        if (i > 0) {
            p->OptionButton_Click_Event(i);
            return;
        }
    }
}

void cParams::connectControlEvents(bool on)
{
    if (!on) {
        delete m_events;
        m_events = nullptr;
        return;
    }
    if (m_events)
        return;
    m_events = new ControlEvents(this);
    for (const auto &p : m_textBoxes.items())
        m_events->attach(p->TextBoxControl());
    for (const auto &p : m_comboBoxes.items())
        m_events->attach(p->ComboBoxControl());
    for (const auto &p : m_checkBoxes.items())
        m_events->attach(p->CheckBoxControl());
    for (const auto &p : m_optionButtons.items()) {
        for (int i = 1; i <= p->OptionButtonsCount(); ++i)
            m_events->attach(p->OptionButton(i));
    }
}

// ---------------- bulk ----------------

bool cParams::isToBeWritten(const cParamBase &p)
{
    return p.Available() && !p.DontWriteToLns() && p.valueKnown();
}

void cParams::ReadFromLns()
{
    entry(QStringLiteral("Public Sub ReadFromLns()"));
    // One transaction: every further read of a CP is served from the first,
    // so the device sees one read per CP however many fields share it.
    const bool tx = m_io.startTransaction(QStringLiteral("ReadFromLns"));
    m_io.beginReadBatch();
    m_lastReadCount = 0;
    m_lastUnread.clear();
    const auto note = [this](const cParamBase &p) {
        ++m_lastReadCount;
        if (p.lastReadFailed())
            m_lastUnread << p.Name();
    };
    const auto all = inRegistryOrder();
    for (const auto &p : all) {
        if (p->ConfigProperty() && p->Available() && !p->DontReadFromLns()) {
            p->ReadFromLns();
            note(*p);
        }
    }
    for (const auto &w : m_configProps.items())
        w->ReadFromLns(false);
    for (const auto &p : all) {
        if (p->Available() && p->CpIsExternal() && p->ConfigPropExt()->CpFetched()) {
            p->ReadFromExtCp();
            note(*p);
        }
    }
    m_io.endReadBatch();
    if (tx)
        m_io.commitTransaction(QStringLiteral("ReadFromLns"));
}

void cParams::WriteAllParamsToExtCps()
{
    for (const auto &p : inRegistryOrder()) {
        if (p->Available() && p->CpIsExternal() && p->ConfigPropExt()->CpFetched() && p->valueKnown())
            p->WriteToExtCp();
    }
}

bool cParams::WriteToLns(bool writeCpNamesToLogger)
{
    entry(QStringLiteral("Public Sub WriteToLns()"));
    if (writeCpNamesToLogger && m_window) {
        m_window->LogLine(QStringLiteral("  ") + gLoadResString(1553), kColorBlack);
        for (const QString &name : GetAllCpNamesShouldBeWrittenToLns())
            m_window->LogLine(QStringLiteral("    - ") + name, kColorGreen);
        m_window->LogLine(QString(), kColorBlack);
    }
    m_io.clearFailures();
    const bool tx = m_io.startTransaction(QStringLiteral("WriteToLns"));

    // The changed flags before the write: a parameter whose CP does not
    // reach the device keeps the flag it had.
    QVector<QPair<std::shared_ptr<cParamBase>, bool>> before;
    QStringList unknown;
    const auto all = inRegistryOrder();
    m_io.beginWriteBatch();
    for (const auto &p : all) {
        if (!p->Available() || p->DontWriteToLns())
            continue;
        if (!p->valueKnown()) {
            unknown << p->Name();
            continue;
        }
        before << qMakePair(p, p->Changed());
        p->WriteToLns();
    }
    for (const auto &p : all) {
        if (p->Available() && p->CpIsExternal() && p->ConfigPropExt()->CpFetched() && p->valueKnown()) {
            before << qMakePair(p, p->Changed());
            p->WriteToExtCp();
        }
    }
    for (const auto &w : m_configProps.items()) {
        if (!w->DontWriteToLns() && w->Available())
            w->WriteToLns();
    }
    // Each CP goes out once, with all its fields merged.
    m_io.endWriteBatch();
    bool ok = !m_io.anyWriteFailed();
    if (tx)
        ok = m_io.commitTransaction(QStringLiteral("WriteToLns")) && ok;

    m_lastLeftOut = unknown;
    if (!unknown.isEmpty()) {
        platform::TraceLog::instance().write(
            QStringLiteral("[cParams] WriteToLns: not written, the value was never read from the device: ") +
            unknown.join(QStringLiteral(", ")));
    }
    if (!ok) {
        for (const auto &pair : before) {
            if (m_io.writeFailed(cpOf(*pair.first)))
                pair.first->setChanged(pair.second);
        }
    }
    return ok;
}

QVector<std::shared_ptr<cParamBase>> cParams::GetAllParamsShouldBeWrittenToLns() const
{
    QVector<std::shared_ptr<cParamBase>> out;
    for (const auto &p : inRegistryOrder()) {
        if (isToBeWritten(*p))
            out << p;
    }
    return out;
}

QVector<lns::ConfigPropertyPtr> cParams::GetAllCpsShouldBeWrittenToLns() const
{
    QVector<lns::ConfigPropertyPtr> out;
    QSet<QString> names;
    for (const auto &p : GetAllParamsShouldBeWrittenToLns()) {
        const lns::ConfigPropertyPtr cp = cpOf(*p);
        if (!cp)
            continue;
        const QString name = nameOf(cp);
        if (names.contains(name))
            continue;
        names.insert(name);
        out << cp;
    }
    return out;
}

QStringList cParams::GetAllCpNamesShouldBeWrittenToLns() const
{
    QStringList out;
    for (const auto &cp : GetAllCpsShouldBeWrittenToLns())
        out << nameOf(cp);
    return out;
}

bool cParams::AnyParameterValueIsInvalid() const
{
    for (const auto &p : m_textBoxes.items()) {
        if (p->Available() && p->ValueIsInvalid())
            return true;
    }
    for (const auto &p : m_comboBoxes.items()) {
        // A value never read is not written, so it cannot stop a write.
        if (p->Available() && p->valueKnown() && !p->CurrentValueIsInComboList())
            return true;
    }
    return false;
}

// ---------------- writing into another device ----------------

bool cParams::writeParamsToTarget(const QVector<std::shared_ptr<cParamBase>> &params,
                                  const QVector<std::shared_ptr<cConfigProp>> &wrappers, lns::ObjectPtr target,
                                  const platform::IniFile *iniFile, const QString &section, bool device,
                                  const QString &procedure)
{
    auto templateOf = [&](const lns::ObjectPtr &t) {
        lns::TemplateContext ctx;
        ctx.ini = iniFile;
        try {
            if (auto dev = std::dynamic_pointer_cast<lns::AppDevice>(lns::findAncestor(t, lns::ClsAppDevice)))
                ctx.deviceTemplate = dev->deviceTemplate();
        } catch (const lns::LnsError &e) {
            // Without the device's template the INI's own sections answer.
            platform::traceCaughtError(procedure, e.number(), e.description());
        }
        return ctx;
    };
    auto fetchInTarget = [&](const QString &cpIniName, bool *ok) -> lns::ConfigPropertyPtr {
        const lns::TemplateContext ctx = templateOf(target);
        if (device)
            return params::FetchDevCp(cpIniName, section, ctx, std::dynamic_pointer_cast<lns::AppDevice>(target), ok);
        return params::FetchLmoCp(cpIniName, section, ctx, std::dynamic_pointer_cast<lns::LonMarkObject>(target), ok);
    };
    auto notFound = [&](const lns::ConfigPropertyPtr &remembered) {
        if (m_cpNotFound)
            m_cpNotFound(nameOf(remembered), target);
    };
    auto unexpected = [&](const QString &what, const char *message, const lns::ConfigPropertyPtr &remembered) {
        const QString text = QString::fromLatin1(message) + QStringLiteral("\nNummer : 0\nBeschreibung : ") + what +
                             QStringLiteral("\nZeile : 0\nConfigProperty : ") + nameOf(remembered);
        platform::messages().show(platform::MsgIcon::Critical, messageTitle(), text, platform::MB_OK);
    };

    for (const auto &p : params) {
        if (p->DontWriteToLns() || !p->Available() || p->CpIsExternal() || !p->valueKnown())
            continue;
        const lns::ConfigPropertyPtr remembered = p->ConfigProperty();
        // Copying to another device leaves this device's changed flags alone.
        const bool changed = p->Changed();
        try {
            bool ok = false;
            lns::ConfigPropertyPtr cp;
            try {
                cp = fetchInTarget(p->CpIniName(), &ok);
            } catch (const lns::LnsError &) {
                ok = false;
            }
            p->setConfigProperty(cp);
            if (!ok || !cp)
                notFound(remembered);
            else
                p->WriteToLns();
        } catch (const std::exception &e) {
            p->setConfigProperty(remembered);
            p->setChanged(changed);
            unexpected(QString::fromLocal8Bit(e.what()),
                       device ? "Fehler in WriteParamsToLnsDev !!!" : "Fehler in WriteParamsToLnsLmo !!!", remembered);
            return false;
        }
        p->setConfigProperty(remembered);
        p->setChanged(changed);
    }
    for (const auto &w : wrappers) {
        if (w->DontWriteToLns() || !w->Available())
            continue;
        const lns::ConfigPropertyPtr remembered = w->ConfigProperty();
        try {
            bool ok = false;
            lns::ConfigPropertyPtr cp;
            try {
                cp = fetchInTarget(w->CpIniName(), &ok);
            } catch (const lns::LnsError &) {
                ok = false;
            }
            w->setConfigProperty(cp);
            if (!ok || !cp)
                notFound(remembered);
            else
                w->WriteToLns();
        } catch (const std::exception &e) {
            w->setConfigProperty(remembered);
            unexpected(QString::fromLocal8Bit(e.what()),
                       device ? "Fehler in WriteExtCpsToLnsDev !!!" : "Fehler in WriteExtCpsToLnsLmo !!!", remembered);
            return false;
        }
        w->setConfigProperty(remembered);
    }
    Q_UNUSED(procedure);
    return true;
}

bool cParams::WriteParamsToLnsLmo(const QVector<std::shared_ptr<cParamBase>> &params,
                                  const lns::LonMarkObjectPtr &lonMarkObject, const platform::IniFile *iniFile,
                                  const QString &iniFileCpSection)
{
    entry(QStringLiteral("Private Function WriteParamsToLnsLmo()"));
    return writeParamsToTarget(params, {}, lonMarkObject, iniFile, iniFileCpSection, false,
                               QStringLiteral("WriteParamsToLnsLmo"));
}

bool cParams::WriteParamsToLnsDev(const QVector<std::shared_ptr<cParamBase>> &params,
                                  const lns::AppDevicePtr &appDevice, const platform::IniFile *iniFile,
                                  const QString &iniFileCpSection)
{
    entry(QStringLiteral("Private Function WriteParamsToLnsDev()"));
    return writeParamsToTarget(params, {}, appDevice, iniFile, iniFileCpSection, true,
                               QStringLiteral("WriteParamsToLnsDev"));
}

namespace {
template <class F>
bool writeIntoTarget(const cParams &params, CpIo &io, const QString &procedure, F &&registries)
{
    io.clearFailures();
    const bool tx = io.startTransaction(procedure);
    // The fields of a CP the set makes whole are held back and the CP is
    // sent once, inside the transaction.
    io.setCoveredForeignCps(tx ? cpsCoveredBySet(params) : QSet<QString>());
    bool ok = registries();
    io.setCoveredForeignCps({});
    if (ok && tx)
        io.flushForeignMerges(QStringLiteral("cParams"), procedure);
    if (ok) {
        // A commit the object server refuses means the target holds none of
        // the values: that is a failure, not a success.
        return tx ? io.commitTransaction(procedure) : !io.anyWriteFailed();
    }
    if (tx)
        io.cancelTransaction(procedure);
    return false;
}
} // namespace

bool cParams::WriteToLnsLmo(const lns::LonMarkObjectPtr &lonMarkObject, const platform::IniFile *iniFile,
                            const QString &iniFileCpSection)
{
    entry(QStringLiteral("Public Function WriteToLnsLmo()"));
    return writeIntoTarget(*this, m_io, QStringLiteral("WriteToLnsLmo"), [&]() {
        for (const auto &reg : {asBase(m_oneBytes), asBase(m_twoBytes), asBase(m_checkBoxes), asBase(m_comboBoxes),
                                asBase(m_optionButtons), asBase(m_textBoxes), asBase(m_asciis)}) {
            if (!WriteParamsToLnsLmo(reg, lonMarkObject, iniFile, iniFileCpSection))
                return false;
        }
        return writeParamsToTarget({}, m_configProps.items(), lonMarkObject, iniFile, iniFileCpSection, false,
                                   QStringLiteral("WriteExtCpsToLnsLmo"));
    });
}

bool cParams::WriteToLnsDev(const lns::AppDevicePtr &appDevice, const platform::IniFile *iniFile,
                            const QString &iniFileCpSection)
{
    entry(QStringLiteral("Public Function WriteToLnsDev()"));
    return writeIntoTarget(*this, m_io, QStringLiteral("WriteToLnsDev"), [&]() {
        for (const auto &reg : {asBase(m_oneBytes), asBase(m_twoBytes), asBase(m_checkBoxes), asBase(m_comboBoxes),
                                asBase(m_optionButtons), asBase(m_textBoxes), asBase(m_asciis)}) {
            if (!WriteParamsToLnsDev(reg, appDevice, iniFile, iniFileCpSection))
                return false;
        }
        return writeParamsToTarget({}, m_configProps.items(), appDevice, iniFile, iniFileCpSection, true,
                                   QStringLiteral("WriteExtCpsToLnsDev"));
    });
}

// ---------------- fetch wrappers ----------------

lns::ConfigPropertyPtr cParams::fetch(const QString &cpIniName, bool deviceScope, const QString &procedure,
                                      lns::ObjectPtr *owner)
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Function %1()").arg(procedure));
    if (deviceScope ? !m_device : !m_object) {
        CpIo::logError(QStringLiteral("M_PlugIn"), procedure, lns::ErrNotOpen,
                       QStringLiteral("no %1 to look %2 up in")
                           .arg(deviceScope ? QStringLiteral("device") : QStringLiteral("object"), cpIniName));
        return nullptr;
    }
    bool found = false;
    lns::ConfigPropertyPtr cp;
    try {
        cp = deviceScope ? lns::FetchDevCp(cpIniName, lns::kCpSection, m_template, m_device, &found)
                         : lns::FetchCp(cpIniName, lns::kCpSection, m_template, m_object, &found);
    } catch (const lns::LnsError &e) {
        CpIo::logError(QStringLiteral("M_PlugIn"), procedure, e.number(), e.description());
        return nullptr;
    }
    if (!found || !cp)
        return nullptr;
    *owner = deviceScope ? lns::ObjectPtr(m_device) : lns::ObjectPtr(m_object);
    return cp;
}

bool cParams::FetchTextBoxCp(const QString &cpIniName, int controlIndex, std::shared_ptr<cParamTextBox> *param,
                             const QString &name, bool deviceScope)
{
    lns::ObjectPtr owner;
    const auto cp = fetch(cpIniName, deviceScope, QStringLiteral("FetchTextBoxCp"), &owner);
    if (!cp)
        return false;
    m_pendingOwner = owner;
    ControlState *control = m_window ? m_window->control(QStringLiteral("TextBox"), controlIndex) : nullptr;
    auto p = AddTextBoxParameter(name.isEmpty() ? cpIniName : name, control, cp, cpIniName);
    if (!p)
        return false;
    if (param)
        *param = p;
    return true;
}

bool cParams::FetchComboBoxCp(const QString &cpIniName, int controlIndex, std::shared_ptr<cParamComboBox> *param,
                              const QString &name, bool deviceScope)
{
    lns::ObjectPtr owner;
    const auto cp = fetch(cpIniName, deviceScope, QStringLiteral("FetchComboBoxCp"), &owner);
    if (!cp)
        return false;
    m_pendingOwner = owner;
    ControlState *control = m_window ? m_window->control(QStringLiteral("ComboBox"), controlIndex) : nullptr;
    auto p = AddComboBoxParameter(name.isEmpty() ? cpIniName : name, control, cp, cpIniName);
    if (!p)
        return false;
    if (param)
        *param = p;
    return true;
}

bool cParams::Fetch1ByteCp(const QString &cpIniName, std::shared_ptr<cParam1Byte> *param, const QString &name,
                           bool deviceScope)
{
    lns::ObjectPtr owner;
    const auto cp = fetch(cpIniName, deviceScope, QStringLiteral("Fetch1ByteCp"), &owner);
    if (!cp)
        return false;
    m_pendingOwner = owner;
    auto p = Add1ByteParameter(name.isEmpty() ? cpIniName : name, cp, cpIniName);
    if (!p)
        return false;
    if (param)
        *param = p;
    return true;
}

bool cParams::Fetch2ByteCp(const QString &cpIniName, std::shared_ptr<cParam2Byte> *param, const QString &name,
                           bool deviceScope)
{
    lns::ObjectPtr owner;
    const auto cp = fetch(cpIniName, deviceScope, QStringLiteral("Fetch2ByteCp"), &owner);
    if (!cp)
        return false;
    m_pendingOwner = owner;
    auto p = Add2ByteParameter(name.isEmpty() ? cpIniName : name, cp, cpIniName);
    if (!p)
        return false;
    if (param)
        *param = p;
    return true;
}

} // namespace params
