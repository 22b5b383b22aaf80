#include "user_info_widget.h"

UserInfoWidget::UserInfoWidget(QWidget* parent) : TitledDialog("UserInfo.qml", "pUserInfoView", parent)
{
    makeFramelessWindow();
}

void UserInfoWidget::setInfo(const QString& user, const QString& password, bool remember, bool loggedIn)
{
    if (views::StoreChanged(m_bLogin, loggedIn)) emit sig_login_changed();
    setLoginState(false);
    setTitle(loggedIn ? tr("User Information") : tr("Please Login"));
    setUser(user);
    setPwd(remember ? password : QString());
    setAuto(remember);
}

void UserInfoWidget::setLoginState(bool running)
{
    if (views::StoreChanged(m_bLoginState, running)) emit sig_loginstate_changed();
}

void UserInfoWidget::setResult(const QString& result)
{
    if (views::StoreChanged(m_qsResult, result)) emit sig_result_changed();
}

void UserInfoWidget::setUser(const QString& user)
{
    if (views::StoreChanged(m_qsUser, user)) emit sig_user_changed();
}

void UserInfoWidget::setPwd(const QString& password)
{
    if (views::StoreChanged(m_qsPwd, password)) emit sig_pwd_changed();
}

void UserInfoWidget::setAuto(bool remember)
{
    if (views::StoreChanged(m_bAuto, remember)) emit sig_auto_changed();
}

void UserInfoWidget::documentLoaded()
{
    connectDocument(SIGNAL(loginSignal()), SLOT(loginSlot()));
    connectDocument(SIGNAL(logoutSignal()), SLOT(logoutSlot()));
    connectDocument(SIGNAL(autoSignal(bool)), SLOT(autoSlot(bool)));
    connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot()));
    connectDocument(SIGNAL(dragSignal(int, int)), SLOT(dragSlot(int, int)));
}

void UserInfoWidget::loginSlot()
{
    setResult(QString());
    emit loginSignal(m_qsUser, m_qsPwd, m_bAuto);
}

void UserInfoWidget::logoutSlot() { emit logoutSignal(); }

void UserInfoWidget::autoSlot(bool remember)
{
    // The box shows the state already; the document needs no notice.
    m_bAuto = remember;
}

void UserInfoWidget::cancelSlot() { emit cancelSignal(); }

void UserInfoWidget::dragSlot(int, int) {}
