#include "video_pwd_widget.h"

VideoPwdWidget::VideoPwdWidget(QWidget* parent) : TitledDialog("VideoPwd.qml", "pVideoPwdView", parent)
{
    makeFramelessWindow();
    setTitle(tr("Video Security"));
    m_qsType = tr("Please enter the customized encryption key:");
}

void VideoPwdWidget::setType(const QString& prompt)
{
    if (views::StoreChanged(m_qsType, prompt)) emit sig_type_changed();
}

void VideoPwdWidget::setPwd(const QString& password)
{
    setChkState(false);
    setPwdText(password);
}

void VideoPwdWidget::setPwdText(const QString& password)
{
    if (views::StoreChanged(m_qsPwd, password)) emit sig_pwd_changed();
}

void VideoPwdWidget::setChkState(bool checking)
{
    if (views::StoreChanged(m_bChkState, checking)) emit sig_chkstate_changed();
}

void VideoPwdWidget::setResult(const QString& result)
{
    if (views::StoreChanged(m_qsResult, result)) emit sig_result_changed();
}

void VideoPwdWidget::clear()
{
    hide();
    cameraId_ = 0;
    setResult(QString());
    setChkState(false);
    setPwdText(QString());
}

void VideoPwdWidget::documentLoaded()
{
    connectDocument(SIGNAL(submitSignal()), SLOT(submitSlot()));
    connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot()));
    connectDocument(SIGNAL(dragSignal(int, int)), SLOT(dragSlot(int, int)));
}

void VideoPwdWidget::submitSlot()
{
    setResult(QString());
    emit submitSignal(m_qsPwd);
}

void VideoPwdWidget::cancelSlot() { emit cancelSignal(); }

void VideoPwdWidget::dragSlot(int, int) {}
