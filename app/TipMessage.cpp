#include "TipMessage.h"

#include <QGridLayout>
#include <QTextEdit>

TipMessage::TipMessage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TipMessageBox"));
    auto* gridLayout = new QGridLayout(this);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(1);
    gridLayout->setContentsMargins(0, 0, 1, 1);
    label_Msg = new QTextEdit(this);
    label_Msg->setObjectName(QStringLiteral("label_Msg"));
    label_Msg->setReadOnly(true);
    label_Msg->setEnabled(false);
    label_Msg->setFixedSize(kWidth, kHeight);
    label_Msg->setStyleSheet(QStringLiteral("color: rgb(25, 25, 25)"));
    // The named family is missing on Linux; fontconfig falls back to a CJK face.
    QFont font(QString::fromUtf8("微软雅黑"), 9);
    label_Msg->setFont(font);
    gridLayout->addWidget(label_Msg, 0, 0);
    setWindowTitle(QString());
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog);
    setFixedSize(kWidth, kHeight);
    setEnabled(false);
    setStyleSheet(QStringLiteral("background-color:rgb(220,220,220)"));
    connect(&timer_, &QTimer::timeout, this, &TipMessage::disapper);
}

void TipMessage::showMsg(const QString& text)
{
    show();
    label_Msg->setText(text);
    ticks_ = 0;
    shown_ = true;
    timer_.start(kTickMs);
}

void TipMessage::showMsg(const char* text)
{
    showMsg(QString::fromUtf8(text ? text : ""));
}

void TipMessage::disapper()
{
    if (++ticks_ < kTicksShown) return;
    hideNow();
}

void TipMessage::hideNow()
{
    timer_.stop();
    ticks_ = 0;
    shown_ = false;
    hide();
}

void TipMessage::moveTo(int x, int y)
{
    move(x - (kWidth + 2), y - (kHeight + 2));
}

QString TipMessage::text() const
{
    return label_Msg->toPlainText();
}
