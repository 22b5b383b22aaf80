// The sign-in dialog: account, password and "Remember Password" going to the
// controller's sign-in, or the signed-in user with "Logout".
#pragma once

#include <QString>

#include "qml_dialog.h"

class UserInfoWidget : public TitledDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsUser READ user WRITE setUser NOTIFY sig_user_changed)
    Q_PROPERTY(QString m_qsPwd READ pwd WRITE setPwd NOTIFY sig_pwd_changed)
    Q_PROPERTY(bool m_bAuto READ getAuto WRITE setAuto NOTIFY sig_auto_changed)
    Q_PROPERTY(QString m_qsResult READ result WRITE setResult NOTIFY sig_result_changed)
    Q_PROPERTY(bool m_bLogin READ login NOTIFY sig_login_changed)
    Q_PROPERTY(bool m_bLoginState READ loginState NOTIFY sig_loginstate_changed)
public:
    explicit UserInfoWidget(QWidget* parent = nullptr);

    // The saved password is shown only when it is remembered.
    void setInfo(const QString& user, const QString& password, bool remember, bool loggedIn);
    // True while a sign-in runs.
    void setLoginState(bool running);
    void setResult(const QString& result);

    QString user() const { return m_qsUser; }
    QString pwd() const { return m_qsPwd; }
    bool getAuto() const { return m_bAuto; }
    QString result() const { return m_qsResult; }
    bool login() const { return m_bLogin; }
    bool loginState() const { return m_bLoginState; }
    void setUser(const QString& user);
    void setPwd(const QString& password);
    void setAuto(bool remember);

signals:
    void sig_user_changed();
    void sig_pwd_changed();
    void sig_auto_changed();
    void sig_result_changed();
    void sig_login_changed();
    void sig_loginstate_changed();
    void loginSignal(QString user, QString password, bool remember);
    void logoutSignal();
    void cancelSignal();

public slots:
    void loginSlot();
    void logoutSlot();
    void autoSlot(bool remember);
    void cancelSlot();
    void dragSlot(int xoffset, int yoffset);

protected:
    void documentLoaded() override;

private:
    QString m_qsUser;
    QString m_qsPwd;
    bool m_bAuto = false;
    QString m_qsResult;
    bool m_bLogin = false;
    bool m_bLoginState = false;
};
