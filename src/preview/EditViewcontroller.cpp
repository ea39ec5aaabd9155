#include "preview/EditViewcontroller.h"

#include "controls/Stepper.h"
#include "pdf/TaskManager.h"
#include "platform/Ui.h"
#include "preview/PreviewGeometry.h"
#include "preview/RulerView.h"
#include "store/CustomFileManager.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfDocument>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillary {

namespace {

constexpr QSize kAreaSize{530, 659};
constexpr int kSidebarWidth = 200;
// Help-line limits in the preview area: the lines stay over the page.
constexpr int kVerticalLowest = 7, kVerticalHighest = 519;
constexpr int kHorizontalLowest = 5, kHorizontalHighest = 651;
// Where the help lines start: the margins of a business letter (left 25 mm,
// right 20 mm, the letterhead's 45 mm at the top, 20 mm at the bottom).
constexpr double kLeftMargin = 25, kRightMargin = 20, kTopMargin = 45, kBottomMargin = 20;

} // namespace

// The grey box the page lies in; the help lines are its children.
class EditViewcontroller::PageArea : public QWidget {
public:
    explicit PageArea(EditViewcontroller* editor)
        : QWidget(editor), editor(editor)
    {
        setFixedSize(kAreaSize);
        setAccessibleName(EditViewcontroller::tr("Page with stationery"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window).darker(115));
        const QRectF page = editor->pageFrame();
        painter.fillRect(page, Qt::white);
        if (!editor->pageImage.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(page, editor->pageImage);
        }
        painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
        painter.drawRect(page.adjusted(-0.5, -0.5, 0.5, 0.5));
    }

private:
    EditViewcontroller* editor;
};

EditViewcontroller::EditViewcontroller(QWidget* parent)
    : QDialog(parent)
    , formatter(new OnlyIntegerValueFormatter(this))
{
    setWindowTitle(tr("Offset"));
    setAccessibleName(tr("Offset"));
    setModal(true);
    pool.setMaxThreadCount(1);

    auto* sidebar = new QWidget(this);
    sidebar->setFixedWidth(kSidebarWidth);
    auto* side = new QVBoxLayout(sidebar);
    side->setContentsMargins(0, 0, 0, 0);

    auto* heading = new QLabel(tr("Move the content"), sidebar);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    side->addWidget(heading);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto makeField = [&](QLineEdit*& field, Stepper*& stepper, int tag, int stepperTag, const QString& label,
                         const QString& name) {
        auto* row = new QWidget(sidebar);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(2);
        field = new QLineEdit(row);
        field->setValidator(formatter);
        field->setAlignment(Qt::AlignRight);
        field->setProperty("tag", tag);
        field->setAccessibleName(name);
        field->installEventFilter(this);
        stepper = new Stepper(row);
        stepper->setProperty("tag", stepperTag);
        stepper->setAccessibleName(name);
        line->addWidget(field, 1);
        line->addWidget(stepper);
        line->addWidget(new QLabel(tr("mm"), row));
        auto* caption = new QLabel(label, sidebar);
        caption->setBuddy(field);
        form->addRow(caption, row);
        connect(field, &QLineEdit::editingFinished, this, [this, field] { applyField(field); });
        connect(stepper, &Stepper::stepped, this,
                [this, stepperTag](int direction) { steppertriggeredWithSender(stepperTag, direction); });
    };
    makeField(xField, xStepper, 2, 3, tr("&x:"), tr("x offset in millimetres"));
    makeField(yField, yStepper, 1, 4, tr("&y:"), tr("y offset in millimetres"));
    xStepper->setNames(tr("Move content right"), tr("Move content left"));
    yStepper->setNames(tr("Move content up"), tr("Move content down"));
    side->addLayout(form);

    auto* hint = new QLabel(tr("Positive values move the content to the right and up."), sidebar);
    hint->setWordWrap(true);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    hint->setFont(small);
    hint->setForegroundRole(QPalette::PlaceholderText);
    side->addWidget(hint);
    side->addSpacing(12);

    stationaryBehindContent = new QCheckBox(tr("Stationery behind content"), sidebar);
    stationaryBehindContent->setAccessibleName(tr("Stationery behind content"));
    side->addWidget(stationaryBehindContent);
    helpLines = new QCheckBox(tr("Show help lines"), sidebar);
    helpLines->setAccessibleName(tr("Show help lines"));
    side->addWidget(helpLines);
    side->addStretch(1);

    auto* buttons = new QHBoxLayout;
    cancelButton = new QPushButton(tr("Cancel"), sidebar);
    cancelButton->setAccessibleName(tr("Cancel"));
    acceptButton = new QPushButton(tr("Accept"), sidebar);
    acceptButton->setAccessibleName(tr("Accept"));
    // Return accepts, as in every dialog: accepting applies a field still
    // being typed in first.
    cancelButton->setAutoDefault(false);
    acceptButton->setAutoDefault(false);
    acceptButton->setDefault(true);
    buttons->addWidget(cancelButton);
    buttons->addWidget(acceptButton);
    side->addLayout(buttons);

    area = new PageArea(this);
    left = new RulerView(true, kVerticalLowest, kVerticalHighest, area);
    right = new RulerView(true, kVerticalLowest, kVerticalHighest, area);
    up = new RulerView(false, kHorizontalLowest, kHorizontalHighest, area);
    down = new RulerView(false, kHorizontalLowest, kHorizontalHighest, area);
    left->setAccessibleName(tr("Left help line"));
    right->setAccessibleName(tr("Right help line"));
    up->setAccessibleName(tr("Top help line"));
    down->setAccessibleName(tr("Bottom help line"));
    for (RulerView* line : {left, right, up, down})
        line->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 14, 12, 11);
    layout->setSpacing(12);
    layout->addWidget(sidebar);
    layout->addWidget(area, 0, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(stationaryBehindContent, &QCheckBox::clicked, this, &EditViewcontroller::stationaryCheckboxClickedWithSender);
    connect(helpLines, &QCheckBox::clicked, this, &EditViewcontroller::helpLinesWithSender);
    connect(acceptButton, &QPushButton::clicked, this, &EditViewcontroller::acceptOffsetWithSender);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

EditViewcontroller::~EditViewcontroller()
{
    // Hiding the dialog below ends the editing of a field with the focus:
    // nothing of this class may answer that any more.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    pool.waitForDone();
    // Merges that ended after the editor stopped listening.
    for (const QString& scratch : std::as_const(outstanding))
        if (QFileInfo::exists(scratch))
            sharedStore().deleteFile(scratch);
    deleteInput();
}

QWidget* EditViewcontroller::previewArea() const
{
    return area;
}

QString EditViewcontroller::millimetres(double points) const
{
    return formatter->stringForValue(pointsToMillimetres(points));
}

double EditViewcontroller::offsetFor(const QLineEdit* field) const
{
    return field->property("tag").toInt() == 1 ? yOffset : xOffset;
}

void EditViewcontroller::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (appeared)
        return;
    appeared = true;
    // The fields show the offsets in force, so that a user sees what accepting
    // without a change keeps.
    xField->setText(millimetres(xOffset));
    yField->setText(millimetres(yOffset));
    if (overlayPath.isEmpty())
        stationaryBehindContent->setEnabled(false);
    placeHelpLines();
    refreshPreview();
}

QRectF EditViewcontroller::pageFrame() const
{
    const PageSize standard = TaskManager::standardPageSize(documentFormat);
    QSizeF page(standard.width, standard.height);
    if (page.isEmpty() && inputPath) {
        const PageSize own = TaskManager::pageSize(*inputPath);
        page = QSizeF(own.width, own.height);
    }
    const qreal aspect = geometry::saneAspect(page);
    const qreal w = std::min(aspect * kAreaSize.height(), qreal(kAreaSize.width()));
    const QRectF frame((kAreaSize.width() - w) / 2 + 8, 8, w - 16, 643);
    return geometry::fitted(frame, aspect);
}

void EditViewcontroller::placeHelpLines()
{
    const QRectF page = pageFrame();
    const PageSize standard = TaskManager::standardPageSize(documentFormat);
    const double widthPoints = standard.width > 0 ? standard.width : 595;
    const double perMillimetre = page.width() / widthPoints * 72 / 25.4;
    left->moveTo(qRound(page.left() + kLeftMargin * perMillimetre));
    right->moveTo(qRound(page.right() - kRightMargin * perMillimetre));
    up->moveTo(qRound(page.top() + kTopMargin * perMillimetre));
    down->moveTo(qRound(page.bottom() - kBottomMargin * perMillimetre));
}

void EditViewcontroller::applyField(QLineEdit* field)
{
    if (field != xField && field != yField)
        return;
    // Leaving a field untouched keeps its offset exactly, not as rounded to
    // the two digits shown.
    if (field->text() == millimetres(offsetFor(field)))
        return;
    const std::optional<double> typed = formatter->valueForString(field->text());
    if (!typed) {
        // Empty, a lone sign or no number: the offset stays and says so.
        field->setText(millimetres(offsetFor(field)));
        return;
    }
    const float value = float(std::clamp(*typed, -kLimit, kLimit));
    const double points = millimetresToPoints(value);
    if (field->property("tag").toInt() == 1)
        yOffset = points;
    else
        xOffset = points;
    field->setText(formatter->stringForValue(value));
    refreshPreview();
}

void EditViewcontroller::steppertriggeredWithSender(int tag, int direction)
{
    QLineEdit* field = tag == 3 ? xField : tag == 4 ? yField : nullptr;
    if (!field)
        return;
    const double current = formatter->valueForString(field->text()).value_or(pointsToMillimetres(offsetFor(field)));
    field->setText(formatter->stringForValue(std::clamp(current + direction * kStep, -kLimit, kLimit)));
    applyField(field);
}

bool EditViewcontroller::eventFilter(QObject* watched, QEvent* event)
{
    // Up and down in a field step it, as its stepper does.
    if (event->type() == QEvent::KeyPress && (watched == xField || watched == yField)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            steppertriggeredWithSender(watched == xField ? 3 : 4, key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void EditViewcontroller::stationaryCheckboxClickedWithSender()
{
    if (stationaryBehindContent->isChecked() && inputPath && TaskManager::hasWhiteBackground(*inputPath)) {
        Ui::instance().alert(this, tr("Background in the document"),
                             tr("The stationery may not be displayed because a white background has been "
                                "detected in the created document"));
    }
    refreshPreview();
}

void EditViewcontroller::helpLinesWithSender()
{
    const bool shown = helpLines->isChecked();
    for (RulerView* line : {left, right, up, down}) {
        line->setVisible(shown);
        line->raise();
    }
}

void EditViewcontroller::acceptOffsetWithSender()
{
    // A field still being edited counts as typed.
    if (xField->hasFocus())
        applyField(xField);
    if (yField->hasFocus())
        applyField(yField);
    if (delegate)
        delegate->didAcceptOffset(!stationaryBehindContent->isChecked(), xOffset, yOffset);
    accept();
}

void EditViewcontroller::done(int result)
{
    deleteInput();
    QDialog::done(result);
}

void EditViewcontroller::deleteInput()
{
    if (inputPath && QFileInfo::exists(*inputPath))
        sharedStore().deleteFile(*inputPath);
    inputPath.reset();
}

void EditViewcontroller::refreshPreview()
{
    const quint64 current = ++generation;
    if (!inputPath) {
        finishPreview(current, QString(), QImage());
        return;
    }
    const QString scratch = sharedStore().scratchPath(StoreKey::Preview);
    if (scratch.isEmpty()) {
        finishPreview(current, QString(), QImage());
        return;
    }
    SinglePageRequest request;
    request.documentPath = *inputPath;
    request.outputPath = scratch;
    request.stationeryPath = overlayPath;
    request.stationeryIsOverlay = !stationaryBehindContent->isChecked();
    request.offsetX = xOffset;
    request.offsetY = yOffset;
    request.documentFormat = documentFormat;
    const QSize pixels = geometry::devicePixels(pageFrame().size(), devicePixelRatioF());
    const qreal ratio = devicePixelRatioF();
    outstanding.insert(scratch);
    pool.start([this, request, pixels, ratio, current] {
        QImage image;
        if (TaskManager::mergeSinglePage(request)) {
            QPdfDocument document;
            if (document.load(request.outputPath) == QPdfDocument::Error::None && document.pageCount() > 0) {
                image = document.render(0, pixels);
                image.setDevicePixelRatio(ratio);
            }
        }
        QMetaObject::invokeMethod(
            this, [this, current, scratch = request.outputPath, image] { finishPreview(current, scratch, image); },
            Qt::QueuedConnection);
    });
}

void EditViewcontroller::finishPreview(quint64 finished, const QString& scratch, const QImage& image)
{
    if (!scratch.isEmpty()) {
        outstanding.remove(scratch);
        if (QFileInfo::exists(scratch))
            sharedStore().deleteFile(scratch);
    }
    // Only the newest merge is shown; an older one finishing late is dropped.
    if (finished != generation)
        return;
    pageImage = image;
    area->update();
    emit previewRefreshed();
}

} // namespace quillary
