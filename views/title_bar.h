// The main window's title bar: hosts the title document and relays its
// requests (close, maximise, minimise, user, menu, drag) to the controller.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include "qml_host.h"

class TitleBar : public QWidget {
    Q_OBJECT
public:
    explicit TitleBar(QWidget* parent = nullptr);

    // Loads the document and places the bar at the rectangle of `parent`.
    void initComponent(QWidget* parent, const QRect& rect);
    void setComponentSize(const QRect& rect);
    QSize getComponentSize() const;
    void setAppFocus(bool focus);
    void setUser(bool login, const QString& user);
    // Kept for the controller's calls; the document shows no title.
    void setTitle(const QString& title);

    QQuickView* quickView() const { return host_.view(); }
    QWidget* container() const { return host_.container(); }

signals:
    void quitSignal();
    void maxSizeSignal(bool max);
    void minSizeSignal();
    void userSignal();
    void openMenuSignal();
    void dragSignal(int xoffset, int yoffset);

    // To the document.
    void initTitleSignal(int FAT);
    void setComponentSizeSignal(int width, int height);
    void setAppFocusSignal(bool bFocus);
    void setColorSignal(QString c1, QString c2, QString c3, QString c4);
    void setUserSignal(bool bLogin, QString strUser);
    void setTitleSignal(QString title, int size, bool bold, bool italic);

public slots:
    void quitAppSlot();
    void maxSizeSlot(bool max);
    void minSizeSlot();
    void userSlot(bool login);
    void menuSlot();
    void dragSlot(int xoffset, int yoffset);
    void mouseHoldOnTrigSlot();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    views::QmlHost host_;
};
