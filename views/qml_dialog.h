// The part every QML dialog shares: a QDialog that hosts one document through
// QmlHost, keeps whether it is shown, and places itself on the screen the
// controller keeps. The document sees the dialog under its context name and
// binds to its properties; property setters notify only on change.
#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

#include "qml_host.h"

namespace views {

// Stores `value` in `member`; true when it changed (the caller then notifies).
template <typename T>
bool StoreChanged(T& member, const T& value)
{
    if (member == value) return false;
    member = value;
    return true;
}

} // namespace views

class QmlDialog : public QDialog {
    Q_OBJECT
public:
    // `document` under "qrc:/qmlResFix/qmlRes/Bar/", seen as `contextName`.
    QmlDialog(const char* document, const char* contextName, QWidget* parent = nullptr);

    // Loads (or reloads) the document at `size`; a second call reuses the view.
    void initComponent(QWidget* parent, const QSize& size);
    QSize getComponentSize() const { return host_.componentSize(); }
    // Centres the dialog on the screen rectangle the controller keeps.
    void centerOn(const QRect& screen);
    // Whether the dialog is up, as the controller asks it.
    bool isShown() const { return shown_; }
    void setVisible(bool visible) override;

    QQuickView* quickView() const { return host_.view(); }
    QWidget* container() const { return host_.container(); }

signals:
    // To the document.
    void setComponentSizeSignal(int width, int height);

protected:
    // Frameless top-level window (the dialogs that place themselves).
    void makeFramelessWindow();
    // After the document loaded: the init signal (where the dialog has one)
    // and the connections of the document's signals to the dialog's slots.
    virtual void documentLoaded() {}
    bool connectDocument(const char* signal, const char* slot) { return host_.connectRoot(signal, this, slot); }
    void closeEvent(QCloseEvent* event) override;

private:
    const char* document_;
    QString contextName_;
    views::QmlHost host_;
    bool shown_ = false;
};

// A dialog with a translated title text in its title strip.
class TitledDialog : public QmlDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsTitle READ title WRITE setTitle NOTIFY sig_title_changed)
public:
    using QmlDialog::QmlDialog;
    QString title() const { return m_qsTitle; }
    void setTitle(const QString& title);

signals:
    void sig_title_changed();

private:
    QString m_qsTitle;
};
