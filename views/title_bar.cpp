#include "title_bar.h"

#include <QCloseEvent>

#include "views/ui_variant.h"

TitleBar::TitleBar(QWidget* parent) : QWidget(parent), host_(this, views::HostKind::Bar)
{
    host_.resize(100, 20);
}

void TitleBar::initComponent(QWidget* parent, const QRect& rect)
{
    setParent(parent);
    if (host_.load(views::PanelUrl("TITLEBAR.qml"), {{QStringLiteral("pTitleBarObj"), this}})) {
        emit initTitleSignal(views::kUiVariant);
        emit setComponentSizeSignal(rect.width(), rect.height());
        emit setAppFocusSignal(true);
        host_.connectRoot(SIGNAL(closeSignal()), this, SLOT(quitAppSlot()));
        host_.connectRoot(SIGNAL(maxSizeSignal(bool)), this, SLOT(maxSizeSlot(bool)));
        host_.connectRoot(SIGNAL(minSizeSignal()), this, SLOT(minSizeSlot()));
        host_.connectRoot(SIGNAL(userSignal(bool)), this, SLOT(userSlot(bool)));
        host_.connectRoot(SIGNAL(menuSignal()), this, SLOT(menuSlot()));
        host_.connectRoot(SIGNAL(dragSignal(int,int)), this, SLOT(dragSlot(int,int)));
    }
    host_.embed(rect);
}

void TitleBar::setComponentSize(const QRect& rect)
{
    host_.resize(rect.width(), rect.height());
    emit setComponentSizeSignal(rect.width(), rect.height());
}

QSize TitleBar::getComponentSize() const
{
    return host_.componentSize();
}

void TitleBar::setAppFocus(bool focus)
{
    emit setAppFocusSignal(focus);
}

void TitleBar::setUser(bool login, const QString& user)
{
    emit setUserSignal(login, user);
}

void TitleBar::setTitle(const QString&) {}

void TitleBar::quitAppSlot()
{
    emit quitSignal();
}

void TitleBar::maxSizeSlot(bool max)
{
    emit maxSizeSignal(max);
}

void TitleBar::minSizeSlot()
{
    emit minSizeSignal();
}

void TitleBar::userSlot(bool)
{
    emit userSignal();
}

void TitleBar::menuSlot()
{
    emit openMenuSignal();
}

void TitleBar::dragSlot(int xoffset, int yoffset)
{
    emit dragSignal(xoffset, yoffset);
}

void TitleBar::mouseHoldOnTrigSlot() {}

void TitleBar::closeEvent(QCloseEvent* event)
{
    host_.close();
    QWidget::closeEvent(event);
}
