#include "info_dialogs.h"

#include <QDesktopServices>
#include <QUrl>

#include "device_card.h"
#include "views/ui_variant.h"

AboutWidget::AboutWidget(QWidget* parent) : TitledDialog("About.qml", "pAboutView", parent)
{
    store(QStringLiteral("1.0.0"), QStringLiteral("11/02/2016"));
}

void AboutWidget::setInfo(const QString& version, const QString& build)
{
    setTitle(tr("About"));
    store(version, build);
}

void AboutWidget::store(const QString& version, const QString& build)
{
    if (views::StoreChanged(m_qsVer, version)) emit sig_ver_changed();
    if (views::StoreChanged(m_qsBuild, QStringLiteral("Build:") + build)) emit sig_build_changed();
}

void AboutWidget::documentLoaded()
{
    emit initFATSignal(views::kUiVariant);
    connectDocument(SIGNAL(openLinkSignal()), SLOT(linkSlot()));
    connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot()));
}

void AboutWidget::linkSlot()
{
    if (!link_.isEmpty()) QDesktopServices::openUrl(QUrl(link_));
}

void AboutWidget::cancelSlot() { close(); }

IPCInfoWidget::IPCInfoWidget(QWidget* parent) : TitledDialog("IPCInfo.qml", "pIPCInfoView", parent) {}

void IPCInfoWidget::setDevInfo(const QnCameraRecord& record, int language)
{
    setTitle(tr("Camera Information"));
    const QString model = device_card::FieldText(record.entry.model, sizeof record.entry.model);
    // Every row is rewritten, so that no row keeps the camera shown before.
    if (views::StoreChanged(m_qsType, model.size() > 5 ? model.mid(5) : QString())) emit sig_type_changed();
    const QString device = device_card::FieldText(record.entry.deviceText, sizeof record.entry.deviceText);
    if (views::StoreChanged(m_qsMAC, device)) emit sig_mac_changed();
    const QString software = record.infoRead ? device_card::FirmwareText(record) : QString();
    if (views::StoreChanged(m_qsSoftware, software)) emit sig_software_changed();
    const QString wifi = record.infoRead ? device_card::WifiText(record) : QString();
    if (views::StoreChanged(m_qsWifi, wifi)) emit sig_wifi_changed();
    if (views::StoreChanged(m_qsSDCard, device_card::CardCapacityText(record, language))) emit sig_sd_changed();
}

void IPCInfoWidget::documentLoaded() { connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot())); }

void IPCInfoWidget::cancelSlot() { close(); }

namespace device_card {

QString CardCapacityText(const QnCameraRecord& record, int language)
{
    int total = 0;
    int free = 0;
    if (record.tfInfoValid) {
        const int32_t* tf = record.tfInfo;
        if (tf[kTfSizeValid] == 0) {
            total = tf[kTfSizeMb];
            free = tf[kTfFree];
        }
        if (!PassesMakerTest(record.entry.model, sizeof record.entry.model) && tf[kTfSecondPartition] == 0) {
            total += tf[kTfSecondSizeMb];
            free += tf[kTfSecondFree];
        }
    }
    if (language == 0 && record.tfInfoValid && record.tfInfo[kTfCardState] != 0 && total > 0)
        return QString::fromUtf8("系统分区运行正常");
    if (total <= 0) return IPCInfoWidget::tr("NULL");
    return QString::asprintf("%d/%d (MB)", free, total);
}

} // namespace device_card
