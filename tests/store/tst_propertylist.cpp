// The settings file format: XML property lists read and written through libplist.

#include "store/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QtTest>

using namespace quillary;

class TestPropertyList : public QObject {
    Q_OBJECT

private slots:
    void roundTripKeepsEveryType()
    {
        const QVariantMap original{
            {QStringLiteral("text"), QStringLiteral("Grüße & <Vorlage>")},
            {QStringLiteral("yes"), true},
            {QStringLiteral("no"), false},
            {QStringLiteral("integer"), qlonglong(3)},
            {QStringLiteral("negative"), qlonglong(-7)},
            {QStringLiteral("real"), 2.5},
            {QStringLiteral("data"), QByteArray("\x00\x01\xff", 3)},
            {QStringLiteral("date"), QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15), Qt::UTC)},
            {QStringLiteral("list"), QVariantList{QStringLiteral("a"), qlonglong(1)}},
            {QStringLiteral("emptyList"), QVariantList{}},
            {QStringLiteral("nested"), QVariantMap{{QStringLiteral("k"), QVariantMap{{QStringLiteral("x"), QStringLiteral("X")}}}}},
        };
        const QByteArray xml = writePropertyListXml(original);
        QVERIFY(xml.startsWith("<?xml"));
        QVERIFY(xml.contains("<!DOCTYPE plist"));
        const auto back = readPropertyListDictionary(xml);
        QVERIFY(back.has_value());
        QCOMPARE(back->value("text").toString(), QStringLiteral("Grüße & <Vorlage>"));
        QCOMPARE(back->value("yes").typeId(), QMetaType::Bool);
        QCOMPARE(back->value("yes").toBool(), true);
        QCOMPARE(back->value("no").toBool(), false);
        QCOMPARE(back->value("integer").toLongLong(), 3);
        QCOMPARE(back->value("negative").toLongLong(), -7);
        QCOMPARE(back->value("real").toDouble(), 2.5);
        QCOMPARE(back->value("data").toByteArray(), QByteArray("\x00\x01\xff", 3));
        QCOMPARE(back->value("date").toDateTime().toUTC(), QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15), Qt::UTC));
        QCOMPARE(back->value("list").toList().size(), 2);
        QCOMPARE(back->value("emptyList").typeId(), QMetaType::QVariantList);
        QCOMPARE(back->value("nested").toMap().value("k").toMap().value("x").toString(), QStringLiteral("X"));
    }

    void readsAFileFromAnotherWriter()
    {
        // As other property-list writers lay it out: tabs, <true/>, <integer> references.
        const QByteArray xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n"
            "<dict>\n"
            "\t<key>templateproperties</key>\n"
            "\t<array>\n"
            "\t\t<dict>\n"
            "\t\t\t<key>Briefpapier</key>\n"
            "\t\t\t<dict>\n"
            "\t\t\t\t<key>docFormat</key>\n"
            "\t\t\t\t<string>0</string>\n"
            "\t\t\t\t<key>frontPage</key>\n"
            "\t\t\t\t<integer>2</integer>\n"
            "\t\t\t\t<key>isActive</key>\n"
            "\t\t\t\t<true/>\n"
            "\t\t\t\t<key>isOverlay</key>\n"
            "\t\t\t\t<false/>\n"
            "\t\t\t</dict>\n"
            "\t\t</dict>\n"
            "\t</array>\n"
            "</dict>\n"
            "</plist>\n";
        const auto dict = readPropertyListDictionary(xml);
        QVERIFY(dict.has_value());
        const QVariantMap record = dict->value("templateproperties").toList().first().toMap().value("Briefpapier").toMap();
        QCOMPARE(record.value("frontPage").toLongLong(), 2);
        QCOMPARE(record.value("isActive").typeId(), QMetaType::Bool);
        QCOMPARE(record.value("isActive").toBool(), true);
        QCOMPARE(record.value("docFormat").toString(), QStringLiteral("0"));
    }

    void readsABinaryPropertyList()
    {
        QFile file(QStringLiteral(QUILLARY_TEST_DATA_DIR "/settings-binary.plist"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("bplist00"));
        const auto dict = readPropertyListDictionary(bytes);
        QVERIFY(dict.has_value());
        QCOMPARE(dict->value("launchCount"), QVariant(qlonglong(42)));
        QCOMPARE(dict->value("showRulers"), QVariant(true));
        QCOMPARE(dict->value("zoom"), QVariant(1.25));
        QCOMPARE(dict->value("windowState"), QVariant(QByteArray("\x00\x01\x02\xfe\xff", 5)));
        QCOMPARE(dict->value("lastLaunch").toDateTime(), QDateTime(QDate(2024, 2, 1), QTime(9, 30, 15), Qt::UTC));
        const QVariantList templates = dict->value("templateproperties").toList();
        QCOMPARE(templates.size(), 2);
        QCOMPARE(templates.first().toMap().value("Briefpapier").toMap().value("frontPage"), QVariant(qlonglong(0)));
        // Truncated anywhere, it is no dictionary.
        for (qsizetype cut : {qsizetype(9), bytes.size() / 2, bytes.size() - 1})
            QVERIFY2(!readPropertyListDictionary(bytes.left(cut)).has_value(), qPrintable(QString::number(cut)));
    }

    void refusesWhatIsNoDictionary_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("not a plist at all");
        QTest::newRow("truncated") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
        QTest::newRow("array root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
        QTest::newRow("binary header only") << QByteArray("bplist00");
    }

    void refusesWhatIsNoDictionary()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!readPropertyListDictionary(bytes).has_value());
    }
};

QTEST_GUILESS_MAIN(TestPropertyList)
#include "tst_propertylist.moc"
