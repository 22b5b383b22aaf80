#include "notice_dialogs.h"

MessageDialog::MessageDialog(const char* document, const char* contextName, const QString& title, QWidget* parent)
    : TitledDialog(document, contextName, parent), titleText_(title)
{
    makeFramelessWindow();
    setModal(true);
}

void MessageDialog::setMsg(const QString& msg)
{
    setTitle(titleText_);
    if (views::StoreChanged(m_qsMsg, msg)) emit sig_msg_changed();
}

void MessageDialog::documentLoaded() { connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot())); }

void MessageDialog::cancelSlot() { emit cancelSignal(); }

ReLoginWidget::ReLoginWidget(QWidget* parent)
    : MessageDialog("ReLogin.qml", "pReLoginView", tr("Switch server"), parent)
{}

void ReLoginWidget::setCode(int code)
{
    if (views::StoreChanged(m_iCode, code)) emit sig_code_changed();
}

VideoLimitWidget::VideoLimitWidget(QWidget* parent)
    : MessageDialog("VideoTip.qml", "pVideoTipView", tr("Video Play Limit"), parent)
{}

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
