// The video password dialog: asks for the key that decrypts a camera's video.
#pragma once

#include <QString>

#include "qml_dialog.h"

class VideoPwdWidget : public TitledDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsType READ type NOTIFY sig_type_changed)
    Q_PROPERTY(QString m_qsPwd READ getPwd WRITE setPwdText NOTIFY sig_pwd_changed)
    Q_PROPERTY(QString m_qsResult READ result WRITE setResult NOTIFY sig_result_changed)
    Q_PROPERTY(bool m_bChkState READ chkState NOTIFY sig_chkstate_changed)
public:
    explicit VideoPwdWidget(QWidget* parent = nullptr);

    // The prompt above the password field.
    void setType(const QString& prompt);
    // A new password to show; ends a running check.
    void setPwd(const QString& password);
    // True while the key is being tried.
    void setChkState(bool checking);
    void setResult(const QString& result);
    // Hides the dialog and forgets the camera, the result, the check and the password.
    void clear();
    void setCameraId(int cameraId) { cameraId_ = cameraId; }
    int cameraId() const { return cameraId_; }

    QString type() const { return m_qsType; }
    QString getPwd() const { return m_qsPwd; }
    QString result() const { return m_qsResult; }
    bool chkState() const { return m_bChkState; }
    // The document's write accessor: the text only.
    void setPwdText(const QString& password);

signals:
    void sig_type_changed();
    void sig_pwd_changed();
    void sig_result_changed();
    void sig_chkstate_changed();
    void submitSignal(QString password);
    void cancelSignal();

public slots:
    void submitSlot();
    void cancelSlot();
    void dragSlot(int xoffset, int yoffset);

protected:
    void documentLoaded() override;

private:
    QString m_qsType;
    QString m_qsPwd;
    QString m_qsResult;
    bool m_bChkState = false;
    int cameraId_ = 0;
};
