// The window's translations: which file the user's language finds, and that a loaded one changes
// the words of a real window and of the texts it shares with rollcall-find.

#include "app/Translations.h"
#include "launch/LaunchForm.h"
#include "ui/RunTexts.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace rollcall;

class tst_Translations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void chosenFile_data();
    void chosenFile();
    void germanWindow();

private:
    QString folder(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QList<QTranslator *> m_installed;
};

void tst_Translations::initTestCase()
{
#ifndef ROLLCALL_TEST_QM
    QSKIP("Built without Qt's Linguist tools: no translation to load");
#else
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    // "translated" has German, and an English file that must never be chosen: English is the
    // language the texts are written in.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("translated")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("empty")));
    for (const QString &name : { QStringLiteral("rollcall_de.qm"), QStringLiteral("rollcall_en.qm") })
        QVERIFY(QFile::copy(QStringLiteral(ROLLCALL_TEST_QM), folder(QStringLiteral("translated/")) + name));
#endif
}

void tst_Translations::cleanup()
{
    // Deleting a translator takes it out of the application.
    qDeleteAll(m_installed);
    m_installed.clear();
}

void tst_Translations::chosenFile_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected"); // relative to the temporary folder; empty for none

    const QString german = QStringLiteral("translated/rollcall_de.qm");
    const QStringList translated { QStringLiteral("translated") };
    QTest::newRow("found_german") << "de_DE" << translated << german;
    QTest::newRow("found_regionFallsBackToLanguage") << "de_AT" << translated << german;
    QTest::newRow("found_inALaterFolder")
        << "de_DE"
        << QStringList { QStringLiteral("missing"), QStringLiteral("empty"), QStringLiteral("translated") }
        << german;
    QTest::newRow("none_otherLanguage") << "fr_FR" << translated << QString();
    QTest::newRow("none_english") << "en_GB" << translated << QString();
    QTest::newRow("none_cLocale") << "C" << translated << QString();
    QTest::newRow("none_noFolder") << "de_DE" << QStringList { QStringLiteral("missing") } << QString();
}

void tst_Translations::chosenFile()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    for (QString &f : folders)
        f = folder(f);

    m_installed = app::InstallTranslations(QLocale(locale), folders);
    QStringList ours;
    for (const QTranslator *t : std::as_const(m_installed)) {
        if (t->filePath().startsWith(m_dir.path()))
            ours.append(t->filePath());
    }
    if (expected.isEmpty()) {
        // Not even Qt's own: the program stays in one language.
        QVERIFY2(m_installed.isEmpty(), qPrintable(ours.join(QLatin1Char(' '))));
        return;
    }
    QCOMPARE(ours, QStringList { folder(expected) });
}

void tst_Translations::germanWindow()
{
    m_installed = app::InstallTranslations(
        QLocale(QLocale::German, QLocale::Germany), { folder(QStringLiteral("translated")) });
    QVERIFY(!m_installed.isEmpty());

    launch::LaunchForm form(nullptr);
    QCOMPARE(form.windowTitle(), QStringLiteral("Half-Life starten und verbinden"));
    // The button's caption is compared with the translated text to know which way it toggles.
    auto *info = form.findChild<QPushButton *>(QStringLiteral("Command4"));
    QVERIFY(info);
    QCOMPARE(info->text(), QStringLiteral("&Mehr >>"));
    info->click();
    QCOMPARE(info->text(), QStringLiteral("&Weniger <<"));
    info->click();
    QCOMPARE(info->text(), QStringLiteral("&Mehr >>"));

    search::RunProgress done;
    done.phase = search::RunPhase::Done;
    done.rows = 3;
    QCOMPARE(ui::HeadingText(done), QStringLiteral("3 Spieler gefunden"));
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
