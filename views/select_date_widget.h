// The calendar with which the user picks the day whose recordings are searched.
#pragma once

#include <QDate>
#include <QDialog>

class QCalendarWidget;

class SelectDateWidget : public QDialog {
    Q_OBJECT
public:
    explicit SelectDateWidget(QWidget* parent = nullptr);

    // A click on a day goes to the receiver's selectDateSlot().
    void connectDate(QObject* receiver);
    QDate selectedDate() const;
    // English (true) or Chinese (false) month and day names.
    void setLanguage(bool english);
    QCalendarWidget* calendar() const { return calendar_; }

signals:
    void selectDateSignal();

private:
    QCalendarWidget* calendar_;
};
