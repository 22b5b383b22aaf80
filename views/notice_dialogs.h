// The dialogs that only tell the user something: the server switch in
// progress, the daily play limit, and the small waiting box.
#pragma once

#include <QString>
#include <QTimer>

#include "qml_dialog.h"

// A titled message that only the controller closes; its cancel is relayed.
class MessageDialog : public TitledDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsMsg READ msg NOTIFY sig_msg_changed)
public:
    // A frameless, modal window with `title` once it has a message.
    MessageDialog(const char* document, const char* contextName, const QString& title, QWidget* parent);

    void setMsg(const QString& msg);
    QString msg() const { return m_qsMsg; }

signals:
    void sig_msg_changed();
    void cancelSignal();

public slots:
    void cancelSlot();

protected:
    void documentLoaded() override;

private:
    QString titleText_;
    QString m_qsMsg;
};

class ReLoginWidget : public MessageDialog {
    Q_OBJECT
    Q_PROPERTY(int m_iCode READ code NOTIFY sig_code_changed)
public:
    explicit ReLoginWidget(QWidget* parent = nullptr);

    void setCode(int code);
    int code() const { return m_iCode; }

signals:
    void sig_code_changed();

private:
    int m_iCode = 0;
};

class VideoLimitWidget : public MessageDialog {
    Q_OBJECT
public:
    explicit VideoLimitWidget(QWidget* parent = nullptr);
};

// 100 x 50, shown centred on a point for a bounded time.
class WaittingWidget : public QmlDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsWait READ wait NOTIFY sig_wait_changed)
public:
    static constexpr int kWidth = 100;
    static constexpr int kHeight = 50;

    explicit WaittingWidget(QWidget* parent = nullptr);

    // Shows the box centred on (x, y) and hides it after `ms` milliseconds.
    void showWait(int x, int y, int ms);
    // Shows the box centred on (x, y), or hides it; nothing when already so.
    void setVisible(bool show, int x, int y);
    using QmlDialog::setVisible;
    QString wait() const { return m_qsWait; }
    void setWait(const QString& wait);
    bool timerActive() const { return timer_.isActive(); }

signals:
    void sig_wait_changed();

public slots:
    void delaySlot();

private:
    void placeAt(int x, int y);

    QString m_qsWait;
    QTimer timer_;
};
