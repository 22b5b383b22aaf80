#include "qml_host.h"

#include <QQmlContext>
#include <QQmlError>
#include <QQuickItem>
#include <QWidget>

#include "Depend/qn_log.h"

namespace views {

QmlHost::QmlHost(QWidget* owner, HostKind kind) : owner_(owner), kind_(kind) {}

QmlHost::~QmlHost()
{
    delete view_;
    view_ = nullptr;
    delete container_.data();
}

bool QmlHost::load(const QUrl& source, const QVector<ContextProperty>& properties)
{
    if (!view_) view_ = new QQuickView();
    for (const ContextProperty& property : properties)
        view_->rootContext()->setContextProperty(property.name, property.object);
    view_->setSource(source);
    view_->setResizeMode(kind_ == HostKind::Dialog ? QQuickView::SizeRootObjectToView
                                                   : QQuickView::SizeViewToRootObject);
    if (view_->status() == QQuickView::Ready) return true;
    // A panel that failed to load stays blank; say why, once per error.
    const QByteArray url = source.toString().toUtf8();
    QNLogPrint("%s(%d) %s did not load\n", __FUNCTION__, __LINE__, url.constData());
    qWarning("%s did not load", url.constData());
    for (const QQmlError& error : view_->errors()) {
        const QByteArray text = error.toString().toUtf8();
        QNLogPrint("%s(%d) %s\n", __FUNCTION__, __LINE__, text.constData());
        qWarning("%s", text.constData());
    }
    return false;
}

QQuickItem* QmlHost::root() const
{
    return view_ ? view_->rootObject() : nullptr;
}

bool QmlHost::connectRoot(const char* signal, const QObject* receiver, const char* method)
{
    QQuickItem* document = root();
    if (document && QObject::connect(document, signal, receiver, method)) return true;
    QNLogPrint("%s(%d) not connected: %s\n", __FUNCTION__, __LINE__, signal + 1);
    return false;
}

void QmlHost::embed(const QRect& rect)
{
    // Created once: a second initialisation keeps the container it made first.
    if (!container_) container_ = QWidget::createWindowContainer(view_, owner_);
    position_ = rect.topLeft();
    size_ = rect.size();
    if (kind_ == HostKind::Bar) {
        container_->setMinimumSize(size_);
        container_->setMaximumSize(size_);
        container_->setGeometry(rect);
    } else {
        container_->resize(size_);
        owner_->resize(size_);
    }
}

void QmlHost::resize(int width, int height)
{
    size_ = QSize(width, height);
    if (!container_) return;
    container_->setMinimumSize(size_);
    container_->setMaximumSize(size_);
    container_->setGeometry(QRect(position_, size_));
}

void QmlHost::setContainerVisible(bool visible)
{
    if (container_) container_->setVisible(visible);
}

void QmlHost::close()
{
    if (view_) view_->close();
}

QUrl PanelUrl(const char* document)
{
    return QUrl(QStringLiteral("qrc:/qmlResFix/qmlRes/Bar/") + QString::fromLatin1(document));
}

} // namespace views
