#include "notice_dialogs.h"

ReLoginWidget::ReLoginWidget(QWidget* parent) : TitledDialog("ReLogin.qml", "pReLoginView", parent)
{
    makeFramelessWindow();
    setModal(true);
}

void ReLoginWidget::setMsg(const QString& msg)
{
    setTitle(tr("Switch server"));
    if (views::StoreChanged(m_qsMsg, msg)) emit sig_msg_changed();
}

void ReLoginWidget::setCode(int code)
{
    if (views::StoreChanged(m_iCode, code)) emit sig_code_changed();
}

void ReLoginWidget::documentLoaded() { connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot())); }

void ReLoginWidget::cancelSlot() { emit cancelSignal(); }

VideoLimitWidget::VideoLimitWidget(QWidget* parent) : TitledDialog("VideoTip.qml", "pVideoTipView", parent)
{
    makeFramelessWindow();
    setModal(true);
}

void VideoLimitWidget::setMsg(const QString& msg)
{
    setTitle(tr("Video Play Limit"));
    if (views::StoreChanged(m_qsMsg, msg)) emit sig_msg_changed();
}

void VideoLimitWidget::documentLoaded() { connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot())); }

void VideoLimitWidget::cancelSlot() { emit cancelSignal(); }

WaittingWidget::WaittingWidget(QWidget* parent) : QmlDialog("Waitting.qml", "pWaitView", parent)
{
    // A small box over the video, without a window frame of its own.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setStyleSheet(QStringLiteral("background-color: Transparent;"));
    m_qsWait = tr("Loading.");
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &WaittingWidget::delaySlot);
}

void WaittingWidget::setWait(const QString& wait)
{
    if (views::StoreChanged(m_qsWait, wait)) emit sig_wait_changed();
}

void WaittingWidget::placeAt(int x, int y) { setGeometry(x - kWidth / 2, y - kHeight / 2, kWidth, kHeight); }

void WaittingWidget::showWait(int x, int y, int ms)
{
    placeAt(x, y);
    show();
    timer_.start(ms);
}

void WaittingWidget::setVisible(bool show, int x, int y)
{
    if (show == isShown()) return;
    if (show) placeAt(x, y);
    QmlDialog::setVisible(show);
}

void WaittingWidget::delaySlot()
{
    hide();
    timer_.stop();
}
