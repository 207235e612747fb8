#include "FastStrings.h"
#include "TermsFile.h"
#include "Win1252.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A table written out as "number|name|definition" lines, so a failed comparison shows
// what differs.
QString Render(const TTermTable& table)
{
    QStringList lines;
    for (const auto& [number, term] : table.Entries())
        lines << QStringLiteral("%1|%2|%3").arg(number).arg(term.Name, term.Definition);
    return lines.join(u'\n');
}

TTermTable Read(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TTermTable table;
    ReadTerms(buffer, table);
    return table;
}

QByteArray Write(const TTermTable& table)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteTerms(buffer, table);
    return buffer.data();
}

// Hands out at most a few bytes per read, as a pipe or a socket may.
class TTrickleDevice : public QIODevice
{
public:
    explicit TTrickleDevice(QByteArray data) : FData(std::move(data)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>({maxSize, 7, FData.size() - FPos});
        std::memcpy(data, FData.constData() + FPos, std::size_t(count));
        FPos += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray FData;
    qint64 FPos = 0;
};

// One group of the file layout.
QByteArray Group(const QByteArray& number, const QByteArray& name, const QByteArray& definition)
{
    return number + '\x01' + name + '\x01' + definition + '\x01';
}

} // namespace

class TestTermsFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void readTerms_data();
    void readTerms();
    void readTermsAcrossPieces_data();
    void readTermsAcrossPieces();
    void readTermsFromTrickle();
    void readTermsRefusesBadNumber_data();
    void readTermsRefusesBadNumber();
    void readTermsRefusesUnreadable();

    void writeTerms();
    void writeTermsRefusesUnstorableText_data();
    void writeTermsRefusesUnstorableText();

    void findCharNoCase_data();
    void findCharNoCase();

    void parseSource_data();
    void parseSource();
    void parseSourceRefuses_data();
    void parseSourceRefuses();
    void dumpBuildsBackIdentically_data();
    void dumpBuildsBackIdentically();

    void shippedGlossary();
    void commandLineRoundTrip();
};

void TestTermsFile::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestTermsFile::readTerms_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<quint64>("size");

    QTest::newRow("empty file") << QByteArray() << QString() << quint64(0);
    QTest::newRow("one group") << Group("1", "Beam", "A long member.") << "1|Beam|A long member." << quint64(2);
    QTest::newRow("5 then 2") << Group("5", "Weld", "W.") + Group("2", "Axle", "A.") << "2|Axle|A.\n5|Weld|W."
                              << quint64(6);
    QTest::newRow("3 twice: later wins") << Group("3", "Old", "old text") + Group("3", "New", "new text")
                                         << "3|New|new text" << quint64(4);
    QTest::newRow("ends after the term field") << QByteArray("1\x01Gear\x01") << "1|Gear|" << quint64(2);
    QTest::newRow("ends after the number field") << QByteArray("9\x01") << "9||" << quint64(10);
    QTest::newRow("trailing bytes without separator") << Group("1", "Cam", "C.") + "2\x01Shaft\x01half a defin"
                                                      << "1|Cam|C.\n2|Shaft|" << quint64(3);
    QTest::newRow("cut-short repeat clears the earlier group") << Group("3", "Old", "old text") + "3\x01"
                                                               << "3||" << quint64(4);
    QTest::newRow("empty fields") << Group("1", "", "") << "1||" << quint64(2);
    QTest::newRow("number 0 is stored") << Group("0", "Zero", "Z.") << "0|Zero|Z." << quint64(1);
    QTest::newRow("plus sign") << Group("+7", "Bolt", "B.") << "7|Bolt|B." << quint64(8);
    QTest::newRow("minus zero is zero") << Group("-0", "Nut", "N.") << "0|Nut|N." << quint64(1);
    QTest::newRow("leading zeros") << Group("007", "Key", "K.") << "7|Key|K." << quint64(8);
    QTest::newRow("large number stays sparse")
        << Group("4000000000", "Far", "F.") << "4000000000|Far|F." << quint64(4000000001);
    QTest::newRow("largest 64-bit number") << Group("18446744073709551615", "Last", "L.")
                                           << "18446744073709551615|Last|L." << quint64(18446744073709551615ULL);
    QTest::newRow("code page text and line breaks")
        << Group("1", "Caf\xE9 \x80", "Line one.\r\nLine two \x96 \x02 end.")
        << QStringLiteral("1|Café €|Line one.\r\nLine two – \x02 end.") << quint64(2);
}

void TestTermsFile::readTerms()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFETCH(quint64, size);
    const TTermTable table = Read(bytes);
    QCOMPARE(Render(table), expected);
    QCOMPARE(table.Size(), size);
}

// The reader takes the file in pieces of 500 bytes; fields and separators that fall on and
// across the piece ends must come out whole.
void TestTermsFile::readTermsAcrossPieces_data()
{
    QTest::addColumn<int>("definitionLength");
    QTest::addColumn<int>("trailerLength");

    // The first group's definition ends with its separator at byte 5 + length + 1.
    QTest::newRow("separator is the last byte of a piece") << 494 << 0;
    QTest::newRow("separator is the first byte of the next piece") << 495 << 0;
    QTest::newRow("separator just after a piece starts") << 496 << 0;
    QTest::newRow("definition spans three pieces") << 1200 << 0;
    QTest::newRow("file of exactly 500 bytes") << 494 - 9 << 0;
    QTest::newRow("file of exactly 1000 bytes") << 1000 - 5 - 1 - 9 << 0;
    QTest::newRow("trailing bytes end exactly on a piece") << 1000 - 5 - 1 - 9 - 7 << 7;
}

void TestTermsFile::readTermsAcrossPieces()
{
    QFETCH(int, definitionLength);
    QFETCH(int, trailerLength);
    QByteArray definition(definitionLength, 'd');
    definition[0] = 'D';
    definition[definitionLength - 1] = 'E';
    const QByteArray bytes = Group("1", "Tt", definition) + Group("2", "Uu", "v") + QByteArray(trailerLength, 'x');

    const TTermTable table = Read(bytes);
    QCOMPARE(table.Entries().size(), std::size_t(2));
    QCOMPARE(table.Term(1).Name, QStringLiteral("Tt"));
    QCOMPARE(table.Term(1).Definition, QString::fromLatin1(definition));
    QCOMPARE(table.Term(2).Name, QStringLiteral("Uu"));
    QCOMPARE(table.Term(2).Definition, QStringLiteral("v"));
}

// A device that hands out less than was asked for has not necessarily ended.
void TestTermsFile::readTermsFromTrickle()
{
    TTrickleDevice device(Group("12", "Torque", "Turning effect.") + Group("3", "Load", "L."));
    TTermTable table;
    ReadTerms(device, table);
    QCOMPARE(Render(table), QStringLiteral("3|Load|L.\n12|Torque|Turning effect."));
}

void TestTermsFile::readTermsRefusesBadNumber_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("position");

    QTest::newRow("negative") << Group("-3", "T", "D") << "\"-3\""
                              << "term 1 (at offset 0)";
    QTest::newRow("empty") << Group("", "T", "D") << "\"\""
                           << "term 1 (at offset 0)";
    QTest::newRow("trailing letter") << Group("12a", "T", "D") << "\"12a\""
                                     << "term 1";
    QTest::newRow("sign alone") << Group("+", "T", "D") << "\"+\""
                                << "term 1";
    QTest::newRow("two signs") << Group("+-1", "T", "D") << "\"+-1\""
                               << "term 1";
    QTest::newRow("leading space") << Group(" 7", "T", "D") << "\" 7\""
                                   << "term 1";
    QTest::newRow("trailing space") << Group("7 ", "T", "D") << "\"7 \""
                                    << "term 1";
    QTest::newRow("hexadecimal") << Group("$1F", "T", "D") << "\"$1F\""
                                 << "term 1";
    QTest::newRow("decimal point") << Group("1.0", "T", "D") << "\"1.0\""
                                   << "term 1";
    QTest::newRow("superscript digit") << Group("\xB2", "T", "D") << QStringLiteral("\"²\"") << "term 1";
    QTest::newRow("beyond 64 bits") << Group("18446744073709551616", "T", "D") << "\"18446744073709551616\""
                                    << "term 1";
    QTest::newRow("in the second group") << Group("1", "Ab", "Cd") + Group("x", "T", "D") << "\"x\""
                                         << "term 2 (at offset 8)";
    QTest::newRow("a term's text read as a number") << QByteArray("1\x01Gear\x01"
                                                                  "Def\x01Shaft\x01")
                                                    << "\"Shaft\""
                                                    << "term 2";
}

void TestTermsFile::readTermsRefusesBadNumber()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, field);
    QFETCH(QString, position);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TTermTable table;
    table.StoreTerm(1, QStringLiteral("Stale"), QStringLiteral("From an earlier load."));
    try {
        ReadTerms(buffer, table);
        QFAIL("a malformed number field was accepted");
    } catch (const ETermsFormatError& error) {
        const QString message = QString::fromStdString(error.what());
        QVERIFY2(message.contains(QStringLiteral("number field")), qPrintable(message));
        QVERIFY2(message.contains(field), qPrintable(message));
        QVERIFY2(message.contains(position), qPrintable(message));
    }
    QVERIFY(table.Entries().empty());
}

void TestTermsFile::readTermsRefusesUnreadable()
{
    QBuffer closed;
    TTermTable table;
    QVERIFY_THROWS_EXCEPTION(ETermsFormatError, ReadTerms(closed, table));
}

void TestTermsFile::writeTerms()
{
    TTermTable table;
    table.StoreTerm(5, QStringLiteral("Weld"), QStringLiteral("Fused joint.\r\nSecond line."));
    table.StoreTerm(2, QStringLiteral("Café €"), QStringLiteral("–"));
    table.StoreTerm(4000000000, QStringLiteral("Far"), QString());
    const QByteArray expected = Group("2", "Caf\xE9 \x80", "\x96") +
                                Group("5", "Weld", "Fused joint.\r\nSecond line.") + Group("4000000000", "Far", "");
    const QByteArray bytes = Write(table);
    QCOMPARE(bytes, expected);
    QCOMPARE(Render(Read(bytes)), Render(table));
}

void TestTermsFile::writeTermsRefusesUnstorableText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("definition");
    QTest::newRow("separator in the name") << QStringLiteral("A\x01"
                                                             "B")
                                           << QStringLiteral("D");
    QTest::newRow("separator in the definition") << QStringLiteral("A") << QStringLiteral("D\x01");
    QTest::newRow("outside the code page") << QStringLiteral("Ohm") << QStringLiteral("Symbol Ω.");
}

void TestTermsFile::writeTermsRefusesUnstorableText()
{
    QFETCH(QString, name);
    QFETCH(QString, definition);
    TTermTable table;
    table.StoreTerm(1, name, definition);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY_THROWS_EXCEPTION(ETermsFormatError, WriteTerms(buffer, table));
    QVERIFY(buffer.data().isEmpty());
}

void TestTermsFile::findCharNoCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("ch");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");

    QTest::newRow("same case") << "abc" << QChar(u'b') << 1 << 2;
    QTest::newRow("lower finds upper") << "ABC" << QChar(u'b') << 1 << 2;
    QTest::newRow("upper finds lower") << "abc" << QChar(u'C') << 1 << 3;
    QTest::newRow("from a later start") << "abcabc" << QChar(u'a') << 2 << 4;
    QTest::newRow("start on the match") << "abcabc" << QChar(u'a') << 4 << 4;
    QTest::newRow("start 0 counts as 1") << "abc" << QChar(u'a') << 0 << 1;
    QTest::newRow("negative start counts as 1") << "abc" << QChar(u'a') << -5 << 1;
    QTest::newRow("start on the last character") << "abc" << QChar(u'c') << 3 << 3;
    QTest::newRow("start beyond the end") << "abc" << QChar(u'c') << 4 << 0;
    QTest::newRow("empty text") << "" << QChar(u'a') << 1 << 0;
    QTest::newRow("absent") << "abc" << QChar(u'z') << 1 << 0;
    QTest::newRow("separator byte") << "ab\x01"
                                       "c\x01"
                                    << QChar(u'\x01') << 1 << 3;
    QTest::newRow("separator is no letter") << "A\x01" << QChar(u'a') << 2 << 0;
    QTest::newRow("accented letters") << "caf\u00C9" << QChar(u'\u00E9') << 1 << 4;
    QTest::newRow("y diaeresis and its capital in 0x9F") << "\u0178" << QChar(u'\u00FF') << 1 << 1;
    QTest::newRow("s caron") << "\u0161" << QChar(u'\u0160') << 1 << 1;
    QTest::newRow("oe ligature") << "\u0152" << QChar(u'\u0153') << 1 << 1;
    QTest::newRow("micro sign has no capital in the code page") << "\u039C" << QChar(u'\u00B5') << 1 << 0;
    QTest::newRow("micro sign finds itself") << "x\u00B5" << QChar(u'\u00B5') << 1 << 2;
    QTest::newRow("sharp s stays") << "SS\u00DF" << QChar(u'\u00DF') << 1 << 3;
    QTest::newRow("dotless i is outside the code page") << "I" << QChar(u'\u0131') << 1 << 0;
    QTest::newRow("divide sign is no letter") << "\u00D7" << QChar(u'\u00F7') << 1 << 0;
    QTest::newRow("outside the code page finds itself") << "a\u2603" << QChar(u'\u2603') << 1 << 2;
}

void TestTermsFile::findCharNoCase()
{
    QFETCH(QString, text);
    QFETCH(QChar, ch);
    QFETCH(int, start);
    QFETCH(int, expected);
    QCOMPARE(FindCharNoCase(text, ch, start), expected);
}

void TestTermsFile::parseSource_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one term") << QByteArray("@1 Beam\nA long member.\n") << "1|Beam|A long member.";
    QTest::newRow("wrapped and indented lines join with one space")
        << QByteArray("@1 Beam\n  A long\n\tmember   \n   carrying load.\n") << "1|Beam|A long member carrying load.";
    QTest::newRow("CR LF line ends") << QByteArray("@1 Beam \r\nA long\r\nmember.\r\n") << "1|Beam|A long member.";
    QTest::newRow("comments and blank lines")
        << QByteArray("# glossary\n\n@2 Gear\n\nToothed wheel.\n# aside\nMeshes.\n\n@1 Cam\nC.\n")
        << "1|Cam|C.\n2|Gear|Toothed wheel. Meshes.";
    QTest::newRow("tab after the number") << QByteArray("@3\tNut\nN.") << "3|Nut|N.";
    QTest::newRow("line break escape") << QByteArray("@1 T\nFirst.\\n\nSecond.\\nThird.\n")
                                       << "1|T|First.\r\nSecond.\r\nThird.";
    QTest::newRow("other escapes") << QByteArray("@1 A\\\\B\n\\@home \\#1 \\x20x\\x09\\xE9\\x80\n")
                                   << QStringLiteral("1|A\\B|@home #1  x\té€");
    QTest::newRow("UTF-8 text") << QByteArray("@1 Caf\xC3\xA9\n\xE2\x80\x93 \xC2\xB0"
                                              "C\n")
                                << QStringLiteral("1|Café|– °C");
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF@1 T\nD\n") << "1|T|D";
    QTest::newRow("indented @ is text") << QByteArray("@1 T\n  @home\n") << "1|T|@home";
    QTest::newRow("largest number") << QByteArray("@2147483647 T\nD\n") << "2147483647|T|D";
}

void TestTermsFile::parseSource()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, expected);
    QCOMPARE(Render(ParseTermsSource(source, QStringLiteral("terms.txt"))), expected);
}

void TestTermsFile::parseSourceRefuses_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("where");

    QTest::newRow("text before the first term") << QByteArray("# c\nStray text\n@1 T\nD\n") << "terms.txt:2:";
    QTest::newRow("number 0") << QByteArray("@0 Zero\nD\n") << "terms.txt:1:";
    QTest::newRow("number too large") << QByteArray("@1 T\nD\n@2147483648 Big\nD\n") << "terms.txt:3:";
    QTest::newRow("number far too large") << QByteArray("@99999999999999999999999 Big\nD\n") << "terms.txt:1:";
    QTest::newRow("duplicate number") << QByteArray("@4 A\nD\n@4 B\nD\n") << "terms.txt:3:";
    QTest::newRow("duplicate name ignoring case") << QByteArray("@1 Stress\nD\n@2 STRESS\nD\n") << "terms.txt:3:";
    QTest::newRow("no name") << QByteArray("@1 T\nD\n@3   \nD\n") << "terms.txt:3:";
    QTest::newRow("no definition") << QByteArray("@1 T\n\n# none\n@2 U\nD\n") << "terms.txt:1:";
    QTest::newRow("no definition at the end") << QByteArray("@1 T\nD\n@2 U\n") << "terms.txt:3:";
    QTest::newRow("letters for a number") << QByteArray("@x Foo\nD\n") << "terms.txt:1:";
    QTest::newRow("no space after the number") << QByteArray("@12Foo\nD\n") << "terms.txt:1:";
    QTest::newRow("outside Windows-1252") << QByteArray("@1 Ohm\nSymbol \xCE\xA9.\n") << "terms.txt:2:";
    QTest::newRow("separator escape") << QByteArray("@1 T\nA\\x01B\n") << "terms.txt:2:";
    QTest::newRow("raw separator") << QByteArray("@1 T\x01\nD\n") << "terms.txt:1:";
    QTest::newRow("unknown escape") << QByteArray("@1 T\nA\\tB\n") << "terms.txt:2:";
    QTest::newRow("short hexadecimal escape") << QByteArray("@1 T\nA\\x4\n") << "terms.txt:2:";
    QTest::newRow("backslash at the end") << QByteArray("@1 T\nA\\\n") << "terms.txt:2:";
    QTest::newRow("not UTF-8") << QByteArray("@1 T\nD\n@2 Caf\xE9\nD\n") << "terms.txt:3:";
}

void TestTermsFile::parseSourceRefuses()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, where);
    try {
        ParseTermsSource(source, QStringLiteral("terms.txt"));
        QFAIL("faulty source was accepted");
    } catch (const ETermsSourceError& error) {
        const QString message = QString::fromStdString(error.what());
        QVERIFY2(message.startsWith(where), qPrintable(message));
    }
}

// Whatever a glossary file holds, its dump builds back into the same bytes, provided every
// term has a name and a definition.
void TestTermsFile::dumpBuildsBackIdentically_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QByteArray everyByte;
    for (int b = 2; b < 256; ++b)
        everyByte += char(b);
    QTest::newRow("plain") << Group("1", "Beam", "A long member.") + Group("20", "Axle", "A.");
    QTest::newRow("every byte in the definition") << Group("1", "T", everyByte);
    QTest::newRow("every byte in the name") << Group("1", everyByte, "D");
    QTest::newRow("spaces at the ends and doubled")
        << Group("1", " Padded name ", "  two  spaces  ") + Group("2", "T", " ");
    QTest::newRow("line breaks") << Group("1", "T", "a\r\nb\r\n\r\nc\r\n") + Group("2", "U", "\r\n") +
                                        Group("3", "V", "\r\n\r\n x \r\n");
    QTest::newRow("lone CR and LF") << Group("1", "T", "a\rb\nc\n\r");
    QTest::newRow("characters that start lines") << Group("1", "@T", "@a\r\n#b\r\n\\c\\");
    QTest::newRow("comment-like name") << Group("1", "# T", "x");
    QTest::newRow("escape-like text") << Group("1", "T", "\\n \\x41 \\\\");
    QTest::newRow("invisible characters") << Group("1", "T",
                                                   "a\xA0"
                                                   "b\xAD"
                                                   "c\x81\x8D\x8F\x90\x9D");
}

void TestTermsFile::dumpBuildsBackIdentically()
{
    QFETCH(QByteArray, bytes);
    const QByteArray source = FormatTermsSource(Read(bytes));
    QCOMPARE(Write(ParseTermsSource(source, QStringLiteral("dump"))), bytes);
    // The dump is plain text a diff can show: no control characters besides line ends.
    for (char c : source)
        QVERIFY2(c == '\n' || static_cast<unsigned char>(c) >= 0x20, source.constData());
}

void TestTermsFile::shippedGlossary()
{
    const QString path = qEnvironmentVariable("MORVEX_BIN_DIR") + QStringLiteral("/terms.dat");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        QFAIL(qPrintable(QStringLiteral("The shipped glossary %1 is missing").arg(path)));
    const QByteArray bytes = file.readAll();
    const TTermTable table = Read(bytes);

    QVERIFY2(table.Entries().size() >= 400, qPrintable(QString::number(table.Entries().size())));
    QVERIFY(!table.Entries().contains(0));
    for (const auto& [number, term] : table.Entries()) {
        QVERIFY2(!term.Name.trimmed().isEmpty(), qPrintable(QString::number(number)));
        QVERIFY2(!term.Definition.trimmed().isEmpty(), qPrintable(term.Name));
    }
    QCOMPARE(Write(ParseTermsSource(FormatTermsSource(table), QStringLiteral("dump"))), bytes);

    // The file beside the program is the one the source in the tree builds.
    QFile source(qEnvironmentVariable("MORVEX_SOURCE_DIR") + QStringLiteral("/data/terms.txt"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(Write(ParseTermsSource(source.readAll(), QStringLiteral("terms.txt"))), bytes);
}

// The tool's two glossary commands, through their real entry point.
void TestTermsFile::commandLineRoundTrip()
{
    const QString morvex = qEnvironmentVariable("MORVEX_BIN_DIR") + QStringLiteral("/morvex");
    if (!QFile::exists(morvex))
        QSKIP("the command-line tool is not built");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    const QByteArray bytes = Group("2", "Gear", "Toothed wheel.\r\nMeshes.") + Group("10", "Caf\xE9", "\x80 ");
    QFile original(dir.filePath(QStringLiteral("original.dat")));
    QVERIFY(original.open(QIODevice::WriteOnly));
    original.write(bytes);
    original.close();

    QProcess dump;
    dump.start(morvex, {QStringLiteral("data"), QStringLiteral("dump-terms"), original.fileName()});
    QVERIFY(dump.waitForFinished());
    QCOMPARE(dump.exitCode(), 0);
    QFile source(dir.filePath(QStringLiteral("terms.txt")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write(dump.readAllStandardOutput());
    source.close();

    const QString rebuilt = dir.filePath(QStringLiteral("rebuilt.dat"));
    QProcess build;
    build.start(morvex, {QStringLiteral("data"), QStringLiteral("build-terms"), source.fileName(), QStringLiteral("-o"),
                         rebuilt});
    QVERIFY(build.waitForFinished());
    QCOMPARE(build.exitCode(), 0);
    QFile result(rebuilt);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), bytes);

    // A faulty source is refused with its line and leaves no output behind.
    QVERIFY(source.open(QIODevice::Append));
    source.write("\n@2 Duplicate\nD\n");
    source.close();
    const QString refused = dir.filePath(QStringLiteral("refused.dat"));
    QProcess bad;
    bad.start(morvex, {QStringLiteral("data"), QStringLiteral("build-terms"), source.fileName(), QStringLiteral("-o"),
                       refused});
    QVERIFY(bad.waitForFinished());
    QVERIFY(bad.exitCode() != 0);
    QVERIFY2(bad.readAllStandardError().contains("terms.txt:"), "the message names the source line");
    QVERIFY(!QFile::exists(refused));
}

QTEST_GUILESS_MAIN(TestTermsFile)
#include "TestTermsFile.moc"
