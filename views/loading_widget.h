// The loading screen shown while the main window loads: a background picture,
// a label and a thin bar that climbs towards the loader's step on a thread.
#pragma once

#include <atomic>

#include <QString>
#include <QWidget>

#include "Depend/qn_thread.h"

class QLabel;
class QProgressBar;

class LoadingWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 660;
    static constexpr int kHeight = 410;

    explicit LoadingWidget(QWidget* parent = nullptr);
    // Stops the progress thread before the bar goes.
    ~LoadingWidget() override;

    // "Res/LOADMAP" beside the program, scaled to the window.
    void setBackground();
    // False when the picture cannot be read (the window keeps its colour).
    bool setBackground(const QString& file);
    // Places the screen in a parent area of w x h.
    void centerIn(int w, int h);
    // The value the bar climbs to.
    void setStep(int value);
    void startProgress();
    void stopProgress();

    int step() const { return target_.load(); }
    int current() const { return current_.load(); }
    // The progress thread has left its loop (at 100, or stopped).
    bool progressEnded() const { return thread_.exited.load() != 0; }
    QProgressBar* progressBar() const { return bar_; }
    QLabel* label() const { return label_; }

signals:
    void setProValueSignal(int iValue);
    void exitLoadingSignal();

public slots:
    void proValueThreadSlot(int value);

private:
    static void Climb(void* self);

    QLabel* label_;
    QProgressBar* bar_;
    QNThread thread_;
    std::atomic<int> target_{0};
    std::atomic<int> current_{0};
};
