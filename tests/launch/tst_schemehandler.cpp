// Whether the desktop has a program for steam: links, read from the files of freedesktop's
// associations in private folders.

#include "launch/SchemeHandler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using rollcall::launch::HasSchemeHandler;

class TestSchemeHandler final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void associations_data();
    void associations();
    void oversizeAndOddFilesPassedOver();
};

void TestSchemeHandler::associations_data()
{
    QTest::addColumn<QString>("file"); // "config/NAME" or "apps/NAME"
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("found");

    QTest::newRow("none") << QString() << QByteArray() << false;
    QTest::newRow("mimeapps_default") << "config/mimeapps.list"
                                      << QByteArray("[Default Applications]\n"
                                                    "text/html=firefox.desktop\n"
                                                    "x-scheme-handler/steam=steam.desktop\n")
                                      << true;
    QTest::newRow("mimeapps_added")
        << "config/mimeapps.list"
        << QByteArray("[Added Associations]\r\nx-scheme-handler/Steam = steam.desktop;\r\n") << true;
    QTest::newRow("mimeapps_inApplicationsFolder")
        << "apps/mimeapps.list"
        << QByteArray("[Default Applications]\nx-scheme-handler/steam=steam.desktop\n") << true;
    QTest::newRow("mimeapps_removedOnly")
        << "config/mimeapps.list"
        << QByteArray("[Removed Associations]\nx-scheme-handler/steam=steam.desktop\n") << false;
    QTest::newRow("mimeapps_emptyValue")
        << "config/mimeapps.list" << QByteArray("[Default Applications]\nx-scheme-handler/steam= ; ;\n")
        << false;
    QTest::newRow("mimeapps_otherScheme")
        << "config/mimeapps.list" << QByteArray("[Default Applications]\nx-scheme-handler/steamx=a.desktop\n")
        << false;
    QTest::newRow("cache") << "apps/mimeinfo.cache"
                           << QByteArray("[MIME Cache]\nx-scheme-handler/steam=steam.desktop;\n") << true;
    QTest::newRow("cache_inConfigFolderIgnored")
        << "config/mimeinfo.cache" << QByteArray("[MIME Cache]\nx-scheme-handler/steam=steam.desktop;\n")
        << false;
    QTest::newRow("desktop_declares")
        << "apps/valve-steam.desktop"
        << QByteArray("[Desktop Entry]\nName=Steam\nExec=steam %U\n"
                      "MimeType=x-scheme-handler/steam;x-scheme-handler/steamlink;\n")
        << true;
    QTest::newRow("desktop_otherTypes")
        << "apps/steam.desktop" << QByteArray("[Desktop Entry]\nMimeType=x-scheme-handler/steamlink;\n")
        << false;
    QTest::newRow("desktop_notADesktopFile")
        << "apps/steam.txt" << QByteArray("MimeType=x-scheme-handler/steam;\n") << false;
}

void TestSchemeHandler::associations()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(bool, found);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString config = dir.filePath(QStringLiteral("config"));
    const QString apps = dir.filePath(QStringLiteral("apps"));
    QVERIFY(QDir().mkpath(config) && QDir().mkpath(apps));
    if (!file.isEmpty()) {
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QCOMPARE(HasSchemeHandler(QStringLiteral("steam"), { config }, { apps }), found);
}

void TestSchemeHandler::oversizeAndOddFilesPassedOver()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A folder where a list belongs, and a list far beyond any real one, with the line at its end.
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("mimeapps.list"))));
    QFile cache(dir.filePath(QStringLiteral("mimeinfo.cache")));
    QVERIFY(cache.open(QIODevice::WriteOnly));
    cache.write("[MIME Cache]\n");
    cache.write(QByteArray(5 * 1024 * 1024, '#'));
    cache.write("\nx-scheme-handler/steam=steam.desktop;\n");
    cache.close();
    QVERIFY(!HasSchemeHandler(QStringLiteral("steam"), { dir.path() }, { dir.path() }));
    QVERIFY(!HasSchemeHandler(QString(), { dir.path() }, { dir.path() }));
    QVERIFY(!HasSchemeHandler(QStringLiteral("steam"), { dir.filePath(QStringLiteral("missing")) }, {}));
}

QTEST_GUILESS_MAIN(TestSchemeHandler)
#include "tst_schemehandler.moc"
