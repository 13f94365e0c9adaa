// The control states behave as the controls they stand for (a list selects
// its first entry, keeps its selection on the entry when others come and
// go, a text box cuts to its length, option buttons of a page exclude each
// other), a blocker silences the logic but never the view, and the page
// model holds every designed control on its page. No application with
// widgets or a display.
#include <model/pagemodel.h>
#include <model/pagetable.h>
#include <platform/resstrings.h>

#include <QSignalBlocker>
#include <QSignalSpy>
#include <QtTest>

using model::Aspect;
using model::ControlKind;
using model::ControlState;

class TstModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listSelection_data()
    {
        QTest::addColumn<QString>("steps"); // a<n>: add, i<pos>: insert at, r<pos>: remove, s<pos>: select, c: clear
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("emitted");
        QTest::newRow("first entry is selected") << "a0" << 0 << 1;
        QTest::newRow("more entries keep it") << "a0 a1 a2" << 0 << 1;
        QTest::newRow("insert in front moves it") << "a0 a1 s1 i0" << 2 << 3;
        QTest::newRow("insert behind keeps it") << "a0 a1 s0 i2" << 0 << 1;
        QTest::newRow("remove in front moves it") << "a0 a1 a2 s2 r0" << 1 << 3;
        QTest::newRow("remove the selected takes the next") << "a0 a1 a2 s1 r1" << 1 << 3;
        QTest::newRow("remove the last selected takes the one before") << "a0 a1 s1 r1" << 0 << 3;
        QTest::newRow("remove the only one selects nothing") << "a0 r0" << -1 << 2;
        QTest::newRow("clear selects nothing") << "a0 a1 s1 c" << -1 << 3;
        QTest::newRow("out of range selects nothing") << "a0 s5" << -1 << 2;
    }
    void listSelection()
    {
        QFETCH(QString, steps);
        QFETCH(int, current);
        QFETCH(int, emitted);
        ControlState list(ControlKind::ComboBox, QStringLiteral("ComboBox3"));
        QSignalSpy spy(&list, &ControlState::currentIndexChanged);
        for (const QString &step : steps.split(QLatin1Char(' '))) {
            const int n = step.mid(1).toInt();
            switch (step.at(0).toLatin1()) {
            case 'a': list.addItem(QString::number(n), n); break;
            case 'i': list.insertItem(n, QStringLiteral("new"), 99); break;
            case 'r': list.removeItem(n); break;
            case 's': list.setCurrentIndex(n); break;
            case 'c': list.clear(); break;
            }
        }
        QCOMPARE(list.currentIndex(), current);
        QCOMPARE(spy.count(), emitted);
        QCOMPARE(list.index(), 3);
    }

    void invalidEntryMark()
    {
        ControlState list(ControlKind::ComboBox, QStringLiteral("ComboBox1"));
        list.addItem(QStringLiteral("one"), 1);
        list.insertItem(0, QStringLiteral("- invalid -"), 7);
        list.setItemData(0, true, model::kInvalidEntryRole);
        QVERIFY(list.itemData(0, model::kInvalidEntryRole).toBool());
        QVERIFY(!list.itemData(1, model::kInvalidEntryRole).toBool());
        QCOMPARE(list.itemData(0).toInt(), 7);
        QCOMPARE(list.currentText(), QStringLiteral("one"));
    }

    void textBoxLength_data()
    {
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fits") << 5 << "21.5" << "21.5";
        QTest::newRow("cut") << 3 << "21.5" << "21.";
        QTest::newRow("no limit") << model::kNoLengthLimit << "123456789" << "123456789";
    }
    void textBoxLength()
    {
        QFETCH(int, maxLength);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        ControlState box(ControlKind::TextBox, QStringLiteral("TextBox20"));
        box.setMaxLength(maxLength);
        box.setText(text);
        QCOMPARE(box.text(), shown);
        // A label is never cut.
        ControlState label(ControlKind::Label, QStringLiteral("Label20"));
        label.setMaxLength(maxLength);
        label.setText(text);
        QCOMPARE(label.text(), text);
    }

    void optionButtonsExcludeEachOther()
    {
        QObject page;
        auto *a = new ControlState(ControlKind::OptionButton, QStringLiteral("Option0"), 0, &page);
        auto *b = new ControlState(ControlKind::OptionButton, QStringLiteral("Option1"), 0, &page);
        QSignalSpy offA(a, &ControlState::toggled);
        a->setChecked(true);
        b->setChecked(true);
        QVERIFY(!a->isChecked());
        QVERIFY(b->isChecked());
        QCOMPARE(offA.count(), 2);
        QCOMPARE(offA.last().first().toBool(), false);
        // The checked one cannot be switched off alone.
        b->setChecked(false);
        QVERIFY(b->isChecked());
        b->setAutoExclusive(false);
        b->setChecked(false);
        QVERIFY(!b->isChecked());
    }

    void blockerSilencesLogicNotView()
    {
        ControlState box(ControlKind::TextBox, QStringLiteral("TextBox3"));
        QSignalSpy logic(&box, &ControlState::textChanged);
        QSignalSpy view(box.notifier(), &model::ViewNotifier::viewChanged);
        {
            const QSignalBlocker quiet(&box);
            box.setText(QStringLiteral("21.0"));
        }
        QCOMPARE(logic.count(), 0);
        QCOMPARE(view.count(), 1);
        QCOMPARE(view.first().first().value<Aspect>(), Aspect::Text);
        box.setText(QStringLiteral("21.0")); // unchanged: nothing to tell
        QCOMPARE(logic.count(), 0);
        QCOMPARE(view.count(), 1);
    }

    void userEvents()
    {
        ControlState box(ControlKind::TextBox, QStringLiteral("TextBox3"));
        connect(&box, &ControlState::keyPressed, this, [](int *key) {
            if (*key == ',')
                *key = '.';
        });
        QStringList order;
        connect(&box, &ControlState::aboutToLeave, this, [&order] { order << QStringLiteral("about"); });
        connect(&box, &ControlState::leaving, this, [&order](bool *cancel) {
            order << QStringLiteral("leaving");
            *cancel = true;
        });
        int key = ',';
        box.pressKey(key);
        QCOMPARE(key, int('.'));
        bool cancel = false;
        box.leave(cancel);
        QVERIFY(cancel);
        QCOMPARE(order, (QStringList{QStringLiteral("about"), QStringLiteral("leaving")}));
        ControlState check(ControlKind::CheckBox, QStringLiteral("CheckBox2"));
        QSignalSpy state(&check, &ControlState::stateChanged);
        check.click();
        QCOMPARE(check.checkState(), Qt::Checked);
        QCOMPARE(state.count(), 1);
    }

    void pageModelHoldsTheDesignedControls()
    {
        model::PageModel pages;
        int designed = 0;
        for (const model::PageDesign &page : model::pageTable())
            for (const model::ControlDesign &c : page.controls) {
                const QString name = c.objectName();
                if (name.isEmpty())
                    continue;
                ++designed;
                ControlState *s = pages.named(name);
                QVERIFY2(s, qPrintable(name));
                QCOMPARE(s->kind(), c.kind);
                QCOMPARE(s->page(), page.page);
                QCOMPARE(s->index(), c.index);
            }
        QCOMPARE(pages.controls().size(), designed);
        QCOMPARE(pages.control(QStringLiteral("TextBox"), 27), pages.named(QStringLiteral("TextBox27")));
        QVERIFY(!pages.control(QStringLiteral("TextBox"), 999));
        QCOMPARE(pages.named(QStringLiteral("fraHvacAppMode"))->kind(), ControlKind::Group);
        QCOMPARE(pages.named(QStringLiteral("TextBox27"))->page(), 6);
    }

    void resetToDesignForgetsTheLastController();
    void captionsFromTheStringTable_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 0;
        QTest::newRow("German") << 1000;
    }
    void captionsFromTheStringTable()
    {
        QFETCH(int, language);
        platform::setLanguageOffset(language);
        model::PageModel pages;
        pages.loadCaptions();
        const QString damper = pages.named(QStringLiteral("Label49"))->text();
        QCOMPARE(damper, gLoadResString(1141));
        QCOMPARE(pages.named(QStringLiteral("CheckBox5"))->text(), gLoadResString(1150));
        QCOMPARE(pages.named(QStringLiteral("fraHvacAppMode"))->text(), gLoadResString(1030));
        // The first item of a list string.
        QCOMPARE(pages.named(QStringLiteral("Label20"))->text(), gLoadResString(1103, 1));
        platform::setLanguageOffset(0);
        QVERIFY(!damper.isEmpty());
        QCOMPARE(damper == gLoadResString(1141), language == 0);
        // Value controls keep their values.
        QVERIFY(pages.named(QStringLiteral("TextBox27"))->text().isEmpty());
    }
};

// Everything a control shows, through its public reading side only, so a
// field the reset forgets shows up here.
static QString shownState(const ControlState *s)
{
    QStringList items;
    for (int i = 0; i < s->count(); ++i)
        items << s->itemText(i) + QLatin1Char('=') + s->itemData(i).toString()
                     + (s->itemData(i, model::kInvalidEntryRole).toBool() ? QStringLiteral("!") : QString());
    return QStringLiteral("%1|%2|%3%4%5|%6|%7|%8|%9|%10|%11|%12")
        .arg(s->objectName(), s->text())
        .arg(s->isEnabled())
        .arg(s->isReadOnly())
        .arg(s->isVisible())
        .arg(s->textColor())
        .arg(int(s->background()))
        .arg(int(s->checkState()))
        .arg(s->autoExclusive())
        .arg(items.join(QLatin1Char(',')))
        .arg(s->currentIndex())
        .arg(s->tag() + QLatin1Char('/') + QString::number(s->maxLength()));
}

// A model one controller changed in every way goes back to a freshly
// built one, and the logic the earlier controller connected hears nothing.
void TstModel::resetToDesignForgetsTheLastController()
{
    model::PageModel fresh;
    fresh.loadCaptions();
    model::PageModel used;
    used.loadCaptions();
    int heard = 0;
    for (ControlState *s : used.controls()) {
        connect(s, &ControlState::textChanged, this, [&heard] { ++heard; });
        connect(s, &ControlState::currentIndexChanged, [&heard] { ++heard; });
        s->setMaxLength(4);
        s->setText(QStringLiteral("changed"));
        s->setEnabled(false);
        s->setReadOnly(true);
        s->setVisible(false);
        s->setTextColor(255);
        s->setBackground(model::Background::ButtonFace);
        s->setAutoExclusive(false);
        s->setChecked(true);
        s->addItem(QStringLiteral("x"), 1);
        s->setItemData(0, true, model::kInvalidEntryRole);
        s->setTag(QStringLiteral("SomeParameter"));
    }
    QVERIFY(heard > 0);
    used.resetToDesign();
    QCOMPARE(used.controls().size(), fresh.controls().size());
    for (int i = 0; i < fresh.controls().size(); ++i)
        QCOMPARE(shownState(used.controls().at(i)), shownState(fresh.controls().at(i)));
    heard = 0;
    for (ControlState *s : used.controls()) {
        s->setText(QStringLiteral("again"));
        s->addItem(QStringLiteral("y"), 2);
    }
    QCOMPARE(heard, 0);
}

QTEST_GUILESS_MAIN(TstModel)
#include "tst_model.moc"
