// How windows word a failure of the core: a sentence chosen by the code,
// naming the file the core's line is about by its file name, and never the
// core's English line itself.

#include "pdf/PdfChecks.h"
#include "platform/FailureText.h"

using namespace quillary;

namespace {

struct FileRow {
    QString line;        // the core's line
    QStringList known;   // the files the window knows of
    QString file;        // the one the line is about; empty: none
};

struct SentenceRow {
    ErrorCode code;
    QString line;
    QString sentence;
};

const QString letter = QStringLiteral("/home/jo/Briefe/letter.pdf");
const QString head = QStringLiteral("/home/jo/.local/share/app.quillary.Quillary/startPage0.pdf");

} // namespace

Q_DECLARE_METATYPE(FileRow)
Q_DECLARE_METATYPE(SentenceRow)

class TestFailureText : public QObject {
    Q_OBJECT

private slots:
    void findsTheFileOfTheLine_data()
    {
        pdfchecks::table<FileRow>({
            {"the document", {letter + ": xref not found", {head, letter}, letter}},
            {"a stationery page", {head + ": no such file", {letter, head}, head}},
            {"the first one named", {"The page could not be read: " + head + ": copy of " + letter, {letter, head}, head}},
            {"a longer name at the same place", {letter + ".bak: damaged", {letter, letter + ".bak"}, letter + ".bak"}},
            // A file whose name only begins like a known one is another file.
            {"a scratch file beside the output", {letter + ".tmp-1234: no space left", {letter}, ""}},
            {"named after a colon", {letter + ": damaged", {letter}, letter}},
            {"named at the end", {"cannot be copied to " + letter, {letter}, letter}},
            {"named twice, once as part of another", {letter + "x: damaged, " + letter, {letter}, letter}},
            {"a file the window does not know", {"/tmp/prev2.pdf: no space", {letter, head}, ""}},
            {"empty names are not everywhere", {"anything", {"", letter}, ""}},
            {"no known files", {letter + ": damaged", {}, ""}},
        });
    }
    void findsTheFileOfTheLine()
    {
        const auto row = pdfchecks::fetch<FileRow>();
        QCOMPARE(FailureText::fileOf(Result::failure(ErrorCode::Damaged, row.line), row.known), row.file);
    }

    void sentenceByCode_data()
    {
        pdfchecks::table<SentenceRow>({
            {"damaged document", {ErrorCode::Damaged, letter + ": xref not found",
                                  "“letter.pdf” is damaged or not in a format Quillary can read."}},
            {"missing document", {ErrorCode::NotFound, letter + ": no such file", "“letter.pdf” does not exist."}},
            {"full disk", {ErrorCode::NoSpace, letter + ": No space left on device",
                           "The disk is full: “letter.pdf” could not be written."}},
            {"full disk on a scratch file", {ErrorCode::NoSpace, "/tmp/prev2.pdf: No space left", "The disk is full."}},
            {"password", {ErrorCode::PasswordProtected, letter + ": invalid password",
                          "“letter.pdf” is protected by a password."}},
            {"folder", {ErrorCode::NotAFile, letter + ": is a folder", "“letter.pdf” is a folder, not a file."}},
            {"refused", {ErrorCode::Refused, letter + ": is the document",
                         "“letter.pdf” must not be replaced: it is the document itself or a file of the template store."}},
            {"bad password setting", {ErrorCode::InvalidInput, letter + ": the password: too long",
                                      "“letter.pdf” was not written: a password or another setting cannot be used."}},
            // The store's lock file means nothing to the user.
            {"locked store", {ErrorCode::Locked, letter + ": locked",
                              "Another Quillary window is changing the templates. Try again in a moment."}},
            {"template gone", {ErrorCode::Missing, "the template \"A\" no longer exists",
                               "The template or one of its pages no longer exists."}},
            {"no pages", {ErrorCode::NoPages, letter + ": the document has no pages", "“letter.pdf” has no pages."}},
            {"unreadable", {ErrorCode::Unreadable, letter + ": Permission denied", "“letter.pdf” cannot be read."}},
            {"write failed", {ErrorCode::WriteFailed, letter + ": Input/output error", "“letter.pdf” could not be written."}},
        });
    }
    void sentenceByCode()
    {
        const auto row = pdfchecks::fetch<SentenceRow>();
        const QString sentence = FailureText::sentence(Result::failure(row.code, row.line), {letter});
        QCOMPARE(sentence, row.sentence);
    }

    // Every code has a sentence of its own, with a file and without; none
    // repeats the core's line.
    void everyCodeHasItsSentence()
    {
        QStringList withFile, without;
        for (int code = int(ErrorCode::NotFound); code <= int(ErrorCode::Missing); ++code) {
            const auto errorCode = ErrorCode(code);
            const QString line = letter + ": core reason";
            const QString named = FailureText::sentence(Result::failure(errorCode, line), {letter});
            const QString plain = FailureText::sentence(errorCode);
            QVERIFY2(!plain.isEmpty() && !plain.contains("core reason"), qPrintable(plain));
            QVERIFY2(!named.contains("core reason") && !named.contains("/home"), qPrintable(named));
            if (errorCode != ErrorCode::Locked && errorCode != ErrorCode::Cancelled)
                QVERIFY2(named.contains("“letter.pdf”"), qPrintable(named));
            withFile << named;
            without << plain;
        }
        QCOMPARE(QSet<QString>(without.begin(), without.end()).size(), without.size());
        QVERIFY(FailureText::sentence(ErrorCode::None).isEmpty());
    }

    void shownName()
    {
        QCOMPARE(FailureText::shownName(letter), QStringLiteral("letter.pdf"));
        QCOMPARE(FailureText::shownName("/srv/folder/"), QStringLiteral("/srv/folder/"));
    }
};

QTEST_MAIN(TestFailureText)
#include "tst_failuretext.moc"
