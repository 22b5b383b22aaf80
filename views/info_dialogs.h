// The two information dialogs: the program's version (About) and one
// camera's details (Camera Information).
#pragma once

#include <QString>

#include "camera_record.h"
#include "qml_dialog.h"

class AboutWidget : public TitledDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsVer READ version NOTIFY sig_ver_changed)
    Q_PROPERTY(QString m_qsBuild READ build NOTIFY sig_build_changed)
public:
    explicit AboutWidget(QWidget* parent = nullptr);

    void setInfo(const QString& version, const QString& build);
    QString version() const { return m_qsVer; }
    QString build() const { return m_qsBuild; }
    // Where the build line leads; empty, so that the line stays hidden.
    QString linkAddress() const { return link_; }

signals:
    void sig_ver_changed();
    void sig_build_changed();
    // To the document.
    void initFATSignal(int FAT);

public slots:
    void linkSlot();
    void cancelSlot();

protected:
    void documentLoaded() override;

private:
    void store(const QString& version, const QString& build);

    QString m_qsVer;
    QString m_qsBuild;
    QString link_;
};

class IPCInfoWidget : public TitledDialog {
    Q_OBJECT
    Q_PROPERTY(QString m_qsType READ type NOTIFY sig_type_changed)
    Q_PROPERTY(QString m_qsMAC READ mac NOTIFY sig_mac_changed)
    Q_PROPERTY(QString m_qsSoftware READ software NOTIFY sig_software_changed)
    Q_PROPERTY(QString m_qsSDCard READ sdCard NOTIFY sig_sd_changed)
    Q_PROPERTY(QString m_qsWifi READ wifi NOTIFY sig_wifi_changed)
public:
    explicit IPCInfoWidget(QWidget* parent = nullptr);

    // Fills the rows from the controller's record of the camera (language 0 Chinese).
    void setDevInfo(const QnCameraRecord& record, int language);

    QString type() const { return m_qsType; }
    QString mac() const { return m_qsMAC; }
    QString software() const { return m_qsSoftware; }
    QString sdCard() const { return m_qsSDCard; }
    QString wifi() const { return m_qsWifi; }

signals:
    void sig_type_changed();
    void sig_mac_changed();
    void sig_software_changed();
    void sig_sd_changed();
    void sig_wifi_changed();

public slots:
    void cancelSlot();

protected:
    void documentLoaded() override;

private:
    QString m_qsType;
    QString m_qsMAC;
    QString m_qsSoftware;
    QString m_qsSDCard;
    QString m_qsWifi;
};

namespace device_card {
// The memory card line of the camera information (language 0 Chinese).
QString CardCapacityText(const QnCameraRecord& record, int language);
} // namespace device_card
