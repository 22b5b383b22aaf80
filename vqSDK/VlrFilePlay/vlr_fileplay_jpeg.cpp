#include "vqSDK/VlrFilePlay/vlr_fileplay.h"

#include "Depend/qn_log.h"
#include "streams/montage.h"
#include "vqSDK/VlrFilePlay/vlr_fileplay_shared.h"
#include "platform/files.h"
#include "vqSDK/VlrFilePlay/protected_jpeg.h"

using fileplay::Is;
using fileplay::Terminated;
using fileplay::kClearOnReset;

int VLR_FILEPLAY::StartJpeg(const char* path)
{
    std::vector<uint8_t> bytes;
    fileplay::JpegProtection protection;
    if (path == nullptr || fileplay::ReadJpegFile(path, &bytes) != 0 ||
        fileplay::ReadJpegProtection(bytes.data(), bytes.size(), &protection) != 0) {
        callbacks_.Message("JPG file read error");
        return 0;
    }
    if (protection.Protected()) {
        int decrypted;
        {
            std::lock_guard<std::recursive_mutex> hold(checkMutex_);
            decrypted = fileplay::DecryptJpeg(playKeys_, bytes.data(), bytes.size(), protection);
        }
        // A picture that does not decrypt is not shown; the state says why.
        if (CheckedState(decrypted, protection.keyType) != FILE_CHECK_PLAYABLE) return 0;
    }
    if (!ResetSource(playSource_, &VLR_FILEPLAY::OnPlayFrame)) return 0;
    {
        std::lock_guard<std::mutex> hold(jpegMutex_);
        jpegPath_ = path;
    }
    if (platform_->qn_mp_InputData(playSource_, bytes.data(), static_cast<int>(bytes.size()), "jpeg") != 1) {
        callbacks_.Message("JPG file read error");
        return 0;
    }
    return 1;
}

int VLR_FILEPLAY::CheckJpeg(const char* path, FILEPLAY_CHECK_RESULT* result)
{
    if (result == nullptr) return 0;
    result->keyType = 0;
    std::vector<uint8_t> bytes;
    fileplay::JpegProtection protection;
    const int read = path != nullptr ? fileplay::ReadJpegFile(path, &bytes) : -1;
    if (read != 0) {
        result->tableOrResult = read;
        return 1;
    }
    if (fileplay::ReadJpegProtection(bytes.data(), bytes.size(), &protection) != 0) {
        result->tableOrResult = FILE_CHECK_NO_TAIL;
        return 1;
    }
    result->keyType = protection.keyType;
    std::lock_guard<std::recursive_mutex> hold(checkMutex_);
    const int tested =
        protection.Protected() ? streams::qnCheckSecurity(playKeys_, protection.low, protection.high) : 0;
    result->tableOrResult = CheckedState(tested, protection.keyType);
    return 1;
}

int VLR_FILEPLAY::TransJpegFile(const FILEPLAY_TRANS_JPG_FILE* record, FILEPLAY_CHECK_RESULT* result)
{
    if (result == nullptr) return 0;
    result->keyType = 0;
    if (record == nullptr || !Terminated(record->source) || !Terminated(record->destination)) {
        result->tableOrResult = -1;
        callbacks_.Message("PARAM error");
        return 0;
    }
    // The whole source is read before the destination is written, and the
    // destination is replaced in one step: the two may be one file, and a
    // write that fails halfway leaves the old one.
    std::vector<uint8_t> bytes;
    const int read = fileplay::ReadJpegFile(record->source, &bytes);
    if (read != 0) {
        result->tableOrResult = read;
        return 1;
    }
    fileplay::JpegProtection protection;
    if (fileplay::ReadJpegProtection(bytes.data(), bytes.size(), &protection) != 0) {
        result->tableOrResult = FILE_CHECK_NO_TAIL;
        return 1;
    }
    result->keyType = protection.keyType;
    int decrypted;
    {
        std::lock_guard<std::recursive_mutex> hold(checkMutex_);
        decrypted = fileplay::DecryptJpeg(playKeys_, bytes.data(), bytes.size(), protection);
    }
    result->tableOrResult = CheckedState(decrypted, protection.keyType);
    if (result->tableOrResult != FILE_CHECK_PLAYABLE) return 1;
    if (!platform::ReplaceFileAtomically(record->destination,
                                         std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
        result->tableOrResult = -1;
        QNLogPrint("cannot write the plain picture %s", record->destination);
    }
    return 1;
}

int VLR_FILEPLAY::TransJpegStream(const FILEPLAY_TRANS_JPG_STREAM* record, FILEPLAY_CHECK_RESULT* result)
{
    if (result == nullptr) return 0;
    result->keyType = 0;
    if (record == nullptr || record->data == nullptr || record->length == 0) {
        result->tableOrResult = FILE_CHECK_NO_OUTPUT;
        return 1;
    }
    fileplay::JpegProtection protection;
    if (fileplay::ReadJpegProtection(record->data, record->length, &protection) != 0) {
        result->tableOrResult = FILE_CHECK_NO_TAIL;
        return 1;
    }
    result->keyType = protection.keyType;
    std::lock_guard<std::recursive_mutex> hold(checkMutex_);
    result->tableOrResult =
        CheckedState(fileplay::DecryptJpeg(playKeys_, record->data, record->length, protection), protection.keyType);
    return 1;
}
