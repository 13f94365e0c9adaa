#include "screenshottour.h"

#include "frmmain.h"

#include <QApplication>
#include <QDir>
#include <QFile>

namespace ui {

QString screenshotFileName(const QString &tabKey)
{
    QString key = tabKey;
    key.remove(QLatin1Char(':'));
    return QStringLiteral("page-") + key + QStringLiteral(".png");
}

QStringList runScreenshotTour(frmMain &window, const QString &folder)
{
    QStringList written;
    QDir().mkpath(folder);
    const QDir dir(folder);
    auto save = [&](QWidget &w, const QString &name) {
        QApplication::processEvents();
        const QString path = dir.filePath(name);
        if (w.grab().save(path))
            written << path;
    };

    NavigationBar *nav = window.navigationBar();
    const int startButton = qMax(0, nav->selected());
    for (int b = 0; b < nav->count(); ++b) {
        nav->select(b);
        window.navigationButtonClick(b);
        TabStrip *strip = window.currentTabStrip();
        if (!strip)
            continue;
        const int startTab = strip->selectedIndex();
        for (int t = 0; t < strip->count(); ++t) {
            strip->select(t);
            window.showPage(keyNumber(strip->key(t)));
            save(window, screenshotFileName(strip->key(t)));
        }
        if (startTab >= 0)
            strip->select(startTab);
    }
    if (nav->count() > 0) {
        nav->select(startButton);
        window.navigationButtonClick(startButton);
    }

    LoggerWindow *logger = window.loggerWindow();
    const bool wasShown = logger->isVisible();
    logger->show();
    save(*logger, QStringLiteral("logger-window.png"));
    if (!wasShown)
        logger->hide();

    QFile text(dir.filePath(QStringLiteral("logger.txt")));
    if (text.open(QIODevice::WriteOnly | QIODevice::Text)) {
        text.write(window.logger()->plainText().toUtf8());
        text.write("\n");
        written << text.fileName();
    }
    return written;
}

} // namespace ui
