// The device list column: hosts the list document, turns the controller's
// camera records into cards and relays the document's requests.
#pragma once

#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "DataModel.h"
#include "camera_record.h"
#include "qml_host.h"

class ListBarView : public QWidget {
    Q_OBJECT
public:
    explicit ListBarView(QWidget* parent = nullptr);

    // `controller` receives the document's right-click request directly.
    void init(QWidget* parent, const QRect& rect, QObject* controller);

    void setDevList(const QnCameraRecord* records, int count);
    void updateDev(int cameraId, const QnCameraRecord& record, int language);
    void updateDevState(const QnCameraRecord& record, int state);
    void resetModel();
    void setComponentSize(const QRect& rect);
    QSize getComponentSize() const;
    void setBarVisible(bool visible);
    bool isBarShown() const { return true; }

    Q_INVOKABLE void setProperty(int index, const QString& roleName, const QVariant& value);
    Q_INVOKABLE QVariant getProperty(int index, const QString& roleName, int source);

    DataModel& groupModel() { return groupModel_; }
    QQuickView* quickView() const { return host_.view(); }
    QWidget* container() const { return host_.container(); }

signals:
    void playSignal(int iCameraID, int iChannelID);
    void settingSignal(int iCameraID);
    void serverChangeSignal(int iCameraID);
    void ptzCtrlClickSignal(int command, int speed);
    void ptzSpeedChangedSignal(int speed);

    // To the document.
    void initFATSignal(int FAT);
    void initComponentSizeSignal(int width, int height);
    void setComponentSizeSignal(int width, int height);
    void updateSignal(bool bVisible);
    void setPtzVisibleSignal(bool bPTZVisible);
    void setUrlSignal(QString url);

    // Declared for the controller's wiring; nothing emits them.
    void linkBarSizeChangingSignal(int width, int height);
    void linkBarSizeChangedSignal(int width, int height);
    void ptzCtrlSignal(int command, int speed);
    void setDataSignal();
    void setLinkStateSignal(bool linked);
    void setMaxWidthSignal(int width);
    void hideBarSignal(bool hide);
    void setFullScreenSignal(bool full);
    void setEscapeFullSignal();

public slots:
    void itemDBClickSlot(int cameraId, int channel);
    void itemSettingSlot(int cameraId);
    void serverChangeSlot(int cameraId);
    void ptzClickSlot(int command, int speed);
    void linkBarShowChangedSlot(bool shown);
    void linkBarSizeChangedSlot(int width, int height);
    void linkBarSizeChangingSlot(int width, int height);

private:
    // The snapshot's URL when it can be read, else the placeholder's.
    QString pictureUrl(const QnCameraEntry& entry, const char* placeholder) const;
    void refreshPicture(int row, const QnCameraRecord& record);

    views::QmlHost host_;
    DataModel groupModel_;
    DataModel localModel_;
    QRect rect_;
    bool shown_ = true;
    int playCameraId_ = 0;
    int playChannel_ = 0;
};
