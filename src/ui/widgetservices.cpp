#include "widgetservices.h"

#include <platform/tracelog.h>
#include <platform/version.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QVBoxLayout>

#include <cstdio>

namespace ui {

int WidgetMessages::show(const platform::Message &m)
{
    if (platform::unattendedRequested()) {
        platform::UnattendedMessages u;
        return u.show(m);
    }
    platform::TraceLog::instance().write(platform::messageLine(m));
    QMessageBox box;
    box.setWindowTitle(m.title);
    box.setText(m.text);
    switch (m.icon) {
    case platform::MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case platform::MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case platform::MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case platform::MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case platform::MsgIcon::None:
        break;
    }
    switch (m.buttons) {
    case platform::MB_OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case platform::MB_YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case platform::MB_YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (m.defaultButton) {
    case platform::ANS_Yes:
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case platform::ANS_No:
        box.setDefaultButton(QMessageBox::No);
        break;
    case platform::ANS_Cancel:
        box.setDefaultButton(QMessageBox::Cancel);
        break;
    default:
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return platform::ANS_Cancel;
    case QMessageBox::Yes:
        return platform::ANS_Yes;
    case QMessageBox::No:
        return platform::ANS_No;
    default:
        return platform::ANS_OK;
    }
}

platform::FileDialogAnswer WidgetFileDialogs::show(const platform::FileDialogRequest &r)
{
    if (platform::unattendedRequested()) {
        platform::UnattendedFileDialogs u;
        return u.show(r);
    }
    QFileDialog dlg(QApplication::activeWindow(), r.title, r.initialFolder);
    dlg.setNameFilters(platform::nameFilters(r.filter));
    const bool save = r.kind == platform::FileDialogKind::Save;
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // An open dialog takes only a file that exists; a save dialog a file in
    // a folder that exists, and asks before it replaces one when told to.
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QFileDialog::Options options;
    if (save && !(r.flags & platform::OFN_OVERWRITEPROMPT))
        options |= QFileDialog::DontConfirmOverwrite;
    dlg.setOptions(options);
    platform::FileDialogAnswer a;
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        a = platform::FileDialogAnswer::file(dlg.selectedFiles().constFirst());
    platform::TraceLog::instance().write(platform::fileDialogLine(r, a));
    return a;
}

StatusWindowWidget::StatusWindowWidget()
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , m_label(new QLabel(this))
{
    setWindowTitle(platform::kProductName + QLatin1Char(' ') + platform::versionText());
    // 5985 x 3795 twips at 15 twips per pixel.
    resize(399, 253);
    auto *layout = new QVBoxLayout(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    layout->addWidget(m_label);
}

void StatusWindowWidget::showWindow()
{
    show();
    QApplication::processEvents();
}

void StatusWindowWidget::hideWindow()
{
    hide();
}

void StatusWindowWidget::setText(const QString &text)
{
    m_label->setText(text);
    platform::TraceLog::instance().write(QStringLiteral("[status] ") + text);
    if (isVisible())
        QApplication::processEvents();
}

QString StatusWindowWidget::text() const
{
    return m_label->text();
}

void showAboutWindow(const host::AboutInfo &info)
{
    QStringList lines{info.productLine};
    if (!info.serverVersion.isEmpty())
        lines << info.serverVersion;
    lines << info.legalLines;
    if (platform::unattendedRequested()) {
        const QByteArray out = (QStringLiteral("ABOUT ") + info.caption + QStringLiteral(": ")
                                + lines.join(QStringLiteral("\\n")))
                                   .toUtf8()
            + '\n';
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stderr);
        platform::TraceLog::instance().write(QString::fromUtf8(out.trimmed()));
        return;
    }
    QDialog dlg;
    dlg.setWindowTitle(info.caption);
    auto *layout = new QVBoxLayout(&dlg);
    for (const QString &l : lines)
        layout->addWidget(new QLabel(l, &dlg));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    layout->addWidget(buttons);
    dlg.exec();
}

} // namespace ui
