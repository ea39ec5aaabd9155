#pragma once

// The preview window of print-service mode: one printed document, the enabled
// templates to lay onto it, the three page toggles, the offsets, and the
// merged pages as a strip with a large preview. The document is read first:
// one that cannot be shown says why, a locked one asks for its password in
// place of the strip. Every change of a control, whoever makes it, ends in a
// rebuild of the merged preview, which runs on a worker: the first page is
// merged alone and shown at once, then the whole document; a newer rebuild
// stops an older one, whose result is never shown. Saving ends the process
// once the file is written; printing leaves the window open.
//
// The class is spread over files by job: PreviewController.cpp (the window),
// PreviewDocument.cpp (reading and unlocking the document),
// PreviewTemplates.cpp, PreviewRebuild.cpp, PreviewOffsets.cpp (toggles and
// offsets) and PreviewOutput.cpp (saving and printing).

#include "pdf/TaskManager.h"
#include "preview/EditViewcontroller.h"
#include "store/TemplateRecord.h"

#include <QDateTime>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QWidget>

#include <array>
#include <deque>
#include <atomic>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace quillary {

class CustomCollectionView;
class DocumentPasswordPanel;
class LargePreview;
class PreviewPages;
class ProgressCircle;
class SavePanelView;

// A template's stationery files: start, continuation and terms page; none
// where the template has no such page or the store has no such file.
using TemplatePagePaths = std::array<std::optional<QString>, 3>;

class PreviewController : public QWidget, public EditViewControllerDelegate {
    Q_OBJECT
public:
    // path: the printed document, handed on unchanged from the command line.
    explicit PreviewController(const QString& path, QWidget* parent = nullptr);
    ~PreviewController() override;

    // --- state ---
    const QString path;
    QList<TemplateRecord> templatePropertiesArray; // as the store lists them
    QStringList sortedKeys;                        // pop-up titles, in pop-up order
    std::optional<QString> selectedKey;            // template in use
    int selectedIndex = 0;                         // page selected in the strip
    double offYForFirstPage = 0;
    double offXForFirstPage = 0;
    double offXForContinualPage = 0;
    double offYForContinualPage = 0;
    bool stationeryIsOverlay = true; // stationery over the content
    std::optional<QString> tmpPdfUrl; // scratch file of the last print
    // The title the printing program gave the job, when the document is a
    // printed job; the save panel proposes it as the file's name.
    std::optional<QString> jobTitle;

    // --- controls ---
    QComboBox* popUp;
    QCheckBox* startButton;
    QCheckBox* contButton;
    QCheckBox* agbButton;
    QPushButton* offsetButton;
    QPushButton* printButton;
    QPushButton* saveButton;
    ProgressCircle* progressCircle;
    CustomCollectionView* collectionView;
    LargePreview* prevImage;
    QLabel* statusLabel;
    DocumentPasswordPanel* passwordPanel; // in place of the strip while the document is locked
    QLabel* stripNote;                    // the strip's message line while it shows pages

    // --- the document ---
    // Whether the document was read (with its password, when it has one);
    // otherwise why not (PasswordProtected: waiting for the password).
    const Result& documentState() const { return document; }
    // Tries a password on the locked document: a wrong one is refused in the
    // password panel; the right one opens the document and the template
    // choice and the merge follow as for any document.
    void unlockDocument(const QString& password);

    PreviewPages& pages() { return *previewPages; }

    // --- templates ---
    void loadTemplateProperties();
    void fillTemplatePopUp();
    // "DIN A4 - name", "US Letter - name" or "Undefined - name".
    static QString templateTitle(const TemplateRecord& record);
    std::optional<TemplateRecord> templateProperties(const QString& key) const;
    std::optional<TemplatePagePaths> templatePagePaths(const QString& key) const;
    // The first title that fits the document's format is put in use, then the
    // preview is built.
    void chooseInitialTemplate();
    // The user chose pop-up item index.
    void templateChosen(int index);
    // The toggles as the template in use has its pages.
    void refreshPageToggles();
    // What the strip's message line says of the template in use: that its
    // stationery will be cut or shifted when it is made for another format.
    QString formatNote() const;

    // --- the preview ---
    // Queues a rebuild for template key (nothing when the template is gone).
    void rebuildPreview(const QString& key, bool overlay, bool keepToggles);
    bool isRebuilding() const { return currentRebuild != nullptr; }
    // The rebuild counted last (the one running, or on screen).
    quint64 rebuildGeneration() const { return generation; }
    // Documents of at least rangesFrom pages are shown in ranges of
    // pagesPerRange pages, merged as the views want them: a long document
    // is never merged whole for looking at. Tests make both small.
    static inline int rangesFrom = 2000;
    static inline int pagesPerRange = 200;
    // Everything a merge reads, taken now: the worker never sees live state.
    MergeRequest mergeRequest(const TemplatePagePaths& paths, bool overlay) const;

    // --- actions ---
    void stateClickedWithSender(QObject* sender);
    void setOffsetWithSender();
    void didAcceptOffset(bool stationeryIsOverlay, double x, double y) override;
    void saveWithSender();
    void openPrintDialogueWithSender();
    bool isSaving() const { return saving; }
    bool isPrinting() const { return printing; }

    // "doc__HH_mm_ss_dd_MM_yyyy.pdf" for the moment given.
    static QString proposedFileName(const QDateTime& when);
    // The file the save panel proposes: the job's title (else the name
    // above) in folder (else the user's documents folder).
    static QString proposedSavePath(const std::optional<QString>& title, const QString& folder, const QDateTime& when);
    // The folder of the last save, kept between windows; empty when there
    // is none or it is gone.
    static QString lastSaveFolder();
    static void rememberSaveFolder(const QString& folder);

signals:
    // The whole result of the latest rebuild is on screen (ok), or it failed.
    void rebuildFinished(bool ok);
    void editorOpened(quillary::EditViewcontroller* editor);
    // A print job ended: handed to the printer (ok) or not.
    void printFinished(bool ok);
    // A save failed; the window stays.
    void saveFailed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct RebuildJob;
    void readDocument(const ValueResult<PageSize>& read, const QString& password);
    void buildInterface();
    void startRebuild(const QString& key, bool overlay, bool keepToggles);
    void firstPageMerged(const std::shared_ptr<RebuildJob>& job, QByteArray bytes);
    void rebuildMerged(const std::shared_ptr<RebuildJob>& job, const ValueResult<QByteArray>& result);
    void presented(quint64 generation, int part);
    void presentFailed(quint64 generation, int part);
    void pagesIndexed(const std::shared_ptr<RebuildJob>& job, const std::shared_ptr<const DocumentPages>& pages,
                      bool inRanges);
    void rangeWanted(quint64 generation, int range);
    void mergeNextRange();
    void rangeMerged(quint64 generation, int range, const ValueResult<QByteArray>& result, bool declined);
    void selectionChanged(int index);
    void showProblem(const QString& text);
    void updateState();
    void saveMerged(const Result& result, const MergeRequest& request, bool openAfterwards, bool mailAfterwards);
    void printMerged(const Result& result, const MergeRequest& request);
    // problem: what the user is told when result failed (not when cancelled).
    void printed(const Result& result, const QString& scratch, const QString& problem);
    void forgetScratch(const QString& scratch);
    // The files a merge reads (document, stationery), for naming the one a
    // failure is about; scratch files mean nothing to the user.
    static QStringList knownFiles(const MergeRequest& request);
    bool termsPageIncluded(const TemplatePagePaths& paths) const;

    std::unique_ptr<PreviewPages> previewPages;
    QLabel* stripMessage;
    QThreadPool engine;   // merges
    QThreadPool printer;  // print jobs
    QThreadPool rangeMerger; // ranges of a long document, one at a time
    // Where the document's pages lie, once looked for (null: merged whole).
    std::optional<std::shared_ptr<const DocumentPages>> documentPages;
    bool rangesDeclined = false; // a range could not be read alone: merged whole
    // The rebuild whose ranges are shown, and the ranges wanted, newest first.
    quint64 rangeGeneration = 0;
    MergeRequest rangeRequest;
    std::deque<int> rangeQueue;
    bool rangeRunning = false;
    std::shared_ptr<RebuildJob> currentRebuild;
    quint64 generation = 0;
    QString problem;
    bool appeared = false;
    bool saving = false;
    bool printing = false;
    // Kept for the window's life: a panel opened again shows what was typed.
    std::unique_ptr<SavePanelView> accpanel;
    QString saveFolder; // chosen in this window's last save panel
    Result document;
    QString documentPassword; // only in memory, for this window
    QPointer<EditViewcontroller> editor;
    // Scratch files a worker may still be writing; removed at the end at last.
    QSet<QString> scratchFiles;
    qreal aspect;
};

} // namespace quillary
