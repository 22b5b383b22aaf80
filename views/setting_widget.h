// The settings dialog: the capture and record folders, checked before the
// controller takes them.
#pragma once

#include <QString>

#include "folder_check.h"
#include "qml_dialog.h"

class SettingWidget : public TitledDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsCapture READ getCapture WRITE setCapture NOTIFY sig_capture_changed)
    Q_PROPERTY(QString m_qsRecord READ getRecord WRITE setRecord NOTIFY sig_record_changed)
    Q_PROPERTY(bool m_bBmp READ bmp NOTIFY sig_bmp_changed)
    Q_PROPERTY(bool m_bDelKey READ delKey NOTIFY sig_delkey_changed)
public:
    explicit SettingWidget(QWidget* parent = nullptr);

    void setInfo(const QString& title, const QString& capture, const QString& record, bool bmp);
    QString getCapture() const { return m_qsCapture; }
    QString getRecord() const { return m_qsRecord; }
    bool bmp() const { return m_bBmp; }
    bool delKey() const { return m_bDelKey; }
    void setCapture(const QString& folder);
    void setRecord(const QString& folder);
    // True after "Setting" passed the checks, false after "X".
    bool isAccepted() const { return accepted_; }

signals:
    void sig_capture_changed();
    void sig_record_changed();
    void sig_bmp_changed();
    void sig_delkey_changed();

public slots:
    void viewCaptureSlot();
    void viewRcdSlot();
    void deletePwdSlot(bool forget);
    void submitSlot();
    void cancelSlot();

protected:
    void documentLoaded() override;
    // Seams for tests: the warning box and the folder picker.
    virtual void warn(const QString& text);
    virtual QString chooseFolder(const QString& start);

private:
    // The warning for a folder that failed, or false when it passed.
    bool refused(const QString& folder, views::FolderProblem problem, const QString& noWrite);
    void pick(QString current, void (SettingWidget::*store)(const QString&));

    QString m_qsCapture;
    QString m_qsRecord;
    bool m_bBmp = true;
    bool m_bDelKey = false;
    bool accepted_ = false;
};
