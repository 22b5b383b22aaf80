#include "select_date_widget.h"

#include <QCalendarWidget>
#include <QGridLayout>
#include <QLocale>

namespace {

QLocale Chinese() { return QLocale(QLocale::Chinese, QLocale::China); }

QLocale English() { return QLocale(QLocale::English, QLocale::UnitedStates); }

} // namespace

SelectDateWidget::SelectDateWidget(QWidget* parent) : QDialog(parent)
{
    resize(568, 386);
    setWindowFlags(Qt::Window);
    setWindowTitle(tr("Select date"));
    setStyleSheet(QStringLiteral("background-color: rgb(220,220,220)"));
    calendar_ = new QCalendarWidget(this);
    calendar_->setFont(QFont(QString::fromUtf8("微软雅黑")));
    calendar_->setLocale(Chinese());
    calendar_->setGridVisible(true);
    calendar_->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setDateEditEnabled(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(calendar_, 0, 0);
}

void SelectDateWidget::connectDate(QObject* receiver)
{
    connect(calendar_, SIGNAL(clicked(QDate)), receiver, SLOT(selectDateSlot()));
}

QDate SelectDateWidget::selectedDate() const { return calendar_->selectedDate(); }

void SelectDateWidget::setLanguage(bool english) { calendar_->setLocale(english ? English() : Chinese()); }
