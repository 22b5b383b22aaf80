#include "device_card.h"

#include <cstring>

#include <QCoreApplication>

namespace device_card {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("ListBarView", text);
}

int TfField(const QnCameraRecord& record, TfInfoField field)
{
    return record.tfInfo[field];
}

} // namespace

QString FieldText(const char* field, int capacity)
{
    return QString::fromLocal8Bit(field, int(strnlen(field, size_t(capacity))));
}

bool PassesMakerTest(const char* version, int capacity)
{
    QString text = FieldText(version, capacity);
    if (text.size() <= 5) return false;
    if (text.contains(QLatin1String("00000")) || text.contains(QLatin1String("01111"))) text = text.mid(5);
    if (text.startsWith(QLatin1String("QN"), Qt::CaseInsensitive)) return true;
    return text.size() >= 4 && text.at(3) == QLatin1Char('2');
}

QString SizeText(int megabytes)
{
    if (megabytes <= 1024) return QString::asprintf("%dMB", megabytes);
    return QString::asprintf("%.1fGB", megabytes / 1024.0);
}

QString DisplayName(const QnCameraEntry& entry)
{
    const QString name = FieldText(entry.name, sizeof entry.name);
    if (!entry.shared) return name;
    const int at = name.indexOf(QLatin1Char('@'));
    return at < 0 ? name : name.left(at);
}

QString Sharer(const QnCameraEntry& entry)
{
    const QString name = FieldText(entry.name, sizeof entry.name);
    const int at = name.indexOf(QLatin1Char('@'));
    return at < 0 ? QString() : name.mid(at + 1);
}

static_assert(kWifiNameAt + kWifiNameSize <= int(sizeof(QnCameraRecord::wifiInfo)));

QString FirmwareText(const QnCameraRecord& record)
{
    return FieldText(reinterpret_cast<const char*>(record.wifiInfo) + kWifiFirmwareAt, kWifiFirmwareSize);
}

QString WifiText(const QnCameraRecord& record)
{
    return FieldText(reinterpret_cast<const char*>(record.wifiInfo) + kWifiNameAt, kWifiNameSize);
}

QString AddressText(const QnCameraRecord& record)
{
    const int32_t word = WifiWord(record, kWifiAddressWord);
    uint8_t bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    return QString::asprintf("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

int CloudState(const QnCameraRecord& record)
{
    return record.storageLocation == 1 || record.storageLocation == 3 ? 1 : 0;
}

QString InfoText(const QnCameraRecord& record, int language)
{
    if (!(record.queried && record.infoRead)) {
        if (record.entry.shared) return Tr("Share by:\n") + Sharer(record.entry);
        return Tr("Obtaining...");
    }
    const bool cardPresent = TfField(record, kTfCardState) != 0;
    int size = 0;
    QString card = Tr("Capacity:");
    if (!cardPresent) {
        card += Tr("NULL");
    } else {
        size = TfField(record, kTfSizeValid) == 0 ? TfField(record, kTfSizeMb) : 0;
        if (!PassesMakerTest(record.entry.model, sizeof record.entry.model) &&
            TfField(record, kTfSecondPartition) == 0 && TfField(record, kTfSecondSizeMb) != 0)
            size += TfField(record, kTfSecondSizeMb);
        card += SizeText(size);
    }
    if (language == 0)
        card = cardPresent && size >= 1 ? QString::fromUtf8("系统分区运行正常") : QString::fromUtf8("未检测到存储卡");
    else if (language == 1 && (!cardPresent || size < 1))
        card = Tr("No memory card detected");
    return QStringLiteral("IP:") + AddressText(record) + QLatin1Char('\n') + card;
}

} // namespace device_card
