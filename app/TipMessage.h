// A small frameless notice that hides itself about four seconds after the
// last text was shown.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

class QTextEdit;

class TipMessage : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 150;
    static constexpr int kTickMs = 1000;
    // The tip hides on this tick after the last show.
    static constexpr int kTicksShown = 4;

    explicit TipMessage(QWidget* parent = nullptr);

    void showMsg(const QString& text);
    void showMsg(const char* text);
    void hideNow();
    // Puts the bottom-right corner just above and left of the point.
    void moveTo(int x, int y);

    bool isShown() const { return shown_; }
    QString text() const;

public slots:
    void disapper();

private:
    QTimer timer_;
    QTextEdit* label_Msg = nullptr;
    int ticks_ = 0;
    bool shown_ = false;
};
