#pragma once

// What a letterhead queue's PPD says about its stamping step, and what one
// job asks for. The queue's PPD is the one place these live: quillary-printer
// writes them, cupsd hands the file to every job (the PPD variable), and an
// administrator changes the defaults with lpadmin like any other option.
// Plain Qt Core: the filter and the administration tool share it.

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillary::letterhead {

// The per-job options, as "-o quillary-letterhead=off" and print dialogs
// send them.
inline constexpr char kLetterheadOption[] = "quillary-letterhead";
inline constexpr char kTermsOption[] = "quillary-terms";

// The queue's own attributes in its PPD.
inline constexpr char kFolderKeyword[] = "QuillaryStationery";
inline constexpr char kPrinterKeyword[] = "QuillaryPrinter";
inline constexpr char kLayerKeyword[] = "QuillaryLayer";
inline constexpr char kFirstOffsetKeyword[] = "QuillaryFirstOffset";
inline constexpr char kOffsetKeyword[] = "QuillaryOffset";

// The stationery files in a queue's folder.
inline constexpr char kStartFile[] = "start.pdf";
inline constexpr char kContinuationFile[] = "continuation.pdf";
inline constexpr char kTermsFile[] = "terms.pdf";

// A PPD is a few hundred kilobytes at most; a larger one is not read.
inline constexpr qint64 kMaxPpdSize = 8 * 1024 * 1024;
// No offset moves a page further than this (ten A3 pages), in points.
inline constexpr double kMaxOffset = 12000;

struct QueueSettings {
    QString folder;        // where the stationery lies
    QString realPrinter;   // the queue whose device and driver print
    bool stationeryOver = false; // true: stationery over the content
    double firstOffsetX = 0, firstOffsetY = 0; // page 1's content
    double offsetX = 0, offsetY = 0;           // the other pages' content
    bool letterhead = true; // the queue's default for quillary-letterhead
    bool terms = true;      // the queue's default for quillary-terms
};

// The queue's settings from its PPD text; an error line when the PPD is no
// letterhead queue's or a value in it cannot be used.
struct SettingsResult {
    std::optional<QueueSettings> settings;
    QString error;
};
SettingsResult readQueuePpd(const QByteArray& ppd);

// What one job prints: the queue's defaults changed by the job's options
// (the filter's fifth argument, as cupsd passes it).
struct JobChoice {
    bool letterhead = true;
    bool terms = true;
};
struct ChoiceResult {
    std::optional<JobChoice> choice;
    QString error;
};
ChoiceResult chooseForJob(const QueueSettings& queue, const QString& options);

// One option's value in a job's option text, parsed the way CUPS writes and
// reads it (name=value pairs separated by spaces; quotes and backslashes in
// values; a bare name is "true", a bare "noname" is "false"). Nothing when
// the option is absent; the last one counts when it is given twice.
std::optional<QString> optionValue(const QString& options, const QString& name);

// "On"/"Off" and their usual spellings (true/false, yes/no, 1/0), any case.
std::optional<bool> switchValue(const QString& value);

// An offset pair "X,Y" (or "X Y") in points, each within kMaxOffset.
std::optional<std::pair<double, double>> offsetPair(const QString& text);

// The block quillary-printer writes into a queue's PPD (markers included),
// and a PPD with any earlier block of ours taken out.
QByteArray ppdBlock(const QueueSettings& settings, const QString& filterProgram);
QByteArray withoutPpdBlock(const QByteArray& ppd);

} // namespace quillary::letterhead
