// The dialog that converts a stretch of a day's TF-card recording into MP4
// files: begin and end times, the output folder, progress, Convert / Stop.
#pragma once

#include <atomic>

#include <QDialog>
#include <QString>

#include "streams/tf_utilities.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimeEdit;

// The conversion calls of the TF-card module; tests put their own in.
struct Mp4Conversion {
    int (*convert)(int start, streams::VQ_TF_TIME* time, const char* outputFolder);
    int (*fileName)(char* buffer, int size);
};

class MP4ConvertWidget : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 240;

    explicit MP4ConvertWidget(QWidget* parent = nullptr);
    MP4ConvertWidget(const Mp4Conversion& conversion, QWidget* parent);

    // Wires the dialog and centres it in a parent of w x h; the editors
    // always use the English locale, whatever `language` says.
    void init(int w, int h, int language = 0);
    // The folder the files go to and the day (the date part of `date`).
    void setOutput(const QString& folder, const streams::VQ_TF_TIME& date);
    void resetProgress();
    // May be called from the conversion's thread.
    void setProValue(int done, int total);
    bool isConverting() const { return converting_; }

    QLabel* outputLabel() const { return output_; }
    QLabel* counterLabel() const { return counter_; }
    QProgressBar* progressBar() const { return bar_; }
    QPushButton* convertButton() const { return convert_; }
    QTimeEdit* beginEdit() const { return begin_; }
    QTimeEdit* endEdit() const { return end_; }

signals:
    void setProValueSignal(int percent);
    void exitConvertSignal();

public slots:
    void proValueThreadSlot(int percent);
    void btnConvertSlot();
    void stopConvertSlot();

protected:
    // The box for a stretch that ends before it begins; a seam for tests.
    virtual void warn(const QString& text);

private:
    void buildForm();
    void showLocation(const QString& caption, const QString& path);
    void stop();

    Mp4Conversion conversion_;
    QLabel* output_ = nullptr;
    QLabel* counter_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* convert_ = nullptr;
    QTimeEdit* begin_ = nullptr;
    QTimeEdit* end_ = nullptr;
    QString folder_;
    streams::VQ_TF_TIME date_{};
    bool converting_ = false;
    std::atomic<int> done_{0};
    std::atomic<int> total_{100};
};

// floor((done / total + 0.005) x 100); 0 without a total.
int ConvertPercent(int done, int total);
