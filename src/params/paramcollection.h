// cParams: the registry of every parameter of one configuration run.
//
// It creates the parameters and shared CP wrappers, keeps them in typed
// registries keyed by name, forwards the page controls' events to the bound
// parameter, reads all parameters inside one transaction (one device read
// per CP) and writes them back inside one transaction (the fields of a
// shared CP are merged into its bytes and each CP is written once), copies
// the set into another device, and tells whether a shown value is invalid.
//
// Registries are walked in the order 1-byte, 2-byte, check box, combo box,
// option button, text box, ASCII. Names are compared without regard to case,
// as the registries' keys are.
#pragma once

#include "configprop.h"
#include "controlevents.h"
#include "cpfetch.h"
#include "cpio.h"
#include "paramchoice.h"
#include "paramfile.h"
#include "paramtextbox.h"
#include "rawparams.h"
#include "windowport.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <functional>
#include <memory>


namespace params {



template <class T>
class Registry
{
public:
    using Ptr = std::shared_ptr<T>;
    bool contains(const QString &name) const { return m_index.contains(name.toLower()); }
    bool add(const QString &name, const Ptr &p)
    {
        const QString key = name.toLower();
        if (m_index.contains(key))
            return false;
        m_index.insert(key, m_items.size());
        m_items << p;
        return true;
    }
    Ptr byName(const QString &name) const
    {
        const auto it = m_index.constFind(name.toLower());
        return it == m_index.constEnd() ? nullptr : m_items.at(*it);
    }
    // 1-based position.
    Ptr at(int position) const
    {
        return position >= 1 && position <= m_items.size() ? m_items.at(position - 1) : nullptr;
    }
    int count() const { return m_items.size(); }
    const QVector<Ptr> &items() const { return m_items; }

private:
    QVector<Ptr> m_items;
    QHash<QString, int> m_index;
};

class cParams : public QObject, public ParamOwner
{
    Q_OBJECT
public:
    explicit cParams(QObject *parent = nullptr);
    ~cParams() override;

    int ClassId() const { return PA_PARAMETERS; }

    // ---- what the collection works with ----
    void setWindow(WindowPort *window) { m_window = window; }
    WindowPort *window() const { return m_window; }
    lns::SystemPtr System() const { return m_io.system(); }
    void setSystem(const lns::SystemPtr &system) { m_io.setSystem(system); }
    void setTemplateContext(const lns::TemplateContext &ctx) { m_template = ctx; }
    // The LonMark object and device the fetch wrappers look CPs up in.
    void setConnection(const lns::LonMarkObjectPtr &object, const lns::AppDevicePtr &device);

    CpIo &cpIo() override { return m_io; }
    lns::TemplateContext templateContext() const override { return m_template; }
    QString messageTitle() const override;

    // ---- creation: each returns the new object, nullptr when the name is
    // already in the registry (logged as the registry's duplicate-key error
    // 457) ----
    std::shared_ptr<cParamTextBox> AddTextBoxParameter(const QString &name, ControlState *textBox,
                                                       const lns::ConfigPropertyPtr &cp, const QString &cpIniName);
    std::shared_ptr<cParamTextBox> AddTextBoxParameterExtCp(const QString &name, ControlState *textBox,
                                                            const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cParamComboBox> AddComboBoxParameter(const QString &name, ControlState *comboBox,
                                                         const lns::ConfigPropertyPtr &cp, const QString &cpIniName);
    std::shared_ptr<cParamComboBox> AddComboBoxParameterExtCp(const QString &name, ControlState *comboBox,
                                                              const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cParamCheckBox> AddCheckBoxParameter(const QString &name, ControlState *checkBox,
                                                         const lns::ConfigPropertyPtr &cp, const QString &cpIniName);
    std::shared_ptr<cParamCheckBox> AddCheckBoxParameterExtCp(const QString &name, ControlState *checkBox,
                                                              const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cParamOptBtn> AddOptionButtonParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                           const QString &cpIniName);
    std::shared_ptr<cParamOptBtn> AddOptionButtonParameterExtCp(const QString &name,
                                                                const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cParam2Byte> Add2ByteParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                   const QString &cpIniName);
    std::shared_ptr<cParam2Byte> Add2ByteParameterExtCp(const QString &name,
                                                        const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cParam1Byte> Add1ByteParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                   const QString &cpIniName);
    std::shared_ptr<cParam1Byte> Add1ByteParameterExtCp(const QString &name,
                                                        const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cParamASCII> AddAsciiParameter(const QString &name, const lns::ConfigPropertyPtr &cp,
                                                   const QString &cpIniName);
    std::shared_ptr<cParamASCII> AddAsciiParameterExtCp(const QString &name,
                                                        const std::shared_ptr<cConfigProp> &configProp);
    std::shared_ptr<cConfigProp> AddConfigProp(const QString &name, const lns::ConfigPropertyPtr &cp,
                                               const QString &cpIniName);

    // Adds a button to an option-button parameter and binds its events.
    void AddOptionButton(const std::shared_ptr<cParamOptBtn> &param, ControlState *button, const QString &itemData);

    // ---- lookups: by 1-based position, by name, counts; nullptr when not
    // there ----
    std::shared_ptr<cParamTextBox> TextBoxParameter(int index) const { return m_textBoxes.at(index); }
    std::shared_ptr<cParamComboBox> ComboBoxParameter(int index) const { return m_comboBoxes.at(index); }
    std::shared_ptr<cParamCheckBox> CheckBoxParameter(int index) const { return m_checkBoxes.at(index); }
    std::shared_ptr<cParamOptBtn> OptionButtonParameter(int index) const { return m_optionButtons.at(index); }
    std::shared_ptr<cParam2Byte> Parameter2Byte(int index) const { return m_twoBytes.at(index); }
    std::shared_ptr<cParam1Byte> Parameter1Byte(int index) const { return m_oneBytes.at(index); }
    std::shared_ptr<cParamASCII> ParameterAscii(int index) const { return m_asciis.at(index); }
    std::shared_ptr<cConfigProp> ConfigProps(int index) const { return m_configProps.at(index); }
    std::shared_ptr<cParamTextBox> TextBoxParameterByName(const QString &n) const { return m_textBoxes.byName(n); }
    std::shared_ptr<cParamComboBox> ComboBoxParameterByName(const QString &n) const { return m_comboBoxes.byName(n); }
    std::shared_ptr<cParamCheckBox> CheckBoxParameterByName(const QString &n) const { return m_checkBoxes.byName(n); }
    std::shared_ptr<cParamOptBtn> OptionButtonParameterByName(const QString &n) const
    {
        return m_optionButtons.byName(n);
    }
    std::shared_ptr<cParam2Byte> Parameter2ByteByName(const QString &n) const { return m_twoBytes.byName(n); }
    std::shared_ptr<cParam1Byte> Parameter1ByteByName(const QString &n) const { return m_oneBytes.byName(n); }
    std::shared_ptr<cParamASCII> ParameterAsciiByName(const QString &n) const { return m_asciis.byName(n); }
    std::shared_ptr<cConfigProp> ConfigPropByName(const QString &n) const { return m_configProps.byName(n); }
    int TextBoxParameterCount() const { return m_textBoxes.count(); }
    int ComboBoxParameterCount() const { return m_comboBoxes.count(); }
    int CheckBoxParameterCount() const { return m_checkBoxes.count(); }
    int OptionButtonParameterCount() const { return m_optionButtons.count(); }
    int Parameter2ByteCount() const { return m_twoBytes.count(); }
    int Parameter1ByteCount() const { return m_oneBytes.count(); }
    int ParameterAsciiCount() const { return m_asciis.count(); }
    int ConfigPropsCount() const { return m_configProps.count(); }
    const QVector<std::shared_ptr<cParamBase>> &AllParameters() const { return m_all; }

    // The first parameter whose control sits at that position of its array.
    std::shared_ptr<cParamTextBox> TextBoxParameterByControlIndex(int controlIndex) const;
    std::shared_ptr<cParamComboBox> ComboBoxParameterByControlIndex(int controlIndex) const;
    // With a type 1001..1006 the lookup of that kind; otherwise the first
    // parameter of that name in the order 1-byte, 2-byte, check box, combo
    // box, option button, text box.
    std::shared_ptr<cParamBase> ParameterAllByName(const QString &name, int parameterType = 0) const;

    // ---- event forwarding from the page controls ----
    void TextBox_Change_Event(ControlState *textBox);
    void TextBox_KeyPress_Event(ControlState *textBox, int &keyAscii);
    void TextBox_LostFocus_Event(ControlState *textBox);
    void TextBox_Validate_Event(ControlState *textBox, bool &cancel);
    void ComboBox_Change_Event(ControlState *comboBox);
    void CheckBox_Click_Event(ControlState *checkBox);
    void OptionButton_Click_Event(ControlState *optionButton);

    // Connects every bound control's signals and key/focus events to the
    // forwarding above (for windows that do not forward themselves, headless
    // drivers and tests); off by default. The forwarding of the text box
    // change and the combo box and check box clicks pauses while
    // setEventsSuspended(true) (the window's value-loading flag).
    void connectControlEvents(bool on);
    ControlEvents *controlEvents() const { return m_events; }

    // ---- bulk operations ----
    // Reads every parameter and wrapper inside one transaction.
    void ReadFromLns();
    // Of the last ReadFromLns: how many parameters it read, and the names of
    // those whose CP gave no value (in registry order).
    int lastReadCount() const { return m_lastReadCount; }
    QStringList lastUnreadNames() const { return m_lastUnread; }
    // Of the last WriteToLns: the parameters left out because their value
    // was never read.
    QStringList lastLeftOutUnread() const { return m_lastLeftOut; }
    // Writes every parameter to be written inside one transaction; true when
    // every CP write reached the device. On failure the parameters whose CP
    // was not written keep the changed flag they had, and failedCpNames()
    // names the CPs.
    bool WriteToLns(bool writeCpNamesToLogger = false);
    void WriteAllParamsToExtCps();
    QStringList failedCpNames() const { return m_io.failedCpNames(); }

    // Copies the current values into the same CPs of another LonMark object
    // or device (inside one transaction; cancelled at the first failure).
    bool WriteToLnsLmo(const lns::LonMarkObjectPtr &lonMarkObject, const platform::IniFile *iniFile,
                       const QString &iniFileCpSection);
    bool WriteToLnsDev(const lns::AppDevicePtr &appDevice, const platform::IniFile *iniFile,
                       const QString &iniFileCpSection);
    bool WriteParamsToLnsLmo(const QVector<std::shared_ptr<cParamBase>> &params,
                             const lns::LonMarkObjectPtr &lonMarkObject, const platform::IniFile *iniFile,
                             const QString &iniFileCpSection);
    bool WriteParamsToLnsDev(const QVector<std::shared_ptr<cParamBase>> &params, const lns::AppDevicePtr &appDevice,
                             const platform::IniFile *iniFile, const QString &iniFileCpSection);
    // Raised (called) when a CP is not found in the target while writing to
    // another device; the handler may replace the target.
    using CpNotFoundHandler = std::function<void(const QString &cpName, lns::ObjectPtr &target)>;
    void setCpNotFoundWhileWriting(CpNotFoundHandler handler) { m_cpNotFound = std::move(handler); }

    QVector<std::shared_ptr<cParamBase>> GetAllParamsShouldBeWrittenToLns() const;
    QVector<lns::ConfigPropertyPtr> GetAllCpsShouldBeWrittenToLns() const;
    QStringList GetAllCpNamesShouldBeWrittenToLns() const;
    bool AnyParameterValueIsInvalid() const;

    // ---- the fetch wrappers: look the CP up through the device template
    // (object scope, or device scope when `deviceScope`), register the
    // parameter under `name` (the INI name when empty) bound to the
    // window's control of that index, and hand it back. False when the CP
    // is not in the template or the device, or the name is taken. ----
    bool FetchTextBoxCp(const QString &cpIniName, int controlIndex, std::shared_ptr<cParamTextBox> *param = nullptr,
                        const QString &name = QString(), bool deviceScope = false);
    bool FetchComboBoxCp(const QString &cpIniName, int controlIndex, std::shared_ptr<cParamComboBox> *param = nullptr,
                         const QString &name = QString(), bool deviceScope = false);
    bool Fetch1ByteCp(const QString &cpIniName, std::shared_ptr<cParam1Byte> *param = nullptr,
                      const QString &name = QString(), bool deviceScope = false);
    bool Fetch2ByteCp(const QString &cpIniName, std::shared_ptr<cParam2Byte> *param = nullptr,
                      const QString &name = QString(), bool deviceScope = false);

    // ---- the parameter data file (paramfile.h) ----
    // Creates or replaces the file; true when the whole file was written. A
    // failed write leaves no file behind (an existing file stays as it was).
    bool WriteToFile(const QString &fileName, const QString &plugInName, const QString &programId,
                     const QString &dataFileVersion);
    // Sets the parameters from the file and returns an eLoadFromFileErrors
    // value; a refused header or file changes no parameter. The program ids
    // that may be loaded besides `programId` come from the device template.
    int LoadFromFile(const QString &fileName, const platform::IniFile *plugInIniFile, const QString &plugInName,
                     const QString &programId, const QString &dataFileVersion);
    // What the last LoadFromFile did and noticed.
    const LoadReport &lastLoadReport() const { return m_lastLoad; }

    // Write filter: Available, not DontWriteToLns, and a value that is known
    // (read from the device or set since).
    static bool isToBeWritten(const cParamBase &p);

private:
    template <class P>
    std::shared_ptr<P> addParam(Registry<P> &registry, const QString &name, const lns::ConfigPropertyPtr &cp,
                                const QString &cpIniName, const std::shared_ptr<cConfigProp> &ext,
                                const QString &procedure);
    QVector<std::shared_ptr<cParamBase>> inRegistryOrder() const;
    lns::ObjectPtr ownerOf(const lns::ConfigPropertyPtr &cp) const;
    lns::ConfigPropertyPtr fetch(const QString &cpIniName, bool deviceScope, const QString &procedure,
                                 lns::ObjectPtr *owner);
    void bindControl(ControlState *control, const QString &name);
    bool writeParamsToTarget(const QVector<std::shared_ptr<cParamBase>> &params,
                             const QVector<std::shared_ptr<cConfigProp>> &wrappers, lns::ObjectPtr target,
                             const platform::IniFile *iniFile, const QString &section, bool device,
                             const QString &procedure);

    CpIo m_io;
    lns::TemplateContext m_template;
    lns::LonMarkObjectPtr m_object;
    lns::AppDevicePtr m_device;
    WindowPort *m_window = nullptr;
    ControlEvents *m_events = nullptr;
    CpNotFoundHandler m_cpNotFound;
    // The owner a fetch wrapper found the CP in, for the parameter it adds.
    lns::ObjectPtr m_pendingOwner;

    Registry<cParamTextBox> m_textBoxes;
    Registry<cParamComboBox> m_comboBoxes;
    Registry<cParamCheckBox> m_checkBoxes;
    Registry<cParamOptBtn> m_optionButtons;
    Registry<cParam2Byte> m_twoBytes;
    Registry<cParam1Byte> m_oneBytes;
    Registry<cParamASCII> m_asciis;
    Registry<cConfigProp> m_configProps;
    QVector<std::shared_ptr<cParamBase>> m_all;
    LoadReport m_lastLoad;
    int m_lastReadCount = 0;
    QStringList m_lastUnread;
    QStringList m_lastLeftOut;
};

} // namespace params
