// The part every panel host shares: one QQuickView per host, loaded from the
// compiled-in documents and embedded in the host widget through one window
// container. The hosts keep their own signals (moc allows none here) and emit
// the init and size signals between load() and embed().
#pragma once

#include <QPointer>
#include <QQuickView>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVector>

class QQuickItem;
class QWidget;

namespace views {

// A name under which a document sees one of its host's objects.
struct ContextProperty {
    QString name;
    QObject* object = nullptr;
};

enum class HostKind {
    Bar,    // the view takes the size of its document
    Dialog, // the document takes the size of the view
};

class QmlHost {
public:
    QmlHost(QWidget* owner, HostKind kind);
    // Deletes the view before the container, which then finds no window to close.
    ~QmlHost();
    QmlHost(const QmlHost&) = delete;
    QmlHost& operator=(const QmlHost&) = delete;

    // Creates the view on the first call and reuses it after, publishes the
    // context properties, loads the document and sets the resize mode. False,
    // with the view's errors logged, when the document did not load.
    bool load(const QUrl& source, const QVector<ContextProperty>& properties);
    // Connects a document signal (by signature, SIGNAL(...) form) to a receiver's
    // slot or signal; false, logged, when the document or the signal is missing.
    bool connectRoot(const char* signal, const QObject* receiver, const char* method);
    // Creates the container once and places it: bars at the rectangle with a
    // fixed size, dialogs resized with their owner.
    void embed(const QRect& rect);
    // A new fixed container size at the stored position (bars).
    void resize(int width, int height);
    void setContainerVisible(bool visible);
    // Closes the view's window, when there is one.
    void close();

    QQuickView* view() const { return view_; }
    QQuickItem* root() const;
    QWidget* container() const { return container_; }
    QSize componentSize() const { return size_; }

private:
    QWidget* owner_;
    HostKind kind_;
    QQuickView* view_ = nullptr;
    QPointer<QWidget> container_;
    QPoint position_;
    QSize size_;
};

// The document URL of a panel in the compiled-in resources.
QUrl PanelUrl(const char* document);

} // namespace views
