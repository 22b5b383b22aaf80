// First: the card module's records have a field named "slots", which Qt defines away.
#include "streams/qn_tf.h"

#include "mp4_convert_widget.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeEdit>
#include <QUrl>

#include "Depend/qn_log.h"

namespace {

constexpr int kFileNameSize = 300;

} // namespace

int ConvertPercent(int done, int total)
{
    if (total <= 0) return 0;
    return static_cast<int>((static_cast<double>(done) / total + 0.005) * 100);
}

MP4ConvertWidget::MP4ConvertWidget(QWidget* parent)
    : MP4ConvertWidget(Mp4Conversion{&vqCamTFConvertMP4, &vqCamGetMP4FileName}, parent)
{}

MP4ConvertWidget::MP4ConvertWidget(const Mp4Conversion& conversion, QWidget* parent)
    : QDialog(parent), conversion_(conversion)
{
    buildForm();
}

void MP4ConvertWidget::buildForm()
{
    setObjectName(QStringLiteral("MP4ConvertWidget"));
    setWindowTitle(tr("H264 Convert"));
    resize(kWidth, kHeight);
    output_ = new QLabel(this);
    output_->setTextFormat(Qt::RichText);
    output_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    output_->setWordWrap(true);
    bar_ = new QProgressBar(this);
    bar_->setMaximum(100);
    bar_->setValue(0);
    // The rule needs its selector, or Qt refuses the whole sheet.
    bar_->setStyleSheet(QStringLiteral("QProgressBar{border:2px solid grey;border-radius:5px;text-align:center;}"));
    convert_ = new QPushButton(tr("Convert"), this);
    convert_->setObjectName(QStringLiteral("btnConvert"));
    begin_ = new QTimeEdit(this);
    end_ = new QTimeEdit(this);
    for (QTimeEdit* edit : {begin_, end_}) edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    counter_ = new QLabel(this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(output_, 0, 0, 1, 3);
    grid->addWidget(new QLabel(tr("Begin Time"), this), 1, 0);
    grid->addWidget(begin_, 1, 1, 1, 2);
    grid->addWidget(new QLabel(tr("End Time"), this), 2, 0);
    grid->addWidget(end_, 2, 1, 1, 2);
    grid->addWidget(bar_, 3, 0, 1, 3);
    grid->addWidget(new QLabel(tr("Times"), this), 4, 0);
    grid->addWidget(counter_, 4, 1);
    grid->addWidget(convert_, 4, 2);
    showLocation(tr("Output location:"), QString());
}

void MP4ConvertWidget::init(int w, int h, int)
{
    connect(this, &MP4ConvertWidget::setProValueSignal, this, &MP4ConvertWidget::proValueThreadSlot,
            Qt::UniqueConnection);
    connect(this, &MP4ConvertWidget::exitConvertSignal, this, &MP4ConvertWidget::stopConvertSlot, Qt::UniqueConnection);
    connect(convert_, &QPushButton::clicked, this, &MP4ConvertWidget::btnConvertSlot, Qt::UniqueConnection);
    for (QTimeEdit* edit : {begin_, end_}) edit->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    setGeometry((w - kWidth) / 2, (h - kHeight) / 2, kWidth, kHeight);
}

void MP4ConvertWidget::showLocation(const QString& caption, const QString& path)
{
    QString text = caption.toHtmlEscaped() + QStringLiteral("<br>");
    if (!path.isEmpty()) text += QUrl::fromLocalFile(path).toString().toHtmlEscaped();
    output_->setText(text);
}

void MP4ConvertWidget::setOutput(const QString& folder, const streams::VQ_TF_TIME& date)
{
    folder_ = folder;
    date_ = date;
    showLocation(tr("Output location:"), folder_);
}

void MP4ConvertWidget::resetProgress()
{
    bar_->setMaximum(100);
    bar_->setValue(0);
    done_ = 0;
    total_ = 100;
    counter_->clear();
}

void MP4ConvertWidget::setProValue(int done, int total)
{
    done_ = done;
    total_ = total;
    emit setProValueSignal(ConvertPercent(done, total));
}

void MP4ConvertWidget::proValueThreadSlot(int percent)
{
    bar_->setValue(qBound(0, percent, 100));
    char name[kFileNameSize] = {};
    if (conversion_.fileName(name, kFileNameSize) == 1 && name[0] != '\0')
        showLocation(tr("MP4 File:"), QString::fromUtf8(name));
    counter_->setText(QString::asprintf("%d/%d", done_.load(), total_.load()));
}

void MP4ConvertWidget::stop()
{
    conversion_.convert(0, nullptr, "");
    converting_ = false;
    convert_->setText(tr("Convert"));
}

void MP4ConvertWidget::btnConvertSlot()
{
    if (converting_) {
        stop();
        return;
    }
    const QTime begin = begin_->time();
    const QTime end = end_->time();
    if (end <= begin) {
        warn(tr("The end time must be after the begin time."));
        return;
    }
    streams::TfSpan span = streams::UnpackTfSpan(date_);
    span.startHour = begin.hour();
    span.startMinute = begin.minute();
    span.startSecond = begin.second();
    span.endHour = end.hour();
    span.endMinute = end.minute();
    span.endSecond = end.second();
    streams::VQ_TF_TIME time = streams::PackTfSpan(span);
    QNLogPrint(" %s(%d) TIME RANGE{%d:%d:%d-%d:%d:%d}\n", __FUNCTION__, __LINE__, span.startHour, span.startMinute,
               span.startSecond, span.endHour, span.endMinute, span.endSecond);
    const QByteArray folder = folder_.toUtf8();
    // A conversion that did not start leaves the button as it was.
    if (conversion_.convert(1, &time, folder.constData()) != 1) {
        warn(tr("Convert failed."));
        return;
    }
    converting_ = true;
    convert_->setText(tr("Stop Convert"));
}

void MP4ConvertWidget::stopConvertSlot()
{
    stop();
    showLocation(tr("Output location:"), folder_);
}

void MP4ConvertWidget::warn(const QString& text) { QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok); }
