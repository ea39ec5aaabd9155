#pragma once

// A PDF output built page by page from the pages of other PDF files, without
// rasterising anything. Internal to quillary_core; the engine's operations in
// TaskManager are built on it.

#include "pdf/PdfWriting.h"
#include "pdf/TaskManager.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

class QPDFWriter;

namespace quillary {

// An opened input PDF whose pages can be drawn into a PdfContext. Keep it alive
// for as long as a context that drew from it is open: page content is copied
// from the file only when the context is closed. One thread at a time.
class PdfSource {
public:
    enum class Pages {
        All,       // every page (a document)
        FirstOnly, // page 1 alone, found without reading the others (stationery)
    };

    // Opens path; null, with a one-line reason naming the file in *error, when
    // the file cannot be read as a PDF (or needs a password).
    // A protected file opens with its password (empty: none).
    static std::shared_ptr<PdfSource> open(const QString& path, Result* error = nullptr,
                                           Pages pages = Pages::All, const QString& password = {});
    // The same from the file's bytes, read earlier; path names it in
    // messages. The source keeps its own reference to the bytes.
    static std::shared_ptr<PdfSource> open(const QString& path, const QByteArray& bytes, Result* error = nullptr,
                                           Pages pages = Pages::All, const QString& password = {});

    // Pages [first, first + count) of a document indexed by PageRanges,
    // read without the rest of it. Null with *declined set when they cannot
    // be read alone (or not cleanly: what qpdf has to mend it mends reading
    // the whole file); null with *error when the file cannot be opened at
    // all (a wrong password).
    static std::shared_ptr<PdfSource> openRange(const QString& path, const PageRanges& ranges, int first, int count,
                                                const QString& password, Result* error, bool* declined);

    const QString& path() const { return filePath; }
    // Pages that can be drawn: with Pages::FirstOnly 1, or 0 for a file
    // without pages.
    int pageCount() const { return static_cast<int>(pages.size()); }
    // Media box of a page (normalised), null for an index out of range.
    QRectF mediaBox(int pageIndex) const;
    // What qpdf noticed while opening the file (a damaged file it repaired,
    // say), as "<file>: <what>" lines.
    const QStringList& warnings() const { return openingWarnings; }
    // Compresses the page's content now if it is stored uncompressed, for a
    // source drawn into many outputs: each copies the compressed data as it
    // is instead of compressing it again. Changes nothing drawn.
    void compressContent(int pageIndex);
    // Makes page 1 fit for an output that claims PDF/A (fonts embedded,
    // device colours given profiles; see StationeryNormaliser.h), in memory,
    // before it is drawn. An encrypted file is left as it is.
    void normaliseFirstPage();

private:
    friend class PdfContext;
    PdfSource() = default;
    static std::shared_ptr<PdfSource> open(const QString& path, const std::function<std::shared_ptr<QPDF>()>& parse,
                                           Result* error, Pages pages);
    // The page as a form XObject in this source's own document: its content,
    // resources and group, in the page's own user space (identity matrix).
    QPDFObjectHandle formXObject(int pageIndex);

    QString filePath;
    std::shared_ptr<QPDF> pdf;
    std::vector<QPDFPageObjectHelper> pages;
    QStringList openingWarnings;
    std::map<int, QPDFObjectHandle> forms;
    // Content streams already turned into a form, to notice streams that two
    // pages share.
    std::map<QPDFObjGen, int> convertedStreams;
    std::map<std::string, QPDFObjectHandle> names;
};

// How the written file is protected. Passwords are the bytes the security
// handler uses (UTF-8 after preparation); the owner password is never empty
// when encrypt is set.
struct PdfSecurity {
    bool encrypt = false;
    std::string userPassword;
    std::string ownerPassword;
    bool allowPrinting = true;
    bool allowCopying = true;
};

// An output PDF: begin a page, draw source pages into it (each shifted by a
// translation), end the page; close writes the file atomically. Every page
// takes the context's media box. A source page drawn on several output pages
// is stored once and referenced from each of them. Coordinates are PDF points,
// x to the right, y upwards. One thread at a time; separate contexts (with
// separate sources) may work on separate threads at once.
//
// Given a base source, the output is built inside the base's own document:
// its pages are drawn without being copied, which halves the memory of a
// merge of a long document. The base page drawn first on an output page lends
// that page its object, so what points at the page (outlines, links, form
// fields) points at the output page. By default only the new pages reach the
// file, with a fresh catalog and trailer; keepDocument() keeps the rest of the
// base document too. The base is changed for good: draw from it with this
// context only.
class PdfContext {
public:
    PdfContext(QString outputPath, const QRectF& mediaBox, std::shared_ptr<PdfSource> base = {});
    ~PdfContext();
    PdfContext(const PdfContext&) = delete;
    PdfContext& operator=(const PdfContext&) = delete;

    const QString& outputPath() const { return path; }
    const QRectF& mediaBox() const { return box; }
    int pageCount() const { return pagesWritten; }

    // Document information entry ("Creator", "Author", "Title", ...).
    void setInformation(const std::string& key, const QString& value);
    void setSecurity(PdfSecurity security) { protection = std::move(security); }
    // Packs the small objects (page dictionaries, forms' resources) into
    // compressed object streams: a third smaller for long documents, a little
    // slower to write. Off for scratch files, and never for a PDF/A-1 base.
    void setCompact(bool on) { compact = on; }
    // A fixed file identifier, so that equal inputs give equal bytes (tests).
    void setStaticId(bool on) { staticId = on; }
    // Keeps what the base document carries besides its pages: attachments and
    // associated files, XMP metadata and output intents, the document
    // information (entries set here win; an empty one does not replace a
    // document's own), outlines, named destinations, page labels, form fields
    // and the pages' annotations, moved with their page's content. Its PDF/A
    // identification stays only where the stationery lets the output conform
    // (a warning says why otherwise). Call before the first page.
    void keepDocument() { keepsDocument = true; }

    void beginPage();
    // Draws the content of page pageIndex (0-based) of source so that the
    // source page's user-space origin lies at translation on the output page:
    // no scaling, no rotation, cut off at the output page's edges. Later
    // drawings cover earlier ones. The content is drawn as a form of its own,
    // so a source whose content leaves its graphics state changed (an
    // unbalanced q) cannot change what is drawn after it. A translation that
    // is not finite or beyond MaxTranslation points is refused: a reader
    // could not parse it.
    Result drawPage(const std::shared_ptr<PdfSource>& source, int pageIndex,
                       QPointF translation = {});
    void endPage();

    static constexpr double MaxTranslation = 1e6;

    // Writes the file through a temporary file beside it. After a failure
    // (here or in drawPage) or a stop nothing is written and an existing file
    // stays as it was. The result's warnings hold what qpdf noticed in the
    // sources and what the output could not keep.
    Result close(const MergeControl& control = {});
    // The same into memory; outputPath only names the output in messages.
    ValueResult<QByteArray> closeToBytes(const MergeControl& control = {});
    // The same into sink, block by block (see writePdfToSink).
    Result closeToSink(const OutputSink& sink, const MergeControl& control = {});

private:
    struct Placed {
        QPDFObjectHandle xobject;
        QRectF bbox;
    };
    QPDFObjectHandle placedForm(const std::shared_ptr<PdfSource>& source, int pageIndex,
                                const QRectF& visible);
    // Everything close does before writing; the writer's setup.
    Result prepare();
    void buildFreshCatalog(QPDFObjectHandle tree);
    void keepBaseCatalog(QPDFObjectHandle tree);
    void writeInformation(bool keepDocumentInformation);
    void checkPdfa(QPDFObjectHandle catalog);
    void setUpWriter(QPDFWriter& writer) const;
    QPDFObjectHandle sharedRectangle(const QRectF& r);
    QPDFObjectHandle recycledPage();

    QString path;
    QRectF box;
    std::shared_ptr<PdfSource> base;
    std::shared_ptr<QPDF> out;
    std::vector<QPDFObjectHandle> pageObjects;
    std::map<std::string, QPDFObjectHandle> names;
    std::map<std::tuple<double, double, double, double>, QPDFObjectHandle> rectangles;
    std::vector<std::shared_ptr<PdfSource>> sources;
    std::map<std::pair<const PdfSource*, int>, Placed> placed;
    std::map<const PdfSource*, ObjectCopier> copiers;
    SharedStreams sharedStreams; // what the copiers stored, for all of them
    std::vector<std::pair<std::string, QString>> information;
    PdfSecurity protection;
    bool compact = false;
    bool staticId = false;
    bool keepsDocument = false;
    bool pdfaOne = false; // the base claims PDF/A-1: no object streams
    QStringList warnings;

    bool inPage = false;
    bool closed = false;
    int pagesWritten = 0;
    std::string pageContent;
    std::map<std::string, QPDFObjectHandle> contentStreams;
    QPDFObjectHandle pageXObjects;
    int namesOnPage = 0;
    // The first page of the base drawn on the current page, and the base pages
    // whose objects became output pages.
    int basePage = -1;
    std::vector<bool> recycled;
    // The translation of each base page's content, by base page index.
    std::map<int, QPointF> baseOffsets;
    std::set<QPDFObjGen> movedAnnotations;
    Result firstError;
};

} // namespace quillary
