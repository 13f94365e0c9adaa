// The help viewer and the two information windows the Help menu opens
// (program information and device information). All three are ordinary
// windows, not modal dialogs, so the main window stays usable beside them.
#pragma once

#include <QLabel>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

namespace ui {

// Shows the program's HTML manual and technical documentation.
class HelpViewer : public QWidget
{
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);
    // Opens the file; a context above 0 jumps to the anchor "ctx<context>"
    // when the page has it.
    bool open(const QString &file, int context);
    QTextBrowser *browser() const { return m_browser; }
    QUrl currentSource() const { return m_browser->source(); }

private:
    QTextBrowser *m_browser;
};

// One line of an information window: caption and value.
struct InfoLine
{
    QString caption;
    QString value;
};

// A small window of caption/value lines with an optional picture and a
// Close button; used for About and device information.
class InfoWindow : public QWidget
{
    Q_OBJECT
public:
    InfoWindow(const QString &objectName, const QString &title, const QList<InfoLine> &lines,
               const QStringList &footer, QWidget *parent = nullptr);
    QString text() const;
};

// The picture of the About window.
QPixmap aboutPicture();

} // namespace ui
