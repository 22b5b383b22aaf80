#include "qml_dialog.h"

#include <QCloseEvent>

QmlDialog::QmlDialog(const char* document, const char* contextName, QWidget* parent)
    : QDialog(parent),
      document_(document),
      contextName_(QString::fromLatin1(contextName)),
      host_(this, views::HostKind::Dialog)
{}

void QmlDialog::initComponent(QWidget* parent, const QSize& size)
{
    if (parent != parentWidget()) setParent(parent, windowFlags());
    if (host_.load(views::PanelUrl(document_), {{contextName_, this}})) {
        documentLoaded();
        emit setComponentSizeSignal(size.width(), size.height());
    }
    host_.embed(QRect(QPoint(0, 0), size));
}

void QmlDialog::centerOn(const QRect& screen)
{
    move(screen.left() + (screen.width() - width()) / 2, screen.top() + (screen.height() - height()) / 2);
}

void QmlDialog::setVisible(bool visible)
{
    shown_ = visible;
    QDialog::setVisible(visible);
}

void QmlDialog::makeFramelessWindow() { setWindowFlags(Qt::Window | Qt::FramelessWindowHint); }

void QmlDialog::closeEvent(QCloseEvent* event)
{
    host_.close();
    QDialog::closeEvent(event);
}

void TitledDialog::setTitle(const QString& title)
{
    if (views::StoreChanged(m_qsTitle, title)) emit sig_title_changed();
}
