#include "loading_widget.h"

#include <chrono>
#include <thread>

#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QVBoxLayout>

#include "platform/paths.h"

namespace {

constexpr int kFullBar = 100;
constexpr auto kClimbStep = std::chrono::milliseconds(10);
constexpr int kStopWaitMs = 1000;

} // namespace

LoadingWidget::LoadingWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LoadingForm"));
    setWindowTitle(tr("Welcome"));
    resize(kWidth, kHeight);
    auto* content = new QWidget(this);
    content->setGeometry(8, 9, 641, 391);
    auto* layout = new QVBoxLayout(content);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 30);
    label_ = new QLabel(content);
    label_->setAlignment(Qt::AlignCenter);
    QFont font(QString::fromUtf8("微软雅黑"));
    font.setPointSize(20);
    font.setBold(false);
    label_->setFont(font);
    label_->clear();
    layout->addWidget(label_);
    bar_ = new QProgressBar(this);
    bar_->move(0, 400);
    bar_->setFixedSize(661, 4);
    bar_->setValue(0);
    bar_->setAlignment(Qt::AlignCenter);
    bar_->setTextVisible(false);
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    QNThreadInit(&thread_);
}

LoadingWidget::~LoadingWidget() { stopProgress(); }

void LoadingWidget::setBackground()
{
    const QString program = QString::fromStdString(platform::ExecutablePath());
    setBackground(program.left(program.lastIndexOf(QLatin1Char('/'))) + QStringLiteral("/Res/LOADMAP"));
}

bool LoadingWidget::setBackground(const QString& file)
{
    QPixmap picture;
    if (!picture.load(file)) return false;
    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window, QBrush(picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    setPalette(palette);
    setAutoFillBackground(true);
    return true;
}

void LoadingWidget::centerIn(int w, int h)
{
    setGeometry((w - 600) / 2, (h - 400) / 2, kWidth, kHeight);
    // The bar's fixed size keeps its full width.
    bar_->setGeometry(0, 394, 600, 4);
}

void LoadingWidget::setStep(int value) { target_.store(value); }

void LoadingWidget::startProgress()
{
    connect(this, &LoadingWidget::setProValueSignal, this, &LoadingWidget::proValueThreadSlot, Qt::UniqueConnection);
    QNThreadStart(&thread_, &LoadingWidget::Climb, this);
}

void LoadingWidget::stopProgress() { QNThreadStop(&thread_, kStopWaitMs); }

void LoadingWidget::Climb(void* self)
{
    auto* widget = static_cast<LoadingWidget*>(self);
    // Only the two integers and a queued signal: the bar moves on the GUI thread.
    while (widget->current_.load() < kFullBar && widget->thread_.run.load()) {
        const int now = widget->current_.load();
        if (now < widget->target_.load()) {
            widget->current_.store(now + 1);
            emit widget->setProValueSignal(now + 1);
        }
        std::this_thread::sleep_for(kClimbStep);
    }
}

void LoadingWidget::proValueThreadSlot(int value) { bar_->setValue(value); }
